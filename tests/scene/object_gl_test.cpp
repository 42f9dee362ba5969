// Objects drawing for real (offscreen OpenGL): a textured model through the
// shipped Phong effect lands where the camera sees it, and a second light
// adds its share to the first.
#include <gtest/gtest.h>

#include <string>

#include "../level_files.h"
#include "../temp_dir.h"
#include "console/console_log.h"
#include "gfx/gl_fixture.h"
#include "platform/clock.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

namespace {

using namespace krovane::test;

class ObjectGl : public GlDevice {
protected:
    void SetUp() override {
        krovane::test::copyDemoFile("fx/vek_Phong.fx");
        writeFile("models/square.x", squareModel({"red.bmp"}));
        writeBmp("textures/red.bmp", 0xFF0000);
        writeFile("objects/square.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { vek_Phong }");
    }
    // Loads the level text, draws one frame (camera first, so that the
    // objects see its transforms) and returns the pixels.
    std::vector<std::uint32_t> draw(const char* level) {
        writeFile("POLYGON01", level);
        ConsoleLog console;
        Krovane_Camera_Manager cameras(&console);
        Krovane_Light_Manager lights(console);
        Krovane_Effect_Manager effects(device.get(), console, cameras);
        Krovane_Object_Manager objects(&kIdentityMatrix, device.get(), &console, &effects, &lights);
        cameras.SetupFromFile("POLYGON01");
        lights.SetupFromFile("POLYGON01");
        effects.SetupFromFile("POLYGON01");
        objects.SetupFromFile("POLYGON01");
        clear(0xFF000000);
        device->BeginScene();
        cameras.CurrentCamera()->ApplyTransforms(device.get());
        objects.RenderAll();
        device->EndScene();
        return frame();
    }
    TempDir dir;
};

constexpr const char* kOneLight = R"(
_CAMERAS_ { eye { _POSITION_ { 0 0 -4 } _LOOK_ { 0 0 0 } } }
_LIGHTS_ { front { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } _AMBIENT_ { 0 } _SPECULAR_INTENSY_ { 0 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } }
_OBJECTS_ { square { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\square.DR } _POSITION_ { 1.5 0 0 } } }
)";

TEST_F(ObjectGl, ATexturedModelLandsWhereTheCameraSeesItAndASecondLightAdds) {
    OPEN_OR_SKIP();
    // The square spans x 0.5 to 2.5 in the world: right of the middle of the view.
    const auto one = draw(kOneLight);
    const std::uint32_t lit = at(one, kWidth * 3 / 4, kHeight / 2);
    EXPECT_GT(lit >> 16, 15u) << std::hex << lit;  // the red texture times the material's 0.1 red, lit
    EXPECT_EQ(lit & 0xFFFF, 0u) << std::hex << lit;
    EXPECT_EQ(at(one, kWidth / 8, kHeight / 2), 0u);  // nothing left of the middle

    std::string twoLights = kOneLight;
    twoLights.replace(twoLights.find("_LIGHTS_ {") + 10, 0,
                      " again { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } "
                      "_SPECULAR_INTENSY_ { 0 } }");
    const auto two = draw(twoLights.c_str());
    const std::uint32_t brighter = at(two, kWidth * 3 / 4, kHeight / 2);
    EXPECT_NEAR(static_cast<double>(brighter >> 16), 2.0 * (lit >> 16), 4.0);
}

}  // namespace
