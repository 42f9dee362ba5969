#include "params/korvane_c_ini_reader.h"

#include <string>

#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/path_resolver.h"

namespace {
// A configuration is a few lines; anything past this is not one.
constexpr std::uint64_t kMaxIniBytes = std::uint64_t{64} << 20;
}  // namespace

DynamicRow Korvane_cIniReader::LoadIni(Korvane_string file) {
    DynamicRow tree;
    const unsigned top = tree.AddToId(0, true, kRootName.view());

    std::string content;
    using krovane::platform::ReadStatus;
    const ReadStatus status =
        krovane::platform::readWholeFile(krovane::platform::PathResolver::resolve(file.view()), content, kMaxIniBytes);
    if (status != ReadStatus::Ok) {
        Korvane_string message = "| File loading failed! |";
        message += file;
        message += " | ";
        krovane::platform::MessageBox::show("ERROR", message.view());
        return tree;
    }

    readSettings(content, tree, top);
    return tree;
}

void Korvane_cIniReader::readSettings(std::string_view content, DynamicRow& tree, unsigned parent) {
    std::string_view rest = content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        // A text ends at a NUL byte, as everywhere in the engine.
        line = line.substr(0, line.find('\0'));
        std::string_view key, values;
        if (!krovane::params::splitSettingLine(line, key, values)) continue;
        const unsigned knot = tree.AddToId(parent, true, key);
        if (knot != 0) tree.AddToIdSeparated(knot, values, ',');
    }
}
