// A level printing to a log of its own, and a test fixture holding one on a
// recording device in a fresh working folder with the clock stopped.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/geometry.h"
#include "gfx/recording_device.h"
#include "level_files.h"
#include "log/console_log.h"
#include "logged_lines.h"
#include "params/tree_text.h"
#include "platform/clock.h"
#include "scene/level.h"
#include "scene/level_section.h"
#include "scene/static_c_object.h"
#include "temp_dir.h"

namespace krovane::test {

template <class LogT = krovane::log::ConsoleLog>
struct Managers {
    explicit Managers(krovane::gfx::Device* device) : level(device, log) {}
    // Loads the level file `path` as start-up does.
    void setup(const char* path) { level.load(krovane::scene::readLevel(path)); }
    LogT log;
    krovane::scene::Level level;
    Krovane_Camera_Manager& cameras = level.cameras();
    Krovane_Light_Manager& lights = level.lights();
    Krovane_Effect_Manager& effects = level.effects();
    Krovane_Object_Manager& objects = level.objects();
};

// Stops the clock at 1000 ms before the log starts, so stamps count from there.
struct ManualClock {
    ManualClock() { krovane::platform::Clock::setManualTicks(1000); }
    ~ManualClock() { krovane::platform::Clock::useRealTime(); }
};

template <class LogT = krovane::log::ConsoleLog>
struct SceneFixture : ::testing::Test {
    ManualClock clock;
    TempDir dir;
    krovane::gfx::Ref<krovane::gfx::RecordingDevice> device = krovane::gfx::RecordingDevice::create();
    Managers<LogT> scene{device.get()};
    LogT& log = scene.log;
    Krovane_Camera_Manager& cameras = scene.cameras;
    Krovane_Light_Manager& lights = scene.lights;
    Krovane_Effect_Manager& effects = scene.effects;
    Krovane_Object_Manager& objects = scene.objects;

    // The lines printed from line `from` on, without their stamps.
    std::vector<LoggedLine> lines(std::size_t from = 0) const { return loggedMessages(log, from); }
    const Static_CObject& object(std::uint32_t id) {
        return static_cast<const Static_CObject&>(*objects.entry(id)->object);
    }
    // Writes `text` as level.DR and has every manager read it.
    void level(std::string_view text) {
        writeFile("level.DR", text);
        scene.setup("level.DR");
    }
};

// Effects: one that takes only the eye's position, and one that takes the ten parameters an object and its light
// hand over, with a technique for the first light and one for the further lights.
constexpr const char* kEyeEffect = R"(uniform vec4 View_Pos;
vertex VS { void main() { gl_Position = View_Pos; } }
fragment PS { out vec4 c; void main() { c = vec4(1.0); } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; } })";
constexpr const char* kLitEffect = R"(
uniform vec4 View_Pos; uniform mat4 mat_World_View_Proj; uniform mat4 matWorld;
uniform vec4 LightPos; uniform vec4 LightColor; uniform float LightFalloff; uniform float LightSpecular;
uniform float LightSpecular_Itens; uniform float LightAmbient; uniform float Attenuation;
vertex VS { void main() { gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0); } }
fragment PS { out vec4 c; void main() { c = LightColor; } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; CullMode = CCW; } }
technique vek_Phong_alpha { pass P0 { VertexShader = VS; PixelShader = PS; AlphaBlendEnable = true; } })";

template <class V>
std::array<float, 3> xyz(const V& v) {
    return {v.x, v.y, v.z};
}

}  // namespace krovane::test
