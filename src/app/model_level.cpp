#include "app/model_level.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/model_import.h"
#include "app/model_level_writer.h"
#include "formats/x_model.h"
#include "log/log.h"
#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "platform/programs.h"

namespace fs = std::filesystem;
using krovane::gfx::Vector3;

namespace krovane::app {

namespace {

// The files taken from the installed data (or the source tree's demo/).
// (The render manager loads vek_Phong.fx whatever the level draws through.)
constexpr const char* kDataFiles[] = {"fx/krovane_model.fx",
                                      "fx/vek_Phong.fx",
                                      "textures/_def/def.bmp",
                                      "textures/_def/white.bmp",
                                      "textures/_def/red.bmp",
                                      "textures/_def/Blue.bmp",
                                      "textures/_def/yellow.bmp",
                                      "mouse.cur",
                                      "GlobalCommandBase.DR"};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

fs::path ModelLevel::dataFolder() {
    std::error_code ec;
    const fs::path program = krovane::platform::runningProgram();
    if (!program.empty()) {
        const fs::path installed = program.parent_path() / KROVANE_INSTALLED_DEMO_FROM_BIN;
        if (fs::is_regular_file(installed / kDataFiles[0], ec)) return installed.lexically_normal();
    }
    if (fs::is_regular_file(fs::path(KROVANE_SOURCE_DEMO_DIR) / kDataFiles[0], ec)) return KROVANE_SOURCE_DEMO_DIR;
    return {};
}

ModelLevel::Framing ModelLevel::frame(const Vector3& low, const Vector3& high) {
    Framing framing;
    const Vector3 centre = (low + high) * 0.5f;
    const Vector3 half = (high - low) * 0.5f;
    // Half the diagonal, measured in units of its largest side so that its
    // square neither overflows nor vanishes.
    const float side = std::max({std::abs(half.x), std::abs(half.y), std::abs(half.z)});
    const Vector3 unit = side > 0.0f ? half * (1.0f / side) : Vector3{};
    const float radius = side * std::sqrt(krovane::gfx::dot(unit, unit));
    if (!std::isfinite(radius) || !std::isfinite(centre.x + centre.y + centre.z)) return framing;
    if (radius > 0.0f && std::isfinite(kRadius / radius)) framing.scale = kRadius / radius;
    framing.position = centre * -framing.scale;
    return framing;
}

bool ModelLevel::isModelFile(const fs::path& path) {
    const std::string extension = lower(path.extension().string());
    for (const char* known : {".x", ".gltf", ".glb", ".obj", ".fbx", ".dae"})
        if (extension == known) return true;
    return false;
}

ModelLevel::Framing ModelLevel::readModel(const fs::path& file, const std::string& enginePath) {
    modelFailure_.clear();
    parsed_.reset();
    ParsedModel parsed{enginePath, {}, {}};
    // Stamped before it is read: a file changed meanwhile is read again by whoever is handed it.
    krovane::platform::fileStamp(file, parsed.stamp);
    if (!krovane::formats::loadXModelFile(file, file.string(), parsed.model, modelFailure_)) return {};
    const std::vector<krovane::formats::XVertex>& vertices = parsed.model.vertices;
    Framing framing;
    if (vertices.empty()) {
        modelFailure_ = file.string() + ": the model has no vertices";
    } else {
        Vector3 low, high;
        low = high = {vertices[0].position[0], vertices[0].position[1], vertices[0].position[2]};
        for (const krovane::formats::XVertex& v : vertices) {
            low = {std::min(low.x, v.position[0]), std::min(low.y, v.position[1]), std::min(low.z, v.position[2])};
            high = {std::max(high.x, v.position[0]), std::max(high.y, v.position[1]), std::max(high.z, v.position[2])};
        }
        framing = frame(low, high);
    }
    // Kept even when empty: the engine makes of it what it would make of the file.
    parsed_ = std::move(parsed);
    return framing;
}

std::optional<ModelLevel::ParsedModel> ModelLevel::takeParsedModel() {
    std::optional<ParsedModel> taken = std::move(parsed_);
    parsed_.reset();
    return taken;
}

bool ModelLevel::writeLevel(const fs::path& folder, const std::string& modelPath, const Framing& framing,
                            const std::string& about, std::string& error) {
    return ModelLevelWriter::write(folder, modelPath, framing, about, error);
}

std::string ModelLevel::linkModel(const fs::path& model) {
    // The model's folder is linked, so that the textures beside it are found there.
    std::error_code ec;
    fs::remove(folder_ / "source", ec);
    fs::create_directory_symlink(model.parent_path(), folder_ / "source", ec);
    std::string name;
    if (!ec && krovane::utf8ToCp1251(model.filename().string(), name)) return "source\\" + name;
    // A name the engine's code page cannot spell: a link to the file alone.
    fs::remove(folder_ / "model.x", ec);
    fs::create_symlink(model, folder_ / "model.x", ec);
    return "model.x";
}

bool ModelLevel::fill(const fs::path& model, const fs::path& data, const char* program, std::string& error) {
    std::error_code ec;
    // Copied where missing, or where the installed file is newer.
    for (const char* file : kDataFiles) {
        fs::create_directories((folder_ / file).parent_path(), ec);
        fs::copy_file(data / file, folder_ / file, fs::copy_options::update_existing, ec);
    }
    const bool importing = lower(model.extension().string()) != ".x";
    const std::string stamp = ModelCache::stampOf(model);
    made_ = !ModelCache::stamped(folder_, stamp) || !fs::is_regular_file(folder_ / "POLYGON01", ec) ||
            (importing && !fs::is_regular_file(folder_ / "models" / "model.x", ec));
    if (!made_) return true;
    ModelCache::setStamp(folder_, "");
    importFailure_.clear();
    if (importing) ModelImport::run(model, folder_, program, importFailure_);
    const std::string modelPath = importing ? ModelImport::kEnginePath : linkModel(model);
    const Framing framing = readModel(importing ? folder_ / "models" / "model.x" : model, modelPath);
    if (!writeLevel(folder_, modelPath, framing, model.string(), error)) return false;
    if (importFailure_.empty()) ModelCache::setStamp(folder_, stamp);
    return true;
}

ModelLevel::~ModelLevel() = default;

bool ModelLevel::prepare(const fs::path& model, const char* program, std::string& error) {
    made_ = false;
    modelFailure_.clear();
    parsed_.reset();
    importFailure_.clear();
    const fs::path data = dataFolder();
    if (data.empty()) {
        error = "the shipped effect and textures are not installed (share/krovane/demo)";
        return false;
    }
    std::error_code ec;
    folder_ = ModelCache::cachedFolder(model);
    if (!folder_.empty() && !fs::create_directories(folder_, ec) && ec) folder_.clear();
    if (folder_.empty() || !fill(model, data, program, error)) {
        // No cache, or one that cannot be written (a sandbox): a folder of this run's own, removed on exit.
        folder_ = cache_.temporaryFolder(program, error);
        if (folder_.empty() || !fill(model, data, program, error)) return false;
    }
    if (announced_ != folder_)
        std::fprintf(stderr, "%s: the level made for %s, and its LOG.dr, are in %s%s\n", program,
                     model.string().c_str(), folder_.string().c_str(),
                     folder_ == cache_.temporary() ? " (removed on exit: no cache to keep it in)" : "");
    announced_ = folder_;
    return true;
}

void ModelLevel::report(krovane::log::Log& log) const {
    if (importFailure_.empty()) return;
    log.Print(Korvane_string(std::string_view("[I.F] " + krovane::utf8ToCp1251Lossy(importFailure_))),
              MessageType::Error);
}

}  // namespace krovane::app
