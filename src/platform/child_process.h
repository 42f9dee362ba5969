// runInChildProcess: runs a piece of work in a child process, so that a fault
// in it (a crash, an abort, an endless loop in a library reading a damaged
// file) cannot take the caller down. The work returns an exit code and may
// leave one text for the caller; nothing else comes back.
//
// Where the system cannot start a child process, the work runs in this one.
#pragma once

#include <functional>
#include <string>

namespace krovane::platform {

struct ChildOutcome {
    bool finished = false;  // the work returned (its code is in exitCode)
    int exitCode = -1;
    std::string report;  // the text the work left
    std::string fault;   // why it did not finish: "crashed (Segmentation fault)", "took longer than 60 s"...
};

// `work` gets the text to leave; an exception it throws is a fault. A child
// still running after `timeoutSeconds` is stopped.
ChildOutcome runInChildProcess(const std::function<int(std::string& report)>& work, unsigned timeoutSeconds);

}  // namespace krovane::platform
