// Finding what a path names, and opening it at start or in place of the level shown.
#include "app/level_opener.h"

#include <system_error>

#include "app/krovane.h"
#include "platform/cache_folder.h"
#include "platform/code_page_1251.h"
#include "scene/file_source.h"
#include "scene/level_section.h"

namespace fs = std::filesystem;
using namespace krovane::scene;

namespace krovane::app {

namespace {

// A name of the system's (UTF-8) as the log writes it.
Korvane_string logName(const fs::path& path) {
    return Korvane_string(std::string_view(krovane::utf8ToCp1251Lossy(path.string())));
}

bool notReloaded(krovane::log::Log& log, const Korvane_string& named) {
    log.Print(addedLine(kNotReloadedLine, named), MessageType::Error);
    return false;
}

}  // namespace

bool LevelOpener::find(const std::string& given, Target& target, std::string& why) {
    std::error_code ec;
    const fs::path path = fs::absolute(given, ec);
    target = Target{};
    if (fs::is_directory(path, ec)) {
        target.path = path;
        return true;
    }
    if (!fs::is_regular_file(path, ec)) {
        why = "no such folder or model: " + given;
        return false;
    }
    if (ModelLevel::isModelFile(path)) {
        target = {path, true};
        return true;
    }
    std::string name = path.filename().string();
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (name == Krovane::kLevelFile) {
        target.path = path.parent_path();
        return true;
    }
    why = std::string("not a level folder or a model (") + ModelLevel::kExtensions + "): " + given;
    return false;
}

bool LevelOpener::prepare(const Target& target, const char* program, std::string& error) {
    folder_ = target.path;
    if (!target.model) return true;
    auto model = std::make_unique<ModelLevel>();
    if (!model->prepare(target.path, program, error)) return false;
    folder_ = model->folder();
    model_ = std::move(model);
    modelFile_ = target.path;
    return true;
}

bool LevelOpener::loadModelLevel(Krovane& engine, ModelLevel& model, const fs::path& modelFile) {
    krovane::log::Log& log = *engine.console();
    const Korvane_string named = logName(modelFile);
    std::string why;
    if (!model.prepare(modelFile, "krovane", why)) {
        log.printUtf8(why, MessageType::Error);
        return notReloaded(log, named);
    }
    if (model.importFailed()) {
        model.report(log);
        return notReloaded(log, named);
    }
    if (!model.modelRead()) {
        log.Print(addedLine("[M.F] cannot find: ", named), MessageType::Error);
        log.printUtf8(model.modelFailure(), MessageType::Error);
        return notReloaded(log, named);
    }
    const fs::path before = engine.root();
    engine.setRoot(model.folder());
    engine.adoptModel(model.takeParsedModel());
    if (engine.reloadLevel(named)) return true;
    engine.setRoot(before);
    return false;
}

bool LevelOpener::openInPlace(Krovane& engine, const std::string& given) {
    krovane::log::Log& log = *engine.console();
    const Korvane_string named(std::string_view(krovane::utf8ToCp1251Lossy(given)));
    Target target;
    std::string why;
    if (!find(given, target, why)) {
        log.printUtf8(why, MessageType::Error);
        return notReloaded(log, named);
    }
    if (!target.model) {
        const fs::path before = engine.root();
        engine.setRoot(target.path);
        if (!engine.reloadLevel(named)) {
            engine.setRoot(before);
            return false;
        }
        model_.reset();
        modelFile_.clear();
        folder_ = target.path;
        return true;
    }
    auto model = std::make_unique<ModelLevel>();
    if (!loadModelLevel(engine, *model, target.path)) return false;
    folder_ = model->folder();
    model_ = std::move(model);  // the level shown before, and its temporary folder, go
    modelFile_ = target.path;
    return true;
}

fs::path LevelOpener::welcomeFolder(std::string& error) {
    const fs::path data = ModelLevel::dataFolder();
    if (data.empty()) {
        error = "the demo level is not installed";
        return {};
    }
    std::error_code ec;
    const auto copyTo = [&](const fs::path& folder) {
        ec.clear();
        fs::create_directories(folder, ec);
        if (!ec) fs::copy(data, folder, fs::copy_options::recursive | fs::copy_options::update_existing, ec);
        return !ec;
    };
    const fs::path cache = krovane::platform::cacheFolder();
    if (!cache.empty() && copyTo(cache / "welcome")) return cache / "welcome";
    const fs::path temporary = welcomeCache_.temporaryFolder("krovane", error);
    if (temporary.empty()) return {};
    if (copyTo(temporary)) return temporary;
    error = "cannot copy the demo level to " + temporary.string() + ": " + ec.message();
    return {};
}

}  // namespace krovane::app
