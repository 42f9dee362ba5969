#include "app/krovane.h"

#include "gfx/gl_device.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "params/korvane_c_ini_reader.h"
#include "platform/path_resolver.h"
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

Krovane::Settings Krovane::readSettings(const std::filesystem::path& root) {
    Settings settings;
    krovane::platform::PathResolver::setRoot(root);
    settings.root = krovane::platform::PathResolver::root();
    settings.config = LoadIniParameters("ini.txt");
    ReadRenderSettings(&settings.config, settings);
    return settings;
}

void Krovane::ReadRenderSettings(const DynamicRow* config, Settings& settings) {
    settings.backColor = kDefaultBackColor;
    settings.multisampleType = 0;
    settings.fillMode = kDefaultFillMode;
    settings.multisampleAntialias = 0;
    settings.maxAnisotropy = 1;
    settings.multisampleInSoftware = true;
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
        settings.backColor = 0x01000000u + (static_cast<std::uint32_t>(values[0]) & 0xFF) * 0x10000u +
                             (static_cast<std::uint32_t>(values[1]) & 0xFF) * 0x100u +
                             (static_cast<std::uint32_t>(values[2]) & 0xFF);
    }
    if (read("MULTISAMPLE_TYPE", 1)) settings.multisampleType = static_cast<std::uint16_t>(values[0]);
    if (read("MULTISAMPLEANTIALIAS", 1) && (values[0] == 0 || values[0] == 1))
        settings.multisampleAntialias = static_cast<std::uint8_t>(values[0]);
    if (read("MULTISAMPLE_SOFTWARE", 1) && (values[0] == 0 || values[0] == 1))
        settings.multisampleInSoftware = values[0] == 1;
    if (read("FILLMODE", 1) && values[0] >= 1 && values[0] <= 3)
        settings.fillMode = static_cast<std::uint16_t>(values[0]);
    if (read("ANISOTROPY", 1) && values[0] >= 1) settings.maxAnisotropy = static_cast<std::uint32_t>(values[0]);
}

Krovane::~Krovane() { Shutdown(); }

krovane::gfx::Result Krovane::InitDevice(krovane::platform::Window& window, const Settings& settings,
                                         krovane::gfx::Ref<krovane::gfx::Device>* device, std::string& error) {
    return krovane::gfx::createGlDevice(window, settings.multisampleType, device, error,
                                        settings.multisampleInSoftware);
}

void Krovane::setFixedStates(krovane::gfx::Device& device, const Settings& settings) {
    using namespace krovane::gfx;
    device.SetRenderState(RenderState::ZEnable, 1);
    device.SetRenderState(RenderState::AntialiasedLineEnable, 1);
    device.SetRenderState(RenderState::FillMode, settings.fillMode);
    device.SetRenderState(RenderState::MultisampleAntialias, settings.multisampleAntialias);
    device.SetRenderState(RenderState::Ambient, 0xFFFFFFFF);
    device.SetRenderState(RenderState::CullMode, kCullForceDword);
    device.SetSamplerState(0, SamplerState::MinFilter, kFilterAnisotropic);
    device.SetSamplerState(0, SamplerState::MagFilter, kFilterAnisotropic);
    device.SetSamplerState(0, SamplerState::MipFilter, kFilterAnisotropic);
    // Only asked for: the device starts at 1, which makes those filters trilinear.
    if (settings.maxAnisotropy != 1) device.SetSamplerState(0, SamplerState::MaxAnisotropy, settings.maxAnisotropy);
    device.SetRenderState(RenderState::Lighting, 1);
}

void Krovane::setRoot(const std::filesystem::path& root) {
    krovane::platform::PathResolver::setRoot(root);
}

const std::filesystem::path& Krovane::root() { return krovane::platform::PathResolver::root(); }

void Krovane::reportUnread(const DynamicRow& tree, bool missingToo) {
    const TreeLoadError& error = tree.lastLoadError();
    if (error.kind == TreeLoadError::Kind::Malformed) {
        console_->Print(Korvane_string(std::string_view(error.describe())), MessageType::Error);
    } else if (missingToo && error.kind != TreeLoadError::Kind::None) {
        const char* why = error.kind == TreeLoadError::Kind::Missing ? ": no such file" : ": cannot be read";
        console_->Print(Korvane_string(std::string_view(error.file + why)), MessageType::Error);
    }
}

