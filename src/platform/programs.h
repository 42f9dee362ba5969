// The programs of Krovane as files: where the running one is, and running
// another (a tool beside it) as a child process to its end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace krovane::platform {

// The running program's file, links followed; empty when the system cannot say.
std::filesystem::path runningProgram();

// What a program run as a child left.
struct ProgramOutcome {
    bool started = false;  // false: it could not be run at all (`output` says why)
    int exitCode = -1;     // its exit status; -1 when a signal ended it
    std::string output;    // what it wrote on its standard output and error, in order
};

// Runs `program` with `arguments` and waits for it to end. A program given
// without a folder is looked for on PATH. Its standard input is empty.
ProgramOutcome runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);

}  // namespace krovane::platform
