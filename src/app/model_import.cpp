// Running krovane-import for a model level, and what it says when it fails.
#include "app/model_import.h"

#include <cstdio>
#include <random>

#include "platform/programs.h"

namespace fs = std::filesystem;

namespace krovane::app {

namespace {

// The last line a tool wrote that says something.
std::string lastLine(const std::string& output) {
    const std::size_t end = output.find_last_not_of(" \n\r");
    if (end == std::string::npos) return "";
    const std::size_t newline = output.rfind('\n', end);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    return output.substr(start, end + 1 - start);
}

}  // namespace

fs::path ModelImport::tool() {
    std::error_code ec;
    const fs::path program = krovane::platform::runningProgram();
    for (const fs::path& folder :
         {program.empty() ? fs::path() : program.parent_path(), fs::path(KROVANE_BUILD_TOOLS_DIR)})
        if (!folder.empty() && fs::is_regular_file(folder / "krovane-import", ec)) return folder / "krovane-import";
    return "krovane-import";
}

bool ModelImport::run(const fs::path& model, const fs::path& folder, const char* program, std::string& failure) {
    // Into a fresh folder that then takes the place of the old copy: the
    // import never meets the files of an earlier one.
    std::error_code ec;
    const fs::path staging = folder / ("import-" + std::to_string(std::random_device()()));
    fs::remove_all(staging, ec);
    fs::create_directories(staging, ec);
    const fs::path tool = ModelImport::tool();
    std::fprintf(stderr, "%s: importing %s with %s\n", program, model.string().c_str(), tool.string().c_str());
    const krovane::platform::ProgramOutcome outcome =
        krovane::platform::runProgram(tool, {model.string(), (staging / "model.x").string()});
    std::fputs(outcome.output.c_str(), stderr);
    fs::remove_all(folder / "models", ec);
    const bool imported = outcome.started && outcome.exitCode == 0;
    if (imported) {
        fs::rename(staging, folder / "models", ec);
    } else {
        failure = lastLine(outcome.output);
        if (failure.empty()) failure = tool.string() + " failed";
    }
    fs::remove_all(staging, ec);
    return imported;
}

}  // namespace krovane::app
