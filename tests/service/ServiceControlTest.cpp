#include "process/ProcessFlags.h"
#include "service/ServiceControl.h"
#include "service/SignalPipe.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>
#include <functional>

#include <gtest/gtest.h>

namespace {

TEST(ServiceControl, IsTheServiceRegisteredAsKrovan)
{
    ServiceControl service;
    EXPECT_EQ(service.objectName(), QStringLiteral("krovan"));
    EXPECT_EQ(service.DisplayName, QStringLiteral("Corvane Service"));
    EXPECT_FALSE(service.AllowPause);
    EXPECT_TRUE(service.AllowStop);
}

TEST(ServiceControl, StartAndStopRequestsOnlySetTheRunningFlag)
{
    ServiceControl service;
    int endings = 0;
    QObject::connect(&service, &ServiceControl::LogonEnding, [&] { ++endings; });
    ServiceRunning = true;

    ASSERT_EQ(std::raise(SIGUSR2), 0);
    EXPECT_TRUE(WaitFor([] { return !ServiceRunning; }));
    ASSERT_EQ(std::raise(SIGUSR2), 0);  // a second stop changes nothing
    QCoreApplication::processEvents();
    EXPECT_FALSE(ServiceRunning);
    ASSERT_EQ(std::raise(SIGUSR1), 0);
    EXPECT_TRUE(WaitFor([] { return bool(ServiceRunning); }));
    EXPECT_EQ(endings, 0);
}

TEST(ServiceControl, TerminationSignalsAreTheEndOfTheLogon)
{
    ServiceControl service;
    int endings = 0;
    QObject::connect(&service, &ServiceControl::LogonEnding, [&] { ++endings; });
    ServiceRunning = true;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ASSERT_EQ(std::raise(sig), 0);
    EXPECT_TRUE(WaitFor([&] { return endings == 3; }));
    // The end of the logon is not a stop request.
    EXPECT_TRUE(ServiceRunning);
}

TEST(SignalPipe, RestoresThePreviousHandlers)
{
    struct sigaction before {};
    ::sigaction(SIGUSR1, nullptr, &before);
    {
        SignalPipe pipe({SIGUSR1});
        ASSERT_TRUE(pipe.IsValid());
        int seen = 0;
        QObject::connect(&pipe, &SignalPipe::Signalled, [&](int sig) { seen += sig == SIGUSR1; });
        // Signals raised before the loop runs wait in the pipe.
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(std::raise(SIGUSR1), 0);
        EXPECT_TRUE(WaitFor([&] { return seen == 5; }));
        struct sigaction during {};
        ::sigaction(SIGUSR1, nullptr, &during);
        EXPECT_NE(during.sa_handler, before.sa_handler);
    }
    struct sigaction after {};
    ::sigaction(SIGUSR1, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
