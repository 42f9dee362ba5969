// The render manager's start-up and the frame pass with its head-up text.
#include "render/krovane_render_manager.h"

#include <string>
#include <utility>

#include "console/krovane_console.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "params/float_to_int.h"
#include "platform/code_page_1251.h"
#include "scene/level.h"

using namespace krovane::gfx;
using krovane::params::truncateToInt;

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

Krovane_Render_Manager::Krovane_Render_Manager(Device* device, Krovane_Console* console, int dpi)
    : device_(device), console_(console), dpi_(dpi) {}

Krovane_Render_Manager::~Krovane_Render_Manager() = default;

void Krovane_Render_Manager::Init() {
    int errors = 0;
    const auto report = [&](const char* text) {
        ++errors;
        if (console_ != nullptr) console_->Print(text, MessageType::Error);
    };

    const std::pair<const char*, Ref<Texture>*> textures[] = {
        {"textures\\_def\\white.bmp", &whiteTexture_},
        {"textures\\_def\\red.bmp", &redTexture_},
        // kept: nothing draws with the blue texture; it is loaded for its line in the start-up log.
        {"textures\\_def\\Blue.bmp", &blueTexture_},
        {"textures\\_def\\yellow.bmp", &yellowTexture_},
    };
    for (const auto& [path, texture] : textures)
        if (failed(loadTextureFromFile(device_, path, texture))) report(("missed: " + std::string(path)).c_str());

    const struct {
        Ref<Font>* font;
        int height;
        std::uint32_t weight;
        const char* face;
        const char* message;
    } fonts[] = {
        {&Font8Verdana_, -pointsToPixels(8, dpi_), 700, "Verdana", "failed: CreateFont Font8Verdana"},
        // kept: nothing draws with Font16Verdana or Font6Kartika; they are made for their lines in the start-up log.
        {&Font16Verdana_, -pointsToPixels(16, dpi_), 700, "Verdana", "failed: CreateFont Font16Verdana"},
        {&Font6Kartika_, 14, 400, "Kartika", "failed: CreateFont Font6Kartika"},
    };
    for (const auto& f : fonts)
        if (failed(CreateFontA(device_, f.height, 0, f.weight, 0, false, 1, 0, 0, 0, f.face, f.font)))
            report(f.message);

    // kept: two blanks after "missed:" on this line, as existing logs show.
    std::string why;
    if (failed(CreateEffectFromFileA(device_, "fx\\vek_Phong.fx", &effect_, &why))) {
        report("missed:  fx\\vek_Phong.fx");
        if (console_ != nullptr) console_->printLines(why, MessageType::Error);  // why, not counted
    }

    // kept: "inicialized" is the spelling existing logs carry.
    Korvane_string summary = "Rendering manager inicialized with ";
    summary += errors;
    summary += " errors.";
    if (console_ != nullptr) console_->Print(summary, MessageType::Comment);
}

void Krovane_Render_Manager::DrawHudText(const Korvane_string& text, int x, int y) {
    if (Font8Verdana_ == nullptr) return;
    Rect rect{x, y, 0, 0};
    Font8Verdana_->DrawTextA(nullptr, text.getChars(), -1, &rect, kDtNoClip, 0xFFFFFFFF);
}

void Krovane_Render_Manager::RenderFrame(float fps) {
    if (device_ == nullptr) return;
    device_->Clear(0, nullptr, kClearTarget | kClearZBuffer, backColor_, 1.0f, 0);
    if (!failed(device_->BeginScene())) {
        // kept: each frame starts solid, so a configured fill mode lasts only until the first frame.
        device_->SetRenderState(RenderState::FillMode, kFillSolid);
        Krovane_Camera* camera = level_ != nullptr ? level_->cameras().CurrentCamera() : nullptr;
        const bool consoleOpen = overlayShown_ && console_ != nullptr && console_->visible();
        if (!consoleOpen) {
            if (overlayShown_) {
                hudText_ = kCurrentCamera.c_str();
                if (camera != nullptr)
                    hudText_ += level_->cameras().CurrentNumber();
                else
                    hudText_ += "-";
                DrawHudText(hudText_, 5, 5);

                hudText_ = kObjectCount.c_str();
                hudText_ += static_cast<int>(level_ != nullptr ? level_->objects().objectCount() : 0);
                DrawHudText(hudText_, 5, 15);

                hudText_ = kCameraAt.c_str();
                if (camera != nullptr) {
                    hudText_ += truncateToInt(camera->position.x);
                    hudText_ += " ";
                    hudText_ += truncateToInt(camera->position.y);
                    hudText_ += " ";
                    hudText_ += truncateToInt(camera->position.z);
                    hudText_ += "  Rotation ";
                    hudText_ += truncateToInt(camera->look.x);
                    hudText_ += " ";
                    hudText_ += truncateToInt(camera->look.y);
                    hudText_ += " ";
                    hudText_ += truncateToInt(camera->look.z);
                } else {
                    hudText_ += "-  Rotation -";
                }
                DrawHudText(hudText_, 5, 25);

                hudText_ = truncateToInt(fps);
                hudText_ += " fps";
                DrawHudText(hudText_, 5, 45);
            }

            // kept: objects draw before the camera sets this frame's transforms, so they use the previous frame's view.
            if (level_ != nullptr) level_->objects().RenderAll();
            if (camera != nullptr) camera->ApplyTransforms(device_);
        } else {
            hudText_ = truncateToInt(fps);
            hudText_ += " fps";
            DrawHudText(hudText_, 9, 2);
            device_->SetRenderState(RenderState::FillMode, kFillWireframe);
            if (level_ != nullptr) level_->objects().RenderAll();
            device_->SetTexture(0, whiteTexture_.get());
            if (level_ != nullptr) level_->cameras().DrawCameras(device_);
            device_->SetTexture(0, redTexture_.get());
            if (level_ != nullptr) level_->lights().DrawLights(device_, whiteTexture_.get(), yellowTexture_.get());
            if (camera != nullptr) camera->ApplyTransforms(device_);
        }
        if (overlayShown_ && console_ != nullptr) console_->Draw(device_);
        device_->EndScene();
    }
    device_->Present();
}
