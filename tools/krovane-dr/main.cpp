// krovane-dr: checks, shows and converts parameter-tree files (.DR files,
// levels, object files, LOG.dr).
//
//   krovane-dr check FILE              exit 0 when FILE reads, else the error with line and column, exit 1
//   krovane-dr dump [--utf8] FILE      an indented outline with ids and kinds
//   krovane-dr to-json FILE            the tree as JSON on stdout
//   krovane-dr from-json FILE OUT      writes the tree the JSON FILE describes to OUT
//
// Paths are the operating system's, taken as given. Messages go to stderr.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "params/dynamic_row.h"
#include "params/tree_text_format.h"
#include "params/tree_walk.h"
#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "tree_json.h"

namespace {

constexpr const char* kUsage =
    "usage: krovane-dr check FILE\n"
    "       krovane-dr dump [--utf8] FILE\n"
    "       krovane-dr to-json FILE\n"
    "       krovane-dr from-json FILE OUT\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// The dump is written whenever this much of it has piled up.
constexpr std::size_t kDumpChunkBytes = std::size_t{1} << 20;

void writeOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool load(DynamicRow& tree, const char* file) {
    if (tree.loadFromPath(file, file)) return true;
    std::fprintf(stderr, "krovane-dr: %s\n", tree.lastLoadError().describe().c_str());
    return false;
}

int check(const char* file) {
    DynamicRow tree;
    if (!load(tree, file)) return 1;
    std::printf("%s: ok, %u nodes\n", file, tree.nodeCount());
    return 0;
}

int dump(const char* file, bool utf8) {
    DynamicRow tree;
    if (!load(tree, file)) return 1;
    std::string out, text;
    const auto enter = [&](unsigned id, unsigned depth) {
        // Indentation stops growing at 40 levels, as in tree files.
        out.append(static_cast<std::size_t>(depth < 40 ? depth : 40) * 2, ' ');
        out += std::to_string(id);
        out += tree.isKnot(id) ? " knot  " : " param ";
        text.clear();
        krovane::params::TreeTextFormat::writeText(tree.text(id), text);
        out += utf8 ? krovane::cp1251ToUtf8(text) : text;
        out += '\n';
        // Written in pieces, so that memory does not grow with the outline.
        if (out.size() >= kDumpChunkBytes) {
            writeOut(out);
            out.clear();
        }
        return true;
    };
    krovane::params::walkTree(tree, enter, [](unsigned, unsigned) {});
    writeOut(out);
    return 0;
}

int toJson(const char* file) {
    DynamicRow tree;
    if (!load(tree, file)) return 1;
    std::string out;
    krovane::tools::TreeJson::write(tree, out, true);
    out += '\n';
    writeOut(out);
    return 0;
}

int fromJson(const char* file, const char* outFile) {
    std::string json;
    using krovane::platform::ReadStatus;
    switch (krovane::platform::readWholeFile(file, json, DynamicRow::kMaxFileBytes)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::Missing:
            std::fprintf(stderr, "krovane-dr: %s: cannot open the file\n", file);
            return 1;
        case ReadStatus::TooLarge:
            std::fprintf(stderr, "krovane-dr: %s: the file is larger than the 1 GiB limit\n", file);
            return 1;
        default:
            std::fprintf(stderr, "krovane-dr: %s: cannot read the file\n", file);
            return 1;
    }
    DynamicRow tree;
    std::string error;
    if (!krovane::tools::TreeJson::read(json, tree, error)) {
        std::fprintf(stderr, "krovane-dr: %s: %s\n", file, error.c_str());
        return 1;
    }
    if (!tree.saveToPath(outFile)) {
        std::fprintf(stderr, "krovane-dr: %s: cannot write the file (does its folder exist?)\n", outFile);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    if (command == "check" && argc == 3) return check(argv[2]);
    if (command == "dump" && argc == 3) return dump(argv[2], false);
    if (command == "dump" && argc == 4 && std::strcmp(argv[2], "--utf8") == 0) return dump(argv[3], true);
    if (command == "to-json" && argc == 3) return toJson(argv[2]);
    if (command == "from-json" && argc == 4) return fromJson(argv[2], argv[3]);
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return usage();
}
