// krovane-import: converts a model from today's modelling tools (glTF 2.0
// .gltf and .glb, OBJ, FBX, COLLADA .dae) into a .x file the engine loads,
// optionally at another size, with its textures beside it and its skins and
// animations as the engine's skins and animation sets: binary, which loads
// fastest, or text for people with --text.
//
//   krovane-import [--scale S | --fit SIZE] [--text] [--force] MODEL OUT.x
//
// The conversion (model_conversion.h) runs in a child process with a memory
// limit: a damaged file that makes the import library crash, hang or take
// gigabytes fails with one line naming the file and the reason, exit 1. The
// .x written is read back with the engine's own loader before it takes the
// name OUT.x. An OUT.x that is there is replaced only with --force; texture
// files beside it never are (texture_placer.h). Bad arguments: the usage,
// exit 2.
//
// KROVANE_IMPORT_MEMORY_MB sets another memory limit for the child (tests
// use a tiny one).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/x_model.h"
#include "model_conversion.h"
#include "platform/child_process.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: krovane-import [--scale S | --fit SIZE] [--text] [--force] MODEL OUT.x\n"
    "       krovane-import --help | --version\n"
    "Converts a glTF 2.0 (.gltf, .glb), OBJ, FBX or COLLADA (.dae) model into a binary .x file\n"
    "for the engine, and writes its textures beside OUT.x. Skins and animations come with it.\n"
    "  --scale S    multiply every coordinate by S (above 0)\n"
    "  --fit SIZE   scale the model so that the largest side of its bounds is SIZE units\n"
    "  --text       write the .x as text, for people to read\n"
    "  --force      replace OUT.x when it is there (without it, the import is refused)\n"
    "A texture never replaces a different file of its name: it is named after OUT.x instead\n"
    "(OUT_wood.png), and the same file already there is used as it is.\n"
    "Normals a mesh lacks are made smooth across edges where its faces meet at less than\n"
    "60 degrees; sharper edges stay hard.\n";
static_assert(krovane::import::kCreaseDegrees == 60, "the usage names the crease angle");
constexpr unsigned kTimeoutSeconds = 120;
constexpr std::size_t kMemoryLimitMiB = 4096;

int refuse(const std::string& why) {
    std::fprintf(stderr, "krovane-import: %s\n%s", why.c_str(), kUsage);
    return 2;
}

int fail(const std::string& file, const std::string& why) {
    std::string line = why;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::fprintf(stderr, "krovane-import: %s: %s\n", file.c_str(), line.c_str());
    return 1;
}

bool positiveNumber(std::string_view text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) && value > 0;
}

std::size_t memoryLimitMiB() {
    const char* set = std::getenv("KROVANE_IMPORT_MEMORY_MB");
    std::size_t mib = 0;
    if (set != nullptr) std::from_chars(set, set + std::string_view(set).size(), mib);
    return mib > 0 && mib < (std::size_t{1} << 30) ? mib : kMemoryLimitMiB;
}

