// FontChoiceCache: the face fontconfig chose for each font request, kept in
// a file of the machine's cache folder, so that a later start opens the same
// face without loading fontconfig's configuration and sorting every font.
//
// A choice is trusted only while nothing it depends on has changed, as
// fontconfig itself judges its configuration up to date: the file records the
// modification times of every configuration file and folder fontconfig read
// and of every font folder it scanned, subfolders included (a font installed
// or removed, even in a new subfolder, changes one of them), and each choice
// the stamp of its font file and the time of that file's folder. A file that
// is damaged, of another version or made under another configuration is
// ignored whole; a choice whose font changed is ignored.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>

namespace krovane::gfx {

struct FontChoice {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool oblique = false;
};

// Loads fontconfig's configuration, once a process, and hands it back at exit
// (so that leak checkers see none). False when it cannot be loaded.
bool loadFontconfig();

class FontChoiceCache {
public:
    // Reads the cache kept at `file`; an empty path keeps nothing.
    explicit FontChoiceCache(std::filesystem::path file);

    // The choice remembered for `request`, when it still holds.
    bool find(const std::string& request, FontChoice& choice) const;
    // Remembers a choice and writes the file again (a failure to write is
    // ignored). Takes fontconfig's configuration in use, loading it if need be.
    void store(const std::string& request, const FontChoice& choice);

    // What fontconfig's choices depend on, as one line (times of its
    // configuration and font folders); the file holds the one it was made under.
    static std::string configurationStamp();

private:
    struct Entry {
        FontChoice choice;
        std::string stamp;  // of the font file and its folder
    };
    static std::string fontStamp(const std::string& file);

    std::filesystem::path path_;
    std::string sources_;  // what fontconfig read, with times; made at the first store
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace krovane::gfx
