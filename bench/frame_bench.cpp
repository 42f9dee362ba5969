// The empty frame: clear, begin and end the scene, present. The floor under
// every frame the viewer draws, on the OpenGL device in an offscreen window
// (Mesa's software renderer where there is no GPU).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "gfx/gl_device.h"
#include "platform/window.h"

namespace {

using namespace krovane::gfx;

void emptyFrames(benchmark::State& state, std::uint32_t multisampleType) {
    std::string error;
    auto window = krovane::platform::Window::create("bench", static_cast<int>(state.range(0)),
                                                    static_cast<int>(state.range(1)), true, error);
    Ref<Device> device;
    if (!window || failed(createGlDevice(*window, multisampleType, &device, error))) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF6482AA, 1.0f, 0);
        if (!failed(device->BeginScene())) device->EndScene();
        device->Present();
    }
    device.reset();
}

void BM_EmptyFrame(benchmark::State& state) { emptyFrames(state, 0); }
void BM_EmptyFrame_4xMultisample(benchmark::State& state) { emptyFrames(state, 4); }

}  // namespace

BENCHMARK(BM_EmptyFrame)->Args({640, 480})->Args({1024, 768})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EmptyFrame_4xMultisample)->Args({1024, 768})->Unit(benchmark::kMicrosecond);
