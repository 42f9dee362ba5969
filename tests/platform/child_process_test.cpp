// A fault in the work run in a child process comes back as a reason, never
// takes the caller down; the work's code and text come back when it returns.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

using krovane::platform::runInChildProcess;

TEST(ChildProcess, ReturnsTheWorksCodeAndTextOrTheFault) {
    struct Case {
        const char* what;
        int (*work)(std::string&);
        bool finished;
        int code;
        const char* text;  // the report when finished, else the start of the fault
    };
    const Case cases[] = {
        {"returns", [](std::string& r) { return r = "done", 0; }, true, 0, "done"},
        {"fails", [](std::string& r) { return r = "no mesh", 1; }, true, 1, "no mesh"},
        {"throws", [](std::string&) -> int { throw std::runtime_error("bad count"); }, false, -1, "failed: bad count"},
        {"is killed", [](std::string&) { return std::raise(SIGKILL), 0; }, false, -1, "crashed ("},
        {"aborts", [](std::string&) -> int { std::abort(); }, false, -1, "crashed ("},
        {"hangs", [](std::string&) -> int { for (;;) pause(); }, false, -1, "took longer than 1 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto outcome = runInChildProcess(c.work, 1);
        EXPECT_EQ(outcome.finished, c.finished);
        if (c.finished) {
            EXPECT_EQ(outcome.exitCode, c.code);
            EXPECT_EQ(outcome.report, c.text);
        } else {
            EXPECT_EQ(outcome.fault.rfind(c.text, 0), 0u) << outcome.fault;
        }
    }
}
