// Printing to the console log: the stamp, the cutting of long lines and the
// growth of the log tree, as every subsystem does many times at start-up;
// and a frame of the open console over a short and a very long log.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "console/krovane_console.h"
#include "gfx/recording_device.h"

namespace {

void printLines(benchmark::State& state, const std::string& text) {
    // Each run starts a fresh console in a folder without a command base.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    Krovane_Console console;
    const Korvane_string line(text.c_str());
    for (auto _ : state) console.Print(line, MessageType::Text);
    state.counters["log_nodes"] = static_cast<double>(console.log().tree().nodeCount());
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

namespace {

// One frame of the open console (its three boxes, the log view showing the
// latest lines or a scrolled place) on the recording device, with a log of
// state.range(0) lines. The log view finds its lines through the console's
// index of line ids, so the time must not grow with the log.
void consoleFrame(benchmark::State& state, bool scrolled) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    krovane::gfx::Ref<krovane::gfx::RecordingDevice> device = krovane::gfx::RecordingDevice::create();
    {
        Krovane_Console console;
        console.setVisible(true);
        const auto lines = static_cast<std::uint64_t>(state.range(0));
        for (std::uint64_t i = console.log().lineIds().size(); i < lines; ++i)
            console.Print("[>>>] Loading object objects\\box_000123.DR finished", MessageType::Text);
        if (scrolled) {
            // The thumb dropped half way down: the middle of the log.
            console.MouseEvent(Console_Box::kMousePress, 732, 172);
            console.MouseEvent(Console_Box::kMouseRelease, 732, 111);
        }
        for (auto _ : state) {
            device->BeginScene();
            console.Draw(device.get());
            device->EndScene();
            device->clearCalls();
        }
        state.counters["log_lines"] = static_cast<double>(console.log().lineIds().size());
        state.counters["first_shown"] =
            static_cast<double>(static_cast<std::int64_t>(console.log().lineIds().size()) - console.logView().shown);
    }
    std::filesystem::current_path(previous);
}

void BM_ConsoleFrame(benchmark::State& state) { consoleFrame(state, false); }
void BM_ConsoleFrame_Scrolled(benchmark::State& state) { consoleFrame(state, true); }

}  // namespace

BENCHMARK(BM_ConsoleFrame)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConsoleFrame_Scrolled)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);
