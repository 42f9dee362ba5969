// The engine's own cost of drawing, on the null device (every call checked,
// nothing drawn): whole frames of levels of 10,000 and 100,000 cubes, all in
// view, with one and three lights, timed per object and light; the heap
// allocations a frame makes, which must be none; and the memory an object
// holds once loaded. The levels are made by bench/make_levels.py into the
// temporary folder, once per run.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "allocation_count.h"
#include "app/krovane.h"
#include "gfx/null_device.h"
#include "log/console_log.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"
#include "scene/static_c_object.h"

using krovane::log::ConsoleLog;
using krovane::log::Log;

namespace {

namespace fs = std::filesystem;

// The cube level of `count` objects and `lights` lights, made once per run.
fs::path cubeLevel(long count, long lights) {
    const fs::path dir =
        fs::temp_directory_path() / ("krovane-bench-cubes-" + std::to_string(count) + "-" + std::to_string(lights));
    if (fs::exists(dir / "POLYGON01")) return dir;
    const std::string make = "python3 " KROVANE_BENCH_DIR "/make_levels.py cubes " + dir.string() + " " +
                             std::to_string(count) + " " + std::to_string(lights);
    return std::system(make.c_str()) == 0 ? dir : fs::path();
}

// Whole frames (RenderFrame, the head-up text included) of the cube level
// on the null device. The counter is the frame's time per object and light.
void BM_NullDeviceFrame(benchmark::State& state) {
    const long count = state.range(0), lights = state.range(1);
    const fs::path level = cubeLevel(count, lights);
    if (level.empty()) {
        state.SkipWithError("the cube level could not be made");
        return;
    }
    {
        Krovane engine;
        Krovane::Settings settings;
        settings.root = level;
        engine.Initialize(krovane::gfx::createNullDevice(), settings);
        Krovane_Render_Manager* render = engine.renderManager();
        render->RenderFrame(0.0f);  // the camera's transforms, and everything made on first use
        render->RenderFrame(0.0f);
        const std::uint64_t start = allocationCount();
        for (auto _ : state) render->RenderFrame(60.0f);
        const std::uint64_t made = allocationCount() - start;  // before the counters below allocate
        const auto frames = static_cast<double>(state.iterations());
        const double drawn = static_cast<double>(engine.objectManager()->objectCount()) *
                             static_cast<double>(engine.lightManager()->lightCount());
        state.counters["us_per_object_light"] =
            benchmark::Counter(frames * drawn, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                               benchmark::Counter::OneK::kIs1000);
        state.counters["allocations_per_frame"] = static_cast<double>(made) / frames;
        state.counters["objects"] = engine.objectManager()->objectCount();
        state.counters["lights"] = engine.lightManager()->lightCount();
        engine.Shutdown();
    }
}

// The heap an object holds once loaded, beyond what every object of its
// file shares: the growth of the heap in use over `count` objects added
// from one parameter file (no log, so that only the objects count).
struct Unlogged final : Log {
    void Print(const Korvane_string&, MessageType) override {}
};

void BM_ObjectMemory(benchmark::State& state) {
    const long count = state.range(0);
    const fs::path level = cubeLevel(10000, 1);
    if (level.empty()) {
        state.SkipWithError("the cube level could not be made");
        return;
    }
    const fs::path before = fs::current_path();
    fs::current_path(level);
    const auto device = krovane::gfx::createNullDevice();
    for (auto _ : state) {
        ConsoleLog log;
        Krovane_Camera_Manager cameras(log);
        Krovane_Light_Manager lights(log);
        Krovane_Effect_Manager effects(device.get(), log, cameras);
        Unlogged unlogged;
        Krovane_Object_Manager objects(&krovane::gfx::kIdentityMatrix, device.get(), unlogged, &effects, &lights);
        objects.AddObject("objects\\cube.DR", 0, 0, 0, 0, 0, 0);  // the shared files
        const std::size_t held = mallinfo2().uordblks;
        for (long i = 1; i < count; ++i)
            objects.AddObject("objects\\cube.DR", static_cast<float>(i), 0, 0, 0, static_cast<float>(i), 0);
        state.counters["bytes_per_object"] =
            static_cast<double>(mallinfo2().uordblks - held) / static_cast<double>(count - 1);
    }
    fs::current_path(before);
}

}  // namespace

BENCHMARK(BM_NullDeviceFrame)
    ->ArgNames({"objects", "lights"})
    ->Args({10000, 1})
    ->Args({10000, 3})
    ->Args({100000, 1})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_ObjectMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