// Makes the file the .x is written to before it takes its name, under a name
// no file has, so that none is replaced; empty when the folder takes none.
fs::path reservePart(const fs::path& outPath, std::string& why) {
    for (int k = 0; k < 100; ++k) {
        const fs::path part = outPath.string() + (k == 0 ? "" : "." + std::to_string(k)) + ".part";
        const krovane::platform::NewFile made = krovane::platform::writeNewFile(part, "");
        if (made == krovane::platform::NewFile::Written) return part;
        if (made == krovane::platform::NewFile::Failed) {
            why = std::generic_category().message(errno);
            return {};
        }
    }
    why = "no free name for the file it is written to first";
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    krovane::import::Conversion job;
    bool force = false, scaled = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;  // for the options that take one
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("krovane-import %s\n", KROVANE_VERSION);
            return 0;
        }
        if (arg == "--force") {
            force = true;
        } else if (arg == "--text") {
            job.text = true;
        } else if (arg == "--scale") {
            if (!hasValue || !positiveNumber(argv[++i], job.scale)) return refuse("--scale takes a number above 0");
            scaled = true;
        } else if (arg == "--fit") {
            if (!hasValue || !positiveNumber(argv[++i], job.fitSize)) return refuse("--fit takes a size above 0");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return refuse("unknown option " + std::string(arg));
        } else {
            files.emplace_back(arg);
        }
    }
    if (scaled && job.fitSize > 0) return refuse("--scale and --fit do not go together: --fit sets the scale");
    if (files.size() != 2) return refuse("give the model and the .x file to write");
    job.model = files[0];
    job.outPath = files[1];
    const std::string& model = job.model;
    const std::string out = job.outPath.string();
    const fs::path outDir = job.outPath.parent_path().empty() ? fs::path(".") : job.outPath.parent_path();

    std::error_code ec;
    if (fs::is_directory(model, ec)) return fail(model, "a folder, not a model file");
    if (!fs::is_regular_file(model, ec)) return fail(model, "no such file");
    if (std::FILE* readable = std::fopen(model.c_str(), "rb"))
        std::fclose(readable);
    else
        return fail(model, "cannot read it: " + std::generic_category().message(errno));
    if (!fs::is_directory(outDir, ec))
        return fail(out, fs::exists(outDir, ec) ? outDir.string() + " is not a folder"
                                                : "the folder " + outDir.string() + " is not there");
    if (fs::is_directory(job.outPath, ec)) return fail(out, "a folder is there");
    if (!force && fs::exists(fs::symlink_status(job.outPath, ec)))
        return fail(out, "already there; --force replaces it");
    std::string why;
    job.partPath = reservePart(job.outPath, why);
    if (job.partPath.empty()) return fail(out, "cannot write in " + outDir.string() + ": " + why);

    const std::size_t limitMiB = memoryLimitMiB();
    const krovane::platform::ChildOutcome outcome = krovane::platform::runInChildProcess(
        [&](std::string& report) { return krovane::import::convertModel(job, report); }, kTimeoutSeconds,
        limitMiB << 20);
    const auto dropPart = [&] { fs::remove(job.partPath, ec); };
    if (outcome.outOfMemory) {
        dropPart();
        return fail(model, "the import ran out of memory (the limit is " + std::to_string(limitMiB) + " MiB)");
    }
    if (!outcome.finished || outcome.exitCode != 0) {
        dropPart();
        return fail(model, outcome.finished ? outcome.report : "the import library " + outcome.fault);
    }

    // Read back with the engine's loader before it takes the name.
    std::string bytes, error;
    krovane::formats::XModel check;
    const krovane::platform::ReadStatus read =
        krovane::platform::readWholeFile(job.partPath, bytes, krovane::formats::kXMaxFileBytes);
    if (read != krovane::platform::ReadStatus::Ok)
        error = read == krovane::platform::ReadStatus::TooLarge
                    ? "larger than " + std::to_string(krovane::formats::kXMaxFileBytes >> 20) +
                          " MiB, the most a model may be"
                    : "cannot read it back";
    if (read != krovane::platform::ReadStatus::Ok ||
        !krovane::formats::parseXModel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), check,
                                       error)) {
        dropPart();
        return fail(model, "the .x made from it does not load: " + error);
    }
    if (!force && fs::exists(fs::symlink_status(job.outPath, ec))) {  // made while the import ran
        dropPart();
        return fail(out, "already there; --force replaces it");
    }
    fs::rename(job.partPath, job.outPath, ec);
    if (ec) {
        const std::string reason = ec.message();
        dropPart();
        return fail(out, "cannot write it: " + reason);
    }
    const std::size_t lineEnd = outcome.report.find('\n');
    std::printf("krovane-import: wrote %s: %s\n", out.c_str(), outcome.report.substr(0, lineEnd).c_str());
    for (std::size_t at = lineEnd; at != std::string::npos && at + 1 < outcome.report.size();) {
        const std::size_t end = outcome.report.find('\n', at + 1);
        std::fprintf(stderr, "krovane-import: %s\n", outcome.report.substr(at + 1, end - at - 1).c_str());
        at = end;
    }
    return 0;
}