void Krovane::Initialize(krovane::gfx::Ref<krovane::gfx::Device> device, const Settings& settings) {
    using krovane::gfx::failed;
    shutDown_ = false;
    setRoot(settings.root);
    keepSources_ = settings.keepSources;
    device_ = std::move(device);
    if (device_) setFixedStates(*device_, settings);
    console_ = std::make_unique<Krovane_Console>();
    if (settings.errorsOnStderr) console_->log().copyErrorsTo(&stderrCopy_);
    reporter_.attach(console_.get());
    reportUnread(console_->commandBase());
    level_ = newLevel();
    commandQueue_ = std::make_unique<Krovane_Command_Queue>(level_.get());
    renderManager_ = std::make_unique<Krovane_Render_Manager>(device_.get(), console_.get(), settings.dpi);
    renderManager_->setLevel(level_.get());

    console_->Print("[>>>] Initializing rendering manager : ", MessageType::System);
    renderManager_->Init();
    renderManager_->setBackColor(settings.backColor);
    // Enter in the console queues the typed line.
    console_->setCommandQueue(commandQueue_.get());

    console_->Print("[>>>] Loading level : POLYGON01", MessageType::System);
    // Read once for every manager: a level of many objects is a large file.
    const DynamicRow tree = readLevel(kLevelFile);
    reportUnread(tree, true);
    level_->load(tree);

    // kept: the render manager loaded these already; loading again repeats its "missed:" lines, as logs show.
    const char* const paths[] = {"textures\\_def\\white.bmp", "textures\\_def\\red.bmp", "textures\\_def\\Blue.bmp"};
    for (std::size_t i = 0; i < defaultTextures_.size(); ++i)
        if (failed(krovane::gfx::loadTextureFromFile(device_.get(), paths[i], &defaultTextures_[i])))
            console_->Print(("missed: " + std::string(paths[i])).c_str(), MessageType::Error);
}

void Krovane::Initialize(krovane::gfx::Ref<krovane::gfx::Device> device) { Initialize(std::move(device), Settings{}); }

std::unique_ptr<Level> Krovane::newLevel() {
    auto level = std::make_unique<Level>(device_.get(), *console_, keepSources_);
    if (parsedModel_) {
        level->objects().adoptModel(parsedModel_->enginePath.c_str(), std::move(parsedModel_->model),
                                    parsedModel_->stamp);
        parsedModel_.reset();
    }
    return level;
}

bool Krovane::reloadLevel(const Korvane_string& named) {
    if (!console_ || shutDown_) return false;
    const DynamicRow tree = readLevel(kLevelFile);
    if (tree.lastLoadError().kind != TreeLoadError::Kind::None) {
        // Half written, or between a delete and a write: what is shown stays.
        reportUnread(tree, true);
        console_->Print(addedLine(kNotReloadedLine, named), MessageType::Error);
        return false;
    }
    console_->Print("[>>>] Loading level : POLYGON01", MessageType::System);
    std::unique_ptr<Level> level = newLevel();
    level->load(tree);
    level->cameras().SelectCamera(level_->cameras().CurrentNumber());  // else camera 1, as at start
    commandQueue_->setLevel(level.get());
    renderManager_->setLevel(level.get());
    level_ = std::move(level);  // the old level goes, its objects first
    console_->Print(addedLine(kReloadedLine, named), MessageType::Comment);
    return true;
}

void Krovane::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (console_) console_->SaveLog(kLogFile);
    reporter_.attach(nullptr);
    for (auto& texture : defaultTextures_) texture.reset();
    if (renderManager_) renderManager_->setLevel(nullptr);
    level_.reset();
    console_.reset();
    renderManager_.reset();
    commandQueue_.reset();
    // Last: the level borrows the device. Resources made on it hold it too,
    // so it (and the GL context) goes with whichever is released last.
    device_.reset();
    // Engine paths are the running engine's: a later one, or a tool's own files, start from the current folder.
    krovane::platform::PathResolver::setRoot({});
}
