#pragma once

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <thread>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

/** How far a test body run in a child process may go. */
struct ChildBounds
{
    /** The child is stopped once it has run this long: a body that hangs fails, it does not hang the test. */
    std::chrono::seconds time{30};

    /** The child is stopped once it holds this much more memory than the test did when it started it. */
    long long extraMemoryBytes = 512LL << 20;

    /** A test run as root runs the body as the user "nobody", who is given this folder first, so
        that file permissions bind as they do for a user. Empty: the body runs as the test does. */
    juce::File unprivilegedHome;
};

/** The default bounds, with the body run as a user who owns the home folder. */
inline ChildBounds asUserWithHome(const juce::File& home)
{
    ChildBounds bounds;
    bounds.unprivilegedHome = home;
    return bounds;
}

namespace child_process_detail
{
inline long long residentBytes(pid_t pid)
{
    long long pages = 0, resident = 0;
    if (auto* statm = std::fopen(("/proc/" + std::to_string(pid) + "/statm").c_str(), "r"))
    {
        if (std::fscanf(statm, "%lld %lld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Links are given, not followed.
inline bool giveToUser(const juce::File& folder, uid_t user, gid_t group)
{
    const std::filesystem::path root(folder.getFullPathName().toStdString());
    std::error_code error;
    if (lchown(root.c_str(), user, group) != 0)
        return false;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        if (lchown(it->path().c_str(), user, group) != 0)
            return false;
    return !error;
}

/** The failed checks of the running test so far. */
inline int failedChecks()
{
    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failed = 0;
    for (int i = 0; i < result->total_part_count(); ++i)
        failed += result->GetTestPartResult(i).failed() ? 1 : 0;
    return failed;
}

/** In the child: becomes "nobody", the owner of the home folder; false when that cannot be done. */
inline bool becomeUnprivileged(const juce::File& home)
{
    const passwd* nobody = getpwnam("nobody");
    return nobody != nullptr && giveToUser(home, nobody->pw_uid, nobody->pw_gid) &&
           setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0 &&
           geteuid() != 0;
}
} // namespace child_process_detail

/** Runs the body in a forked child within the bounds; succeeds when the body ran to its end
    without a failed check, and otherwise says how the child ended. Checks in the body report
    from the child. The child goes on in this program rather than starting it again, so the user
    nobody need not reach the build folder; only this thread runs in it, so the body uses nothing
    that needs the framework's timer thread. */
inline ::testing::AssertionResult runInBoundedChild(const ChildBounds& bounds,
                                                    const std::function<void()>& body)
{
    using namespace child_process_detail;
    std::cout.flush();
    std::fflush(stdout);
    const auto memoryLimit = residentBytes(getpid()) + bounds.extraMemoryBytes;
    const auto failedBefore = failedChecks();

    const pid_t child = fork();
    if (child < 0)
        return ::testing::AssertionFailure() << "no child process";
    if (child == 0)
    {
        if (bounds.unprivilegedHome != juce::File() && geteuid() == 0 &&
            !becomeUnprivileged(bounds.unprivilegedHome))
            _exit(3);
        body();
        std::cout.flush();
        std::fflush(stdout);
        _exit(failedChecks() > failedBefore ? 1 : 0);
    }

    // The watchdog: time and memory are looked at while the child runs, not asserted afterwards.
    const auto deadline = std::chrono::steady_clock::now() + bounds.time;
    juce::String stopped;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0)
    {
        if (stopped.isEmpty() && residentBytes(child) > memoryLimit)
            stopped = "it held more than " + juce::String(bounds.extraMemoryBytes >> 20) + " MiB more memory";
        else if (stopped.isEmpty() && std::chrono::steady_clock::now() > deadline)
            stopped = "it was still running after " + juce::String((int)bounds.time.count()) + " s";
        if (stopped.isNotEmpty())
            kill(child, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    if (stopped.isNotEmpty())
        return ::testing::AssertionFailure() << "the child was stopped: " << stopped;
    if (WIFSIGNALED(status))
        return ::testing::AssertionFailure() << "the child died of signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 3)
        return ::testing::AssertionFailure() << "the child could not become the user nobody";
    if (WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "a check failed in the child";
    return ::testing::AssertionSuccess();
}
