// Objects drawing for real (offscreen OpenGL): a textured model through the
// shipped Phong effect lands where the camera sees it, and a second light
// adds its share to the first.
#include "../scene_fixture.h"
#include "gfx/gl_fixture.h"

namespace {

using namespace krovane::test;

struct ObjectGl : GlDevice {
    TempDir dir;
    // Draws one frame of the level (camera first, so that the objects see its transforms).
    std::vector<std::uint32_t> draw(const std::string& level) {
        copyDemoFile("fx/vek_Phong.fx");
        writeFile("models/square.x", squareModel({"red.bmp"}));
        writeBmp("textures/red.bmp", 0xFF0000);
        writeFile("objects/square.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { vek_Phong }");
        writeFile("POLYGON01", level);
        Managers<> scene(device.get());
        scene.setup("POLYGON01");
        clear(0xFF000000);
        device->BeginScene();
        scene.cameras.CurrentCamera()->ApplyTransforms(device.get());
        scene.objects.RenderAll();
        device->EndScene();
        return frame();
    }
};

constexpr const char* kLevel = R"(
_CAMERAS_ { eye { _POSITION_ { 0 0 -4 } _LOOK_ { 0 0 0 } } }
_LIGHTS_ { front { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } _AMBIENT_ { 0 } _SPECULAR_INTENSY_ { 0 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } }
_OBJECTS_ { square { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\square.DR } _POSITION_ { 1.5 0 0 } } })";

TEST_F(ObjectGl, ATexturedModelLandsWhereTheCameraSeesItAndASecondLightAdds) {
    OPEN_OR_SKIP();
    // The square spans x 0.5 to 2.5 in the world: right of the middle of the view.
    const auto one = draw(kLevel);
    const std::uint32_t lit = at(one, kWidth * 3 / 4, kHeight / 2);
    EXPECT_GT(lit >> 16, 15u) << std::hex << lit;  // the red texture times the material's 0.1 red, lit
    EXPECT_EQ(lit & 0xFFFF, 0u) << std::hex << lit;
    EXPECT_EQ(at(one, kWidth / 8, kHeight / 2), 0u);  // nothing left of the middle
    std::string two = kLevel;
    two.replace(two.find("_LIGHTS_ {") + 10, 0,
                " again { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } _SPECULAR_INTENSY_ { 0 } }");
    EXPECT_NEAR(static_cast<double>(at(draw(two), kWidth * 3 / 4, kHeight / 2) >> 16), 2.0 * (lit >> 16), 4.0);
}

}  // namespace
