// A library opened at its first use, on a damaged installation: what is
// missing is named (the journal line of the feature that needed it), and
// nothing of it is called.

#include "platform/LateLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

TEST(LateLibrary, WhatIsMissingIsNamedAndWhatIsFoundWorks)
{
    {
        LateLibrary absent("libcorvane-absent.so.0");
        size_t (*length)(const char *) = nullptr;
        EXPECT_FALSE(absent.find("strlen", length));
        EXPECT_EQ(length, nullptr);
        EXPECT_FALSE(absent.usable());
        EXPECT_TRUE(absent.error().startsWith(u"libcorvane-absent.so.0 cannot be loaded: "_s)) << absent.error().toStdString();
    }
    {
        // An older library than the program was built for: a function of
        // a later version is missing.
        LateLibrary older("libc.so.6");
        decltype(&std::strlen) length = nullptr;
        ASSERT_TRUE(older.find("strlen", length));
        EXPECT_EQ(length("corvane"), 7u);
        EXPECT_TRUE(older.usable());
        void (*later)() = nullptr;
        EXPECT_FALSE(older.find("corvane_function_of_a_later_version", later));
        EXPECT_FALSE(older.usable());
        EXPECT_EQ(older.error(), u"libc.so.6 has no corvane_function_of_a_later_version"_s);
    }
}
