// Printing to the console log: the stamp, the cutting of long lines and the
// growth of the log tree, as every subsystem does many times at start-up.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "console/krovane_console.h"

namespace {

void printLines(benchmark::State& state, const std::string& text) {
    // Each run starts a fresh console in a folder without a command base.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    Krovane_Console console(nullptr);
    const Korvane_string line(text.c_str());
    for (auto _ : state) console.Print(line, MessageType::Text);
    state.counters["log_nodes"] = static_cast<double>(console.log().nodeCount());
    std::filesystem::current_path(previous);
}

void BM_Print_Short(benchmark::State& state) { printLines(state, "[>>>] Loading Lights : "); }
void BM_Print_Cut(benchmark::State& state) {
    // Three pieces: 86, then two of 85 after the three-blank indent.
    printLines(state, std::string(240, 'x'));
}

}  // namespace

BENCHMARK(BM_Print_Short);
BENCHMARK(BM_Print_Cut);
