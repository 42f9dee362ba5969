// The yardstick for the engine's frame: a plain OpenGL 3.3 program drawing
// what the engine draws for the sphere level (tools/make_demo_level.py
// --heavy DIR 1): the same welded and cache-ordered meshes, the same
// per-pixel lighting (the stages of fx/vek_Phong.fx, compiled directly), the
// same texture, camera, projection, depth test and back-face culling (drawn
// indexed, or with every corner its own vertex for comparison), offscreen
// at 640 x 480 without multisampling. Per frame: clear, one light's
// parameters, then per object its two matrices and one indexed draw; then the
// pixels are read back, as the engine's benchmark does. No engine code takes
// part in drawing; the engine's own readers only load the files.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <meshoptimizer.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/effect_file.h"
#include "gfx/geometry.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "formats/x_model.h"
#include "platform/file_io.h"
#include "platform/window.h"

namespace fs = std::filesystem;

double systemSeconds();

namespace {

using namespace krovane::formats;
using namespace krovane::gfx;

GLuint compile(GLenum type, const std::string& source) {
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

// The level's mesh, welded and ordered as the engine's meshes are.
struct Indexed {
    std::vector<XVertex> vertices;
    std::vector<std::uint16_t> indices;
};

Indexed weld(const XModel& model) {
    std::vector<XVertex> corners;
    for (std::uint32_t i : model.indices) corners.push_back(model.vertices[i]);
    std::vector<unsigned> remap(corners.size());
    const std::size_t unique =
        meshopt_generateVertexRemap(remap.data(), nullptr, corners.size(), corners.data(), corners.size(), 32);
    Indexed out;
    out.vertices.resize(unique);
    meshopt_remapVertexBuffer(out.vertices.data(), corners.data(), corners.size(), 32, remap.data());
    std::vector<unsigned> indices(corners.size());
    meshopt_remapIndexBuffer(indices.data(), nullptr, corners.size(), remap.data());
    meshopt_optimizeVertexCache(indices.data(), indices.data(), indices.size(), unique);
    meshopt_optimizeVertexFetch(out.vertices.data(), indices.data(), indices.size(), out.vertices.data(), unique, 32);
    out.indices.assign(indices.begin(), indices.end());
    return out;
}

void plainGlFramesHere(benchmark::State& state, const fs::path& level, bool indexed) {
    std::string error;
    auto window = krovane::platform::Window::create("plain", 640, 480, true, error);
    SDL_GLContext context = window ? SDL_GL_CreateContext(static_cast<SDL_Window*>(window->nativeHandle())) : nullptr;
    if (context == nullptr) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    XModel model;
    std::string fxText;
    EffectFile fx;
    if (!loadXModel("models\\heavy.x", model, error) ||
        krovane::platform::readWholeFile(level / "fx" / "vek_Phong.fx", fxText, 1 << 20) !=
            krovane::platform::ReadStatus::Ok ||
        !parseEffectFile(fxText, fx, error)) {
        state.SkipWithError(("the sphere level could not be read: " + error).c_str());
        SDL_GL_DeleteContext(context);
        return;
    }
    const EffectPass& pass = fx.techniques[0].passes[0];
    const GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, fx.stageSource(fx.stages[pass.vertexStage])));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fx.stageSource(fx.stages[pass.fragmentStage])));
    glLinkProgram(program);
    glUseProgram(program);
    const auto at = [&](const char* name) { return glGetUniformLocation(program, name); };

    // Offscreen target, as the engine's device draws.
    GLuint fbo, color, depth;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &color);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 640, 480);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 640, 480);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, 640, 480);
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

    // The mesh, its texture and its material.
    Indexed mesh = weld(model);
    if (!indexed) {
        // Every corner its own vertex, in the same triangle order.
        std::vector<XVertex> corners;
        for (std::uint16_t i : mesh.indices) corners.push_back(mesh.vertices[i]);
        mesh.vertices = std::move(corners);
    }
    GLuint vao, vbo, ibo, texture;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.vertices.size() * 32), mesh.vertices.data(),
                 GL_STATIC_DRAW);
    glGenBuffers(1, &ibo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.indices.size() * 2), mesh.indices.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<const void*>(0));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<const void*>(12));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<const void*>(24));
    glVertexAttrib4f(1, 1, 1, 1, 1);
    // The picture as the engine decodes it: what its loader hands a recording device.
    Ref<RecordingDevice> recorder = RecordingDevice::create();
    Ref<Texture> decoded;
    loadTextureFromFile(recorder.get(), ("textures\\" + model.materials[0].textureFile).c_str(), &decoded);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (const RecordedCall& call : recorder->calls())
        if (call.op == DeviceOp::CreateTexture && call.result == kOk)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(call.args[0]),
                         static_cast<GLsizei>(call.args[1]), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                         call.vertices.data());
    if (decoded) decoded.reset();
    recorder.reset();
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY, 16.0f);
    glUniform1i(at("Texture0"), 0);
    const XMaterial& m = model.materials[0];
    glUniform4fv(at("MaterialDiffuse"), 1, &m.diffuse.r);
    glUniform4fv(at("MaterialAmbient"), 1, &m.diffuse.r);  // the engine takes ambient from diffuse
    glUniform4fv(at("MaterialSpecular"), 1, &m.specular.r);
    glUniform4fv(at("MaterialEmissive"), 1, &m.emissive.r);
    glUniform1f(at("MaterialPower"), m.power);

    // The level's camera and light (see write_heavy_level).
    const Vector3 eye{0, 420, -620};
    const Matrix viewProj =
        multiply(lookAtLH(eye, {0, 0, 0}, {0, 1, 0}), perspectiveFovLH(0.7853982f, 1.3333334f, 1.0f, 15000.0f));
    std::vector<Matrix> worlds;
    for (int i = 0; i < 100; ++i)
        worlds.push_back(translation(static_cast<float>((i % 10) * 60 - 270), 18, static_cast<float>((i / 10) * 60 - 270)));

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);  // clockwise faces are the front ones; counter-clockwise are culled
    std::vector<std::uint32_t> read(640 * 480);
    const double system = systemSeconds();
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUniform4f(at("View_Pos"), eye.x, eye.y, eye.z, 1);
        glUniform4f(at("LightPos"), 0, 250, 300, 1);
        glUniform4f(at("LightColor"), 1, 0.93f, 0.82f, 1);
        glUniform1f(at("LightFalloff"), 1600);
        glUniform1f(at("LightSpecular"), 8.5f);
        glUniform1f(at("LightSpecular_Itens"), 0.19f);
        glUniform1f(at("LightAmbient"), 0.15f);
        glUniform1f(at("Attenuation"), 0.8f);
        for (const Matrix& world : worlds) {
            const Matrix wvp = multiply(world, viewProj);
            glUniformMatrix4fv(at("mat_World_View_Proj"), 1, GL_FALSE, &wvp.m[0][0]);
            glUniformMatrix4fv(at("matWorld"), 1, GL_FALSE, &world.m[0][0]);
            if (indexed)
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_SHORT, nullptr);
            else
                glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(mesh.vertices.size()));
        }
        glReadPixels(0, 0, 640, 480, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, read.data());
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["system_ms_per_frame"] = (systemSeconds() - system) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["triangles"] = static_cast<double>(mesh.indices.size() / 3);
    glDeleteProgram(program);
    SDL_GL_DeleteContext(context);
}

}  // namespace

void plainGlFrames(benchmark::State& state, const fs::path& level, bool indexed) {
    const fs::path before = fs::current_path();
    fs::current_path(level);
    plainGlFramesHere(state, level, indexed);
    fs::current_path(before);
}
