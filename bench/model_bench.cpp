// Loading what a level is made of: .x models in each form (public models from
// ../shared/models, skipped when absent), textures of 1024 x 1024 in each
// image format, and the shipped effect. Models and textures are measured
// from the file to the device's resources on the recording device (the CPU
// work: reading, parsing, decoding); the effect on the OpenGL device, where
// creating it means compiling and linking its shaders.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/effect.h"
#include "gfx/gl_device.h"
#include "gfx/mesh.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "platform/window.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>  // the test images

namespace {

using namespace krovane::gfx;
namespace fs = std::filesystem;

void BM_LoadModel(benchmark::State& state, const char* file) {
    const std::string path = std::string(KROVANE_SHARED_MODELS) + "/" + file;
    if (!fs::exists(path)) {
        state.SkipWithError("the public models are not here");
        return;
    }
    Ref<RecordingDevice> device = RecordingDevice::create();
    std::vector<ModelMaterial> materials;
    std::uint32_t triangles = 0;
    for (auto _ : state) {
        Ref<Mesh> mesh;
        if (failed(LoadMeshFromX(path.c_str(), device.get(), materials, &mesh))) {
            state.SkipWithError("the model did not load");
            break;
        }
        triangles = mesh->triangleCount();
        mesh.reset();
    }
    state.counters["triangles"] = triangles;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
    device.reset();
}

// A 1024 x 1024 picture with detail, so that compressed formats have work.
std::vector<unsigned char> picture() {
    std::vector<unsigned char> rgb(1024 * 1024 * 3);
    for (std::size_t i = 0; i < 1024 * 1024; ++i) {
        const std::size_t x = i % 1024, y = i / 1024;
        rgb[i * 3] = static_cast<unsigned char>(x ^ y);
        rgb[i * 3 + 1] = static_cast<unsigned char>((x * y) >> 4);
        rgb[i * 3 + 2] = static_cast<unsigned char>(x + 2 * y);
    }
    return rgb;
}

// An uncompressed 32-bit DDS of 1024 x 1024 with its 11 mip levels.
void writeDds(const std::string& path) {
    std::vector<std::uint32_t> words(32, 0);
    words[0] = 0x20534444;  // "DDS "
    words[1] = 124;
    words[2] = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000;
    words[3] = words[4] = 1024;
    words[7] = 11;
    words[19] = 32;
    words[20] = 0x41;  // RGB with alpha
    words[22] = 32;
    words[23] = 0x00FF0000;
    words[24] = 0x0000FF00;
    words[25] = 0x000000FF;
    words[26] = 0xFF000000;
    words[27] = 0x1000 | 0x400000 | 0x8;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(words.data(), 4, words.size(), f);
    std::vector<std::uint32_t> level(1024 * 1024);
    for (std::size_t i = 0; i < level.size(); ++i) level[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    for (std::size_t side = 1024; side >= 1; side /= 2) std::fwrite(level.data(), 4, side * side, f);
    std::fclose(f);
}

void BM_LoadTexture(benchmark::State& state, const char* extension) {
    const fs::path dir = fs::temp_directory_path() / "krovane-texture-bench";
    fs::create_directories(dir);
    const std::string path = (dir / (std::string("picture.") + extension)).string();
    if (!fs::exists(path)) {
        const auto rgb = picture();
        const std::string ext = extension;
        if (ext == "bmp") stbi_write_bmp(path.c_str(), 1024, 1024, 3, rgb.data());
        if (ext == "png") stbi_write_png(path.c_str(), 1024, 1024, 3, rgb.data(), 1024 * 3);
        if (ext == "jpg") stbi_write_jpg(path.c_str(), 1024, 1024, 3, rgb.data(), 90);
        if (ext == "tga") stbi_write_tga(path.c_str(), 1024, 1024, 3, rgb.data());
        if (ext == "dds") writeDds(path);
    }
    Ref<RecordingDevice> device = RecordingDevice::create();
    for (auto _ : state) {
        Ref<Texture> texture;
        if (failed(loadTextureFromFile(device.get(), path.c_str(), &texture))) {
            state.SkipWithError("the texture did not load");
            break;
        }
        texture.reset();
        device->clearCalls();
    }
    device.reset();
}

void BM_CreatePhongEffect(benchmark::State& state) {
    std::string error;
    auto window = krovane::platform::Window::create("bench", 64, 64, true, error);
    Ref<Device> device;
    if (!window || failed(createGlDevice(*window, 0, &device, error))) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string path = std::string(KROVANE_DEMO_DIR) + "/fx/vek_Phong.fx";
    for (auto _ : state) {
        Ref<Effect> effect;
        if (failed(CreateEffectFromFileA(device.get(), path.c_str(), &effect))) {
            state.SkipWithError("the effect did not build");
            break;
        }
        effect.reset();
    }
    device.reset();
}

}  // namespace

BENCHMARK_CAPTURE(BM_LoadModel, text_tiger, "dxsdk/tiger/tiger.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, text_shapes1, "dxsdk/misc/shapes1.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, text64_seafloor, "dxsdk/misc/seafloor.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, binary_bigship1, "dxsdk/misc/bigship1.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, binary_teapot, "dxsdk/misc/teapot.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, compressed_skullocc, "dxsdk/misc/skullocc.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadModel, compressed_dwarf, "dxsdk/Dwarf/Dwarf.x")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, bmp, "bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, png, "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, jpeg, "jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, tga, "tga")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, dds_32bit_with_mips, "dds")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreatePhongEffect)->Unit(benchmark::kMillisecond);
