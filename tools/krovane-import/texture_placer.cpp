#include "texture_placer.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/code_page_1251.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace krovane::import {

namespace {

constexpr int kNamesTried = 1000;

bool holds(const fs::path& file, const std::string& bytes) {
    std::string there;
    return platform::readWholeFile(file, there, bytes.size()) == platform::ReadStatus::Ok && there == bytes;
}

}  // namespace

TexturePlacer::TexturePlacer(fs::path folder, std::string model)
    : folder_(std::move(folder)), model_(std::move(model)) {}

TexturePlacer::Outcome TexturePlacer::writeOnce(const fs::path& file, const std::string& bytes,
                                                std::string& why) const {
    // Nothing is replaced, not even by an import running beside this one.
    switch (platform::writeNewFile(file, bytes)) {
        case platform::NewFile::Written:
            return Outcome::Written;
        case platform::NewFile::Exists:
            return holds(file, bytes) ? Outcome::Same : Outcome::Taken;
        case platform::NewFile::Failed:
            break;
    }
    why = std::strerror(errno);
    return Outcome::Failed;
}

std::string TexturePlacer::place(const std::string& name, const std::string& bytes, const std::string& source,
                                 std::string& notes) {
    const std::string prefixed = name.starts_with(model_ + "_") ? name : model_ + "_" + name;
    const std::size_t dot = prefixed.rfind('.');
    const std::string stem = prefixed.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : prefixed.substr(dot);
    for (int k = 0; k < kNamesTried; ++k) {
        if (k == 1 && prefixed == name) continue;
        const std::string candidate = k == 0 ? name : k == 1 ? prefixed : stem + "_" + std::to_string(k) + extension;
        const fs::path file = folder_ / cp1251ToUtf8(candidate);
        std::string why;
        const Outcome outcome = writeOnce(file, bytes, why);
        if (outcome == Outcome::Taken) continue;
        if (outcome == Outcome::Failed) {
            notes += "cannot write the texture " + file.string() + ": " + why + "\n";
            return "";
        }
        if (k > 0)
            notes += "the texture " + source + " is named " + cp1251ToUtf8(candidate) + ": a different " +
                     cp1251ToUtf8(name) + " is already there\n";
        used_.insert(candidate);
        return candidate;
    }
    notes += "no free name for the texture " + source + " beside " + folder_.string() + "\n";
    return "";
}

}  // namespace krovane::import
