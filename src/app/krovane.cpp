#include "app/krovane.h"

#include "gfx/gl_device.h"
#include "params/korvane_c_ini_reader.h"

DynamicRow Krovane::LoadIniParameters(const char* file) {
    DynamicRow result;
    result.fresh();
    Korvane_cIniReader reader;
    result = reader.LoadIni(file);
    // The copy is for people to read; a missing folder only means no copy.
    result.iSaveToFile(kLoadedParametersPath);
    return result;
}

void Krovane::ReadRenderSettings(const DynamicRow* config) {
    backColor = kDefaultBackColor;
    multisampleType = 0;
    fillMode = kDefaultFillMode;
    multisampleAntialias = 0;
    if (config == nullptr) return;

    // The values of `key` when it has exactly `count` of them, else null.
    int values[3];
    auto read = [&](const char* key, unsigned count) {
        const unsigned id = config->iLookId(key);
        if (id == 0 || config->iCountParams(id) != count) return false;
        unsigned v = config->TopId(id);
        for (unsigned i = 0; i < count; ++i, v = config->NextId(v)) values[i] = config->iLookName(v).toInt();
        return true;
    };
    if (read("BACK_RENDERER_COLOR", 3)) {
        // The alpha byte is 1; the window ignores it.
        backColor = 0x01000000u + (static_cast<std::uint32_t>(values[0]) & 0xFF) * 0x10000u +
                    (static_cast<std::uint32_t>(values[1]) & 0xFF) * 0x100u +
                    (static_cast<std::uint32_t>(values[2]) & 0xFF);
    }
    if (read("MULTISAMPLE_TYPE", 1)) multisampleType = static_cast<std::uint16_t>(values[0]);
    if (read("MULTISAMPLEANTIALIAS", 1) && (values[0] == 0 || values[0] == 1))
        multisampleAntialias = static_cast<std::uint8_t>(values[0]);
    if (read("FILLMODE", 1) && values[0] >= 1 && values[0] <= 3) fillMode = static_cast<std::uint16_t>(values[0]);
}

Krovane::~Krovane() { Shutdown(); }

krovane::gfx::Result Krovane::InitDevice(krovane::platform::Window& window, std::string& error) {
    krovane::gfx::Device* device = nullptr;
    const krovane::gfx::Result result = krovane::gfx::createGlDevice(window, multisampleType, &device, error);
    if (krovane::gfx::failed(result)) return result;
    adoptDevice(device);
    return krovane::gfx::kOk;
}

void Krovane::adoptDevice(krovane::gfx::Device* device) {
    using namespace krovane::gfx;
    if (device_) device_->Release();
    device_ = device;
    shutDown_ = false;
    device_->SetRenderState(RenderState::ZEnable, 1);
    device_->SetRenderState(RenderState::AntialiasedLineEnable, 1);
    device_->SetRenderState(RenderState::FillMode, fillMode);
    device_->SetRenderState(RenderState::MultisampleAntialias, multisampleAntialias);
    device_->SetRenderState(RenderState::Ambient, 0xFFFFFFFF);
    device_->SetRenderState(RenderState::CullMode, kCullForceDword);
    device_->SetSamplerState(0, SamplerState::MinFilter, kFilterAnisotropic);
    device_->SetSamplerState(0, SamplerState::MagFilter, kFilterAnisotropic);
    device_->SetSamplerState(0, SamplerState::MipFilter, kFilterAnisotropic);
    device_->SetRenderState(RenderState::Lighting, 1);
}

void Krovane::Initialize() {
    shutDown_ = false;
    console_ = std::make_unique<Krovane_Console>(&device_);
}

void Krovane::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (console_) console_->SaveLog(kLogFile);
    if (device_) {
        device_->Release();
        device_ = nullptr;
    }
    console_.reset();
}
