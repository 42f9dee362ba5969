// Fonts: making one (finding the face, rendering 256 glyphs, the atlas) and
// drawing an 80-character line, on the recording device (the layout and
// vertices alone) and on the OpenGL device offscreen. `allocs` counts the
// operator new calls per DrawTextA, which must be none once warm.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "gfx/font.h"
#include "gfx/gl_device.h"
#include "gfx/recording_device.h"
#include "platform/window.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// GCC takes these frees for frees of `new` memory once inlined; this `new` is malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace krovane::gfx;

constexpr const char* kLine = "Frame 1234: 60.0 fps, 1843 objects, 412 lights, camera at (123.4, 56.7, -890.1).";
static_assert(std::char_traits<char>::length(kLine) == 80, "an 80-character line");

void BM_CreateFont(benchmark::State& state) {
    Ref<RecordingDevice> device = RecordingDevice::create();
    for (auto _ : state) {
        Ref<Font> font;
        if (failed(CreateFontA(device.get(), static_cast<int>(state.range(0)), 0, 400, 1, false, 204, 0, 0, 0, "Verdana",
                               &font))) {
            state.SkipWithError("no font");
            break;
        }
        font.reset();
        device->clearCalls();
    }
    device.reset();
}

// Draws the line `state` times on `device`, whose calls `clear` drops now and then.
template <typename Clear>
void drawLines(benchmark::State& state, Device* device, Clear clear) {
    Ref<Font> font;
    if (failed(CreateFontA(device, -16, 0, 400, 1, false, 204, 0, 0, 0, "Verdana", &font))) {
        state.SkipWithError("no font");
        return;
    }
    device->BeginScene();
    Rect rect{8, 8, 0, 0};
    font->DrawTextA(nullptr, kLine, -1, &rect, kDtNoClip, 0xFFFFFF00);  // warm: the vertex buffer is grown
    long allocated = 0;
    std::int64_t n = 0;
    for (auto _ : state) {
        const long before = allocations.load(std::memory_order_relaxed);
        benchmark::DoNotOptimize(font->DrawTextA(nullptr, kLine, -1, &rect, kDtNoClip, 0xFFFFFF00));
        allocated += allocations.load(std::memory_order_relaxed) - before;
        if (++n % 1024 == 0) clear();
    }
    device->EndScene();
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocated), benchmark::Counter::kAvgIterations);
    font.reset();
}

void BM_DrawText80_Recording(benchmark::State& state) {
    Ref<RecordingDevice> device = RecordingDevice::create();
    drawLines(state, device.get(), [&device] { device->clearCalls(); });
    device.reset();
}

void BM_DrawText80_GL(benchmark::State& state) {
    std::string error;
    auto window = krovane::platform::Window::create("bench", 1024, 768, true, error);
    Ref<Device> device;
    if (!window || failed(createGlDevice(*window, 0, &device, error))) {
        state.SkipWithError(error.c_str());
        return;
    }
    drawLines(state, device.get(), [] {});
    device.reset();
}

}  // namespace

BENCHMARK(BM_CreateFont)->Arg(-12)->Arg(-16)->Arg(-32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawText80_Recording)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawText80_GL)->Unit(benchmark::kMicrosecond);
