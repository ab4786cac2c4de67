#pragma once

// A shared library opened the first time a feature needs it rather than
// when the program starts. Linked, a library is mapped and relocated in
// every process, with the libraries under it (libcurl brings OpenSSL, the
// SMB client eighty of Samba's), whether the feature is ever turned on or
// not; most installations never send a report by mail, publish to MQTT or
// browse the network by SMB.
//
// The library stays open for the rest of the process. A feature whose
// library cannot be opened, or lacks a function, fails the way a network
// that cannot be reached fails, with error() in its journal line; the
// package depends on the library, so that takes a damaged installation.

#include <QString>

class LateLibrary {
public:
    // soname: the name the linker would have recorded ("libcurl.so.4").
    explicit LateLibrary(const char *soname);
    LateLibrary(const LateLibrary &) = delete;
    LateLibrary &operator=(const LateLibrary &) = delete;

    // Sets function (declared as the library's header declares it, e.g.
    // decltype(&curl_easy_init)) to the library's function of that name;
    // false, and error() names it, when there is none.
    template <typename Function>
    bool find(const char *name, Function &function)
    {
        function = this->function<Function>(name);
        return function != nullptr;
    }

    // The library's function of that name, or null (error() then names it).
    template <typename Function>
    Function function(const char *name)
    {
        return reinterpret_cast<Function>(symbol(name));
    }

    // Whether it opened and every function asked for was found.
    bool usable() const { return error_.isEmpty(); }
    // Why not: "libcurl.so.4 cannot be loaded: ...".
    const QString &error() const { return error_; }

private:
    void *symbol(const char *name);

    const char *soname_;
    void *handle_ = nullptr;
    QString error_;
};

// A member of a table of a library's functions: the function `name`, looked
// up in the table's `library` (declared before it) when the table is made.
// The table's `ready` is then library.usable(), declared after them all.
#define LATE_FUNCTION(member, name) decltype(&name) member = library.function<decltype(&name)>(#name)
