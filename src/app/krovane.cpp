#include "app/krovane.h"

#include "gfx/gl_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "params/korvane_c_ini_reader.h"
#include "scene/level_section.h"

using krovane::params::TreeLoadError;
using namespace krovane::scene;

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
    maxAnisotropy = 1;
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
    if (read("ANISOTROPY", 1) && values[0] >= 1) maxAnisotropy = static_cast<std::uint32_t>(values[0]);
}

Krovane::~Krovane() { Shutdown(); }

krovane::gfx::Result Krovane::InitDevice(krovane::platform::Window& window, std::string& error) {
    krovane::gfx::Ref<krovane::gfx::Device> device;
    const krovane::gfx::Result result = krovane::gfx::createGlDevice(window, multisampleType, &device, error);
    if (krovane::gfx::failed(result)) return result;
    adoptDevice(std::move(device));
    return krovane::gfx::kOk;
}

void Krovane::adoptDevice(krovane::gfx::Ref<krovane::gfx::Device> device) {
    using namespace krovane::gfx;
    device_ = std::move(device);
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
    // Only asked for: the device starts at 1, which makes those filters trilinear.
    if (maxAnisotropy != 1) device_->SetSamplerState(0, SamplerState::MaxAnisotropy, maxAnisotropy);
    device_->SetRenderState(RenderState::Lighting, 1);
}

void Krovane::reportUnread(const DynamicRow& tree, bool missingToo) {
    const TreeLoadError& error = tree.lastLoadError();
    if (error.kind == TreeLoadError::Kind::Malformed) {
        console_->Print(Korvane_string(std::string_view(error.describe())), MessageType::Error);
    } else if (missingToo && error.kind != TreeLoadError::Kind::None) {
        const char* why = error.kind == TreeLoadError::Kind::Missing ? ": no such file" : ": cannot be read";
        console_->Print(Korvane_string(std::string_view(error.file + why)), MessageType::Error);
    }
}

void Krovane::Initialize(int dpi) {
    using krovane::gfx::failed;
    shutDown_ = false;
    console_ = std::make_unique<Krovane_Console>();
    if (errorsOnStderr) console_->log().copyErrorsTo(&stderrCopy_);
    reporter_.attach(console_.get());
    reportUnread(console_->commandBase());
    baseMatrix_ = krovane::gfx::kIdentityMatrix;
    cameraManager_ = std::make_unique<Krovane_Camera_Manager>(*console_);
    effectManager_ = std::make_unique<Krovane_Effect_Manager>(device_.get(), *console_, *cameraManager_);
    lightManager_ = std::make_unique<Krovane_Light_Manager>(*console_);
    objectManager_ = std::make_unique<Krovane_Object_Manager>(&baseMatrix_, device_.get(), *console_,
                                                              effectManager_.get(), lightManager_.get());
    commandQueue_ = std::make_unique<Krovane_Command_Queue>(cameraManager_.get(), objectManager_.get());
    renderManager_ = std::make_unique<Krovane_Render_Manager>(device_.get(), cameraManager_.get(), objectManager_.get(),
                                                              console_.get(), lightManager_.get(), dpi);

    console_->Print("[>>>] Initializing rendering manager : ", MessageType::System);
    renderManager_->Init();
    renderManager_->setBackColor(backColor);
    // Enter in the console queues the typed line.
    console_->setCommandQueue(commandQueue_.get());

    console_->Print("[>>>] Loading level : POLYGON01", MessageType::System);
    // Read once for every manager: a level of many objects is a large file.
    const DynamicRow level = readLevel(kLevelFile);
    reportUnread(level, true);
    loadStages(level, *lightManager_, *objectManager_, *cameraManager_, *effectManager_);

    // kept: the render manager loaded these already; loading again repeats its "missed:" lines, as logs show.
    const char* const paths[] = {"textures\\_def\\white.bmp", "textures\\_def\\red.bmp", "textures\\_def\\Blue.bmp"};
    for (std::size_t i = 0; i < defaultTextures_.size(); ++i)
        if (failed(krovane::gfx::loadTextureFromFile(device_.get(), paths[i], &defaultTextures_[i])))
            console_->Print(("missed: " + std::string(paths[i])).c_str(), MessageType::Error);
}

void Krovane::loadStages(const DynamicRow& level, Krovane_Light_Manager& lights, Krovane_Object_Manager& objects,
                         Krovane_Camera_Manager& cameras, Krovane_Effect_Manager& effects) {
    objects.keepSources(keepSources);
    // kept: the trailing blanks of these headings and closing lines are in every existing log.
    console_->Print("[>>>] Loading Lights : ", MessageType::System);
    lights.setupFromTree(level);
    console_->Print("[i] Light Manager setup completed. ", MessageType::Comment);
    console_->Print("[>>>] Loading Objects : ", MessageType::System);
    objects.LoadObjects(&level);
    console_->Print("[>>>] Loading cameras : ", MessageType::System);
    cameras.LoadCameras(level);
    console_->Print("[i] Camera Manager setup completed. ", MessageType::Comment);
    console_->Print("[>>>] Loading effects : ", MessageType::System);
    effects.setupFromTree(level);
    console_->Print("[i] Effect Manager setup completed. ", MessageType::Comment);
}

bool Krovane::reloadLevel(const Korvane_string& named) {
    if (!console_ || shutDown_) return false;
    const DynamicRow level = readLevel(kLevelFile);
    if (level.lastLoadError().kind != TreeLoadError::Kind::None) {
        // Half written, or between a delete and a write: what is shown stays.
        reportUnread(level, true);
        console_->Print(addedLine(kNotReloadedLine, named), MessageType::Error);
        return false;
    }
    console_->Print("[>>>] Loading level : POLYGON01", MessageType::System);
    auto cameras = std::make_unique<Krovane_Camera_Manager>(*console_);
    auto effects = std::make_unique<Krovane_Effect_Manager>(device_.get(), *console_, *cameras);
    auto lights = std::make_unique<Krovane_Light_Manager>(*console_);
    auto objects =
        std::make_unique<Krovane_Object_Manager>(&baseMatrix_, device_.get(), *console_, effects.get(), lights.get());
    loadStages(level, *lights, *objects, *cameras, *effects);
    cameras->SelectCamera(cameraManager_->CurrentNumber());  // else camera 1, as at start

    commandQueue_->setManagers(cameras.get(), objects.get());
    renderManager_->setScene(cameras.get(), objects.get(), lights.get());
    // The old objects first: they hold the old effects and lights.
    std::swap(objectManager_, objects);
    objects.reset();
    std::swap(cameraManager_, cameras);
    std::swap(lightManager_, lights);
    std::swap(effectManager_, effects);
    console_->Print(addedLine(kReloadedLine, named), MessageType::Comment);
    return true;
}

void Krovane::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (console_) console_->SaveLog(kLogFile);
    reporter_.attach(nullptr);
    for (auto& texture : defaultTextures_) texture.reset();
    cameraManager_.reset();
    objectManager_.reset();
    console_.reset();
    renderManager_.reset();
    lightManager_.reset();
    effectManager_.reset();
    commandQueue_.reset();
    // Last: the managers borrow the device. Resources made on it hold it too,
    // so it (and the GL context) goes with whichever is released last.
    device_.reset();
}
