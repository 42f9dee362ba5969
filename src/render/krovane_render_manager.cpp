// The render manager's start-up and the frame pass with its head-up text.
#include "render/krovane_render_manager.h"

#include "console/krovane_console.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "params/float_to_int.h"
#include "platform/code_page_1251.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

using namespace krovane::gfx;

namespace {

// The head-up labels, in code page 1251.
// kept: "Текушая" is the label's long-standing spelling.
constexpr auto kCurrentCamera = krovane::cp1251("Текушая камера : ");
constexpr auto kObjectCount = krovane::cp1251("Число объектов : ");
constexpr auto kCameraAt = krovane::cp1251("Камера в : Position ");

}  // namespace

int Krovane_Render_Manager::pointsToPixels(int points, int dpi) {
    // points * dpi / 72, rounded half away from zero.
    const long long product = static_cast<long long>(points) * dpi;
    return static_cast<int>((product >= 0 ? product + 36 : product - 36) / 72);
}

Krovane_Render_Manager::Krovane_Render_Manager(Device* device_, Krovane_Camera_Manager* cameraManager_,
                                               Krovane_Object_Manager* objectManager_, Krovane_Console* console_,
                                               Krovane_Light_Manager* lightManager_, int dpi)
    : device(device_),
      cameraManager(cameraManager_),
      objectManager(objectManager_),
      console(console_),
      lightManager(lightManager_),
      dpi_(dpi) {}

Krovane_Render_Manager::~Krovane_Render_Manager() = default;

void Krovane_Render_Manager::Init() {
    int errors = 0;
    redTexture = std::make_unique<TextureHolder>();
    whiteTexture = std::make_unique<TextureHolder>();
    blueTexture = std::make_unique<TextureHolder>();
    yellowTexture = std::make_unique<TextureHolder>();
    const auto report = [&](const char* text) {
        ++errors;
        if (console != nullptr) console->Print(text, MessageType::Error);
    };

    const struct {
        const char* path;
        TextureHolder* holder;
        const char* message;
    } textures[] = {
        {"textures\\_def\\white.bmp", whiteTexture.get(), "missed: textures\\_def\\white.bmp"},
        {"textures\\_def\\red.bmp", redTexture.get(), "missed: textures\\_def\\red.bmp"},
        // kept: nothing draws with the blue texture; it is loaded for its line in the start-up log.
        {"textures\\_def\\Blue.bmp", blueTexture.get(), "missed: textures\\_def\\Blue.bmp"},
        {"textures\\_def\\yellow.bmp", yellowTexture.get(), "missed: textures\\_def\\yellow.bmp"},
    };
    for (const auto& t : textures)
        if (failed(loadTextureFromFile(device, t.path, &t.holder->texture))) report(t.message);

    const struct {
        Ref<Font>* font;
        int height;
        std::uint32_t weight;
        const char* face;
        const char* message;
    } fonts[] = {
        {&Font8Verdana, -pointsToPixels(8, dpi_), 700, "Verdana", "failed: CreateFont Font8Verdana"},
        // kept: nothing draws with Font16Verdana or Font6Kartika; they are made for their lines in the start-up log.
        {&Font16Verdana, -pointsToPixels(16, dpi_), 700, "Verdana", "failed: CreateFont Font16Verdana"},
        {&Font6Kartika, 14, 400, "Kartika", "failed: CreateFont Font6Kartika"},
    };
    for (const auto& f : fonts)
        if (failed(CreateFontA(device, f.height, 0, f.weight, 0, false, 1, 0, 0, 0, f.face, f.font))) report(f.message);

    // kept: two blanks after "missed:" on this line, as existing logs show.
    if (failed(CreateEffectFromFileA(device, "fx\\vek_Phong.fx", &effect))) report("missed:  fx\\vek_Phong.fx");

    // kept: "inicialized" is the spelling existing logs carry.
    Korvane_string summary = "Rendering manager inicialized with ";
    summary += errors;
    summary += " errors.";
    if (console != nullptr) console->Print(summary, MessageType::Comment);
}

void Krovane_Render_Manager::DrawHudText(const Korvane_string& text, int x, int y) {
    if (Font8Verdana == nullptr) return;
    Rect rect{x, y, 0, 0};
    Font8Verdana->DrawTextA(nullptr, text.getChars(), -1, &rect, kDtNoClip, 0xFFFFFFFF);
}

void Krovane_Render_Manager::RenderFrame(float fps) {
    if (device == nullptr) return;
    device->Clear(0, nullptr, kClearTarget | kClearZBuffer, backColor, 1.0f, 0);
    if (!failed(device->BeginScene())) {
        // kept: each frame starts solid, so a configured fill mode lasts only until the first frame.
        device->SetRenderState(RenderState::FillMode, kFillSolid);
        Krovane_Camera* camera = cameraManager != nullptr ? cameraManager->CurrentCamera() : nullptr;
        const bool consoleOpen = console != nullptr && console->visible();
        if (!consoleOpen) {
            hudText = kCurrentCamera.c_str();
            if (camera != nullptr)
                hudText += cameraManager->CurrentNumber();
            else
                hudText += "-";
            DrawHudText(hudText, 5, 5);

            hudText = kObjectCount.c_str();
            hudText += static_cast<int>(objectManager != nullptr ? objectManager->objectCount() : 0);
            DrawHudText(hudText, 5, 15);

            hudText = kCameraAt.c_str();
            if (camera != nullptr) {
                hudText += truncateToInt(camera->position.x);
                hudText += " ";
                hudText += truncateToInt(camera->position.y);
                hudText += " ";
                hudText += truncateToInt(camera->position.z);
                hudText += "  Rotation ";
                hudText += truncateToInt(camera->look.x);
                hudText += " ";
                hudText += truncateToInt(camera->look.y);
                hudText += " ";
                hudText += truncateToInt(camera->look.z);
            } else {
                hudText += "-  Rotation -";
            }
            DrawHudText(hudText, 5, 25);

            hudText = truncateToInt(fps);
            hudText += " fps";
            DrawHudText(hudText, 5, 45);

            // kept: objects draw before the camera sets this frame's transforms, so they use the previous frame's view.
            if (objectManager != nullptr) objectManager->RenderAll();
            if (camera != nullptr) camera->ApplyTransforms(device);
        } else {
            hudText = truncateToInt(fps);
            hudText += " fps";
            DrawHudText(hudText, 9, 2);
            device->SetRenderState(RenderState::FillMode, kFillWireframe);
            if (objectManager != nullptr) objectManager->RenderAll();
            device->SetTexture(0, whiteTexture ? whiteTexture->texture.get() : nullptr);
            if (cameraManager != nullptr) cameraManager->DrawCameras(device);
            device->SetTexture(0, redTexture ? redTexture->texture.get() : nullptr);
            if (lightManager != nullptr) lightManager->DrawLights(device, whiteTexture.get(), yellowTexture.get());
            if (camera != nullptr) camera->ApplyTransforms(device);
        }
        if (console != nullptr) console->Draw(device);
        device->EndScene();
    }
    device->Present();
}
