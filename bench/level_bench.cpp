// Whole frames of a level through the engine on the OpenGL device, offscreen
// at 640 x 480 without multisampling: the bundled level, and a heavy one of
// 100 objects of 5,000 triangles (made by tools/make_demo_level.py --heavy
// into the temporary folder) with one, two and three lights. Counts the heap
// allocations a frame makes, which should be none. With one light, the same
// frames drawn by a plain OpenGL program (plain_gl_frame.cpp) beside them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/resource.h>

#include "allocation_count.h"
#include "app/krovane.h"
#include "platform/window.h"

namespace fs = std::filesystem;

void plainGlFrames(benchmark::State& state, const fs::path& level, bool indexed);

// The seconds the kernel spent for this process (all its threads) so far:
// page faults of fresh memory show here.
double systemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
}

namespace {

// A copy of `level` to work in, since the engine leaves its log there.
fs::path workCopy(const fs::path& level, const char* name) {
    const fs::path dir = fs::temp_directory_path() / name;
    fs::remove_all(dir);
    fs::copy(level, dir, fs::copy_options::recursive);
    return dir;
}

void frames(benchmark::State& state, const fs::path& level) {
    if (!fs::exists(level / "POLYGON01")) {
        state.SkipWithError(("no level in " + level.string()).c_str());
        return;
    }
    {
        std::string error;
        auto window = krovane::platform::Window::create("bench", 640, 480, true, error);
        Krovane engine;
        Krovane::Settings settings;  // no multisampling
        settings.root = level;
        krovane::gfx::Ref<krovane::gfx::Device> device;
        if (!window || krovane::gfx::failed(Krovane::InitDevice(*window, settings, &device, error))) {
            state.SkipWithError(error.c_str());
            return;
        }
        engine.Initialize(std::move(device), settings);
        Krovane_Render_Manager* render = engine.renderManager();
        render->RenderFrame(0.0f);  // the camera's transforms, and everything made on first use
        render->RenderFrame(0.0f);
        std::vector<std::uint32_t> pixels;
        std::uint32_t w = 0, h = 0;
        const std::uint64_t start = allocationCount();
        const double system = systemSeconds();
        for (auto _ : state) {
            render->RenderFrame(60.0f);
            engine.device()->ReadPixels(pixels, w, h);  // waits until the frame is drawn
        }
        const std::uint64_t made = allocationCount() - start;  // before the counters below allocate
        const auto frames = static_cast<double>(state.iterations());
        // ReadPixels resizes its vector once; what is left is the frames' own.
        state.counters["allocations_per_frame"] = static_cast<double>(made) / frames;
        state.counters["system_ms_per_frame"] = (systemSeconds() - system) * 1000.0 / frames;
        state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
        state.counters["objects"] = engine.objectManager()->objectCount();
        state.counters["lights"] = engine.lightManager()->lightCount();
        engine.Shutdown();
    }
}

void BM_BundledLevelFrame(benchmark::State& state) { frames(state, workCopy(KROVANE_DEMO_DIR, "krovane-bench-demo")); }

// The heavy level with `lights` lights, made once per run.
std::string heavyLevel(long lights) {
    const std::string dir = (fs::temp_directory_path() / ("krovane-bench-heavy-" + std::to_string(lights))).string();
    if (fs::exists(dir + "/POLYGON01")) return dir;
    const std::string make =
        "python3 " KROVANE_TOOLS_DIR "/make_demo_level.py --heavy " + dir + " " + std::to_string(lights);
    return std::system(make.c_str()) == 0 ? dir : std::string();
}

void BM_HeavyLevelFrame(benchmark::State& state) {
    const std::string dir = heavyLevel(state.range(0));
    if (dir.empty()) {
        state.SkipWithError("the heavy level could not be made");
        return;
    }
    frames(state, workCopy(dir, "krovane-bench-heavy-work"));
}

void BM_HeavyLevelFrame_PlainGL(benchmark::State& state) {
    const std::string dir = heavyLevel(1);
    if (dir.empty()) {
        state.SkipWithError("the heavy level could not be made");
        return;
    }
    plainGlFrames(state, dir, state.range(0) != 0);
}

}  // namespace

// Real time: the drawing itself runs in the driver's threads.
BENCHMARK(BM_BundledLevelFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_HeavyLevelFrame)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();
BENCHMARK(BM_HeavyLevelFrame_PlainGL)
    ->ArgName("indexed")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(5.0)
    ->UseRealTime();
