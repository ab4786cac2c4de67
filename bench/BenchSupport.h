#pragma once

// Pieces the benchmarks share: moving into a private network namespace, so
// nothing a benchmark sends can leave the machine, and running a peer
// program to its end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

inline bool writeProc(const char *path, const char *text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text, std::strlen(text)) == ssize_t(std::strlen(text));
    ::close(fd);
    return ok;
}

// A fresh network namespace for this process and the programs it starts:
// only lo, up, ping sockets for every group. With ignoreEcho nothing in it
// answers an echo request. False when the process has no right to make one.
inline bool enterPrivateNamespace(bool ignoreEcho)
{
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    if (s >= 0)
        ::close(s);
    ok = ok && writeProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
    if (ignoreEcho)
        ok = ok && writeProc("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1");
    return ok;
}

// Runs argv[0] (found on PATH) with its output in `output`; the exit status
// as waitpid gives it, or -1 when it could not be started.
inline int runProgram(const std::vector<const char *> &args, std::string *output = nullptr)
{
    std::vector<char *> argv;
    for (const char *a : args)
        argv.push_back(const_cast<char *>(a));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return -1;
    }
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        if (output)
            output->append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// Runs a peer program for one iteration. False, with the benchmark skipped
// and told why, when it cannot be started or ends with another exit code.
inline bool runPeer(benchmark::State &state, const std::vector<const char *> &args, int expectedExit,
                    std::string *output)
{
    output->clear();
    const int status = runProgram(args, output);
    if (status < 0) {
        state.SkipWithError((std::string(args[0]) + " is not installed (tools/install-deps --test)").c_str());
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedExit) {
        state.SkipWithError((std::string(args[0]) + ": unexpected outcome: " + output->substr(0, 200)).c_str());
        return false;
    }
    return true;
}

// Runs the benchmarks the command line selects; 1 for an argument it does
// not know.
inline int runBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
