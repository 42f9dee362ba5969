#include "gfx/font_choice_cache.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace krovane::gfx {

namespace {

constexpr std::string_view kHeader = "krovane font choices 2";

// The modification time of a file or folder in nanoseconds, "-" when absent.
std::string timeOf(const std::filesystem::path& path) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(path, ec);
    return ec ? "-" : std::to_string(time.time_since_epoch().count());
}

std::string fromEnvironment(const char* name, const char* fallbackUnderHome) {
    if (const char* value = std::getenv(name); value != nullptr && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + fallbackUnderHome : std::string();
}

std::vector<std::string> split(std::string_view line, char separator) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(separator, start);
        parts.emplace_back(line.substr(start, end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// Every configuration file and folder fontconfig read and every font folder
// it scanned, subfolders included, each followed by its time:
// "sources\tPATH\tTIME...". These are what fontconfig checks to tell that its
// configuration is up to date. Empty when a path cannot be kept on the line.
std::string fontconfigSources() {
    FcConfig* config = loadFontconfig() ? FcConfigGetCurrent() : nullptr;
    if (config == nullptr) return {};
    std::string line = "sources";
    FcStrList* const lists[] = {FcConfigGetConfigFiles(config), FcConfigGetFontDirs(config)};
    bool keepable = lists[0] != nullptr && lists[1] != nullptr;
    for (FcStrList* list : lists) {
        if (list == nullptr) continue;
        while (const FcChar8* name = FcStrListNext(list)) {
            const std::string path = reinterpret_cast<const char*>(name);
            keepable = keepable && path.find_first_of("\t\n") == std::string::npos;
            line.append("\t").append(path).append("\t").append(timeOf(path));
        }
        FcStrListDone(list);
    }
    return keepable ? line : std::string();
}

// True when every path of a sources line still has the time it records.
bool sourcesUnchanged(const std::vector<std::string>& fields) {
    if (fields.size() < 3 || fields.size() % 2 != 1 || fields[0] != "sources") return false;
    for (std::size_t i = 1; i < fields.size(); i += 2)
        if (timeOf(fields[i]) != fields[i + 1]) return false;
    return true;
}

}  // namespace

bool loadFontconfig() {
    static std::once_flag loading;
    static bool loaded = false;
    std::call_once(loading, [] {
        loaded = FcInit() == FcTrue;
        if (loaded) std::atexit([] { FcFini(); });
    });
    return loaded;
}

std::string FontChoiceCache::configurationStamp() {
    const std::string dataHome = fromEnvironment("XDG_DATA_HOME", "/.local/share");
    const std::string configHome = fromEnvironment("XDG_CONFIG_HOME", "/.config");
    const char* home = std::getenv("HOME");
    const char* configFile = std::getenv("FONTCONFIG_FILE");
    const char* configPath = std::getenv("FONTCONFIG_PATH");
    std::string stamp;
    stamp.append(configFile ? configFile : "").append(";").append(configPath ? configPath : "");
    const std::filesystem::path places[] = {"/etc/fonts",
                                            "/etc/fonts/fonts.conf",
                                            "/etc/fonts/conf.d",
                                            "/usr/share/fonts",
                                            "/usr/local/share/fonts",
                                            std::filesystem::path(dataHome) / "fonts",
                                            std::filesystem::path(configHome) / "fontconfig",
                                            std::filesystem::path(configHome) / "fontconfig" / "fonts.conf",
                                            std::filesystem::path(home ? home : "/nonexistent") / ".fonts"};
    for (const auto& place : places) stamp.append(";").append(timeOf(place));
    return stamp;
}

std::string FontChoiceCache::fontStamp(const std::string& file) {
    platform::FileStamp stamp;
    if (!platform::fileStamp(file, stamp)) return {};
    return std::to_string(stamp.size) + "/" + std::to_string(stamp.modified) + "/" + std::to_string(stamp.inode) + "/" +
           std::to_string(stamp.changed) + "/" + timeOf(std::filesystem::path(file).parent_path());
}

FontChoiceCache::FontChoiceCache(std::filesystem::path file) : path_(std::move(file)) {
    std::string text;
    if (path_.empty() || platform::readWholeFile(path_, text, 1 << 20) != platform::ReadStatus::Ok) return;
    const std::vector<std::string> lines = split(text, '\n');
    if (lines.size() < 4 || lines[0] != kHeader || lines[1] != "config " + configurationStamp() ||
        !sourcesUnchanged(split(lines[2], '\t')) || !lines.back().empty())
        return;
    std::unordered_map<std::string, Entry> read;
    for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
        const std::vector<std::string> fields = split(lines[i], '\t');
        if (fields.size() != 6 || fields[1].empty() || fields[2].empty() ||
            fields[2].find_first_not_of("0123456789") != std::string::npos || fields[2].size() > 9 ||
            (fields[3] != "0" && fields[3] != "1") || (fields[4] != "0" && fields[4] != "1"))
            return;  // damaged: none of it is used
        read[fields[0]] =
            Entry{{fields[1], std::atoi(fields[2].c_str()), fields[3] == "1", fields[4] == "1"}, fields[5]};
    }
    entries_ = std::move(read);
}

bool FontChoiceCache::find(const std::string& request, FontChoice& choice) const {
    const auto found = entries_.find(request);
    if (found == entries_.end() || found->second.stamp != fontStamp(found->second.choice.file)) return false;
    choice = found->second.choice;
    return true;
}

void FontChoiceCache::store(const std::string& request, const FontChoice& choice) {
    if (path_.empty()) return;
    for (const std::string* text : {&request, &choice.file})
        if (text->find_first_of("\t\n") != std::string::npos) return;
    const std::string stamp = fontStamp(choice.file);
    if (stamp.empty()) return;
    if (sources_.empty()) sources_ = fontconfigSources();
    if (sources_.empty()) return;
    entries_[request] = Entry{choice, stamp};
    std::ostringstream out;
    out << kHeader << "\nconfig " << configurationStamp() << "\n" << sources_ << "\n";
    for (const auto& [key, entry] : entries_)
        out << key << '\t' << entry.choice.file << '\t' << entry.choice.index << '\t' << entry.choice.embolden << '\t'
            << entry.choice.oblique << '\t' << entry.stamp << '\n';
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    platform::writeFileAtomically(path_, out.str());
}

}  // namespace krovane::gfx
