#include "platform/child_process.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace krovane::platform {

namespace {

constexpr int kFaultCode = 125;        // the work threw; the report holds the reason
constexpr int kOutOfMemoryCode = 126;  // an allocation failed under the memory limit

int runGuarded(const std::function<int(std::string&)>& work, std::string& report, std::string& fault) {
    try {
        return work(report);
    } catch (const std::bad_alloc&) {
        fault = "ran out of memory";
    } catch (const std::exception& e) {
        fault = std::string("failed: ") + e.what();
    } catch (...) {
        fault = "failed with an unknown exception";
    }
    return -1;
}

#if !defined(_WIN32)
// In the child under a limit, the first allocation refused ends the work at
// once: the libraries in it are not trusted to go on sanely after one.
[[noreturn]] void endOutOfMemory() { _exit(kOutOfMemoryCode); }

// The address space this process has mapped now, in bytes; 0 where unknown.
std::size_t addressSpaceInUse() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    return read ? pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

void limitMemory(std::size_t bytes) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = addressSpaceInUse() + bytes;
    setrlimit(RLIMIT_AS, &limit);
    std::set_new_handler(endOutOfMemory);
}
#endif

}  // namespace

ChildOutcome runInChildProcess(const std::function<int(std::string& report)>& work, unsigned timeoutSeconds,
                               std::size_t memoryLimitBytes) {
    ChildOutcome outcome;
#if defined(_WIN32)
    (void)timeoutSeconds;
    (void)memoryLimitBytes;
    outcome.exitCode = runGuarded(work, outcome.report, outcome.fault);
    outcome.finished = outcome.fault.empty();
    return outcome;
#else
    int fds[2];
    if (pipe(fds) != 0) {
        outcome.fault = std::string("cannot make a pipe: ") + std::strerror(errno);
        return outcome;
    }
    std::fflush(nullptr);  // what is buffered is written once, by this process
    const pid_t pid = fork();
    if (pid < 0) {
        outcome.fault = std::string("cannot start a child process: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return outcome;
    }
    if (pid == 0) {
        close(fds[0]);
        if (memoryLimitBytes > 0) limitMemory(memoryLimitBytes);
        std::string report, fault;
        int code = runGuarded(work, report, fault);
        if (!fault.empty()) {
            report = fault;
            code = memoryLimitBytes > 0 && fault == "ran out of memory" ? kOutOfMemoryCode : kFaultCode;
        }
        for (std::size_t at = 0; at < report.size();) {
            const ssize_t n = write(fds[1], report.data() + at, report.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        close(fds[1]);
        std::fflush(nullptr);
        _exit(code & 0xFF);
    }

    close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child closed its end
        if (outcome.report.size() < (1u << 20)) outcome.report.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        outcome.fault = "took longer than " + std::to_string(timeoutSeconds) + " s";
    } else if (WIFSIGNALED(status)) {
        outcome.fault = std::string("crashed (") + strsignal(WTERMSIG(status)) + ")";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryCode && memoryLimitBytes > 0) {
        outcome.outOfMemory = true;
        outcome.fault = "ran out of memory (more than " + std::to_string(memoryLimitBytes >> 20) + " MiB)";
        outcome.report.clear();
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kFaultCode) {
        outcome.fault = outcome.report;
        outcome.report.clear();
    } else {
        outcome.finished = true;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return outcome;
#endif
}

}  // namespace krovane::platform
