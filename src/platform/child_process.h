// runInChildProcess: runs a piece of work in a child process, so that a fault
// in it (a crash, an abort, an endless loop in a library reading a damaged
// file) cannot take the caller down. The work returns an exit code and may
// leave one text for the caller; nothing else comes back.
//
// A memory limit caps the address space the work may add to what the process
// already has; running past it ends the child with `outOfMemory` set, whatever
// library was allocating. Where the system cannot start a child process, the
// work runs in this one, without a limit.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace krovane::platform {

struct ChildOutcome {
    bool finished = false;     // the work returned (its code is in exitCode)
    bool outOfMemory = false;  // it stopped at the memory limit (fault says so too)
    int exitCode = -1;
    std::string report;  // the text the work left
    std::string fault;   // why it did not finish: "crashed (Segmentation fault)", "took longer than 60 s"...
};

// `work` gets the text to leave and returns a code from 0 to 124 (125 and 126
// tell a fault and running out of memory apart); an exception it throws is a
// fault. A child still running after `timeoutSeconds` is stopped.
// `memoryLimitBytes` 0 means no limit of ours.
ChildOutcome runInChildProcess(const std::function<int(std::string& report)>& work, unsigned timeoutSeconds,
                               std::size_t memoryLimitBytes = 0);

}  // namespace krovane::platform
