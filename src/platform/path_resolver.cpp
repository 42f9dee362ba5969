#include "platform/path_resolver.h"

#include <string>
#include <system_error>
#include <vector>

#include "platform/code_page_1251.h"

namespace fs = std::filesystem;

namespace krovane::platform {

namespace {

// A file name folded for case-insensitive comparison: as code page 1251 where
// the name converts, else its raw bytes; then letters lowered.
std::string foldName(std::string_view utf8Name) {
    std::string folded;
    if (!utf8ToCp1251(utf8Name, folded)) folded.assign(utf8Name);
    for (char& c : folded) c = cp1251ToLower(c);
    return folded;
}

fs::path& rootFolder() {
    static fs::path root;
    return root;
}

bool pathExists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec)) && !ec;
}

}  // namespace

void PathResolver::setRoot(const fs::path& root) {
    std::error_code ec;
    rootFolder() = root.empty() ? fs::path() : fs::absolute(root, ec);
    if (ec) rootFolder() = root;
}

const fs::path& PathResolver::root() { return rootFolder(); }

fs::path PathResolver::resolve(std::string_view enginePath) {
    std::string utf8 = cp1251ToUtf8(enginePath);
    for (char& c : utf8)
        if (c == '\\') c = '/';
    if (utf8.empty()) return fs::path();
    const fs::path& root = rootFolder();
    const bool fromRoot = !root.empty() && utf8.front() != '/';
    fs::path exact = fromRoot ? root / utf8 : fs::path(utf8);
    if (pathExists(exact)) return exact;

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        std::size_t slash = utf8.find('/', start);
        if (slash == std::string::npos) slash = utf8.size();
        if (slash > start) parts.emplace_back(utf8.substr(start, slash - start));
        start = slash + 1;
    }

    fs::path current = fromRoot ? root : utf8.front() == '/' ? fs::path("/") : fs::path();
    std::size_t i = 0;
    for (; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        fs::path candidate = current / part;
        if (part == "." || part == ".." || pathExists(candidate)) {
            current = std::move(candidate);
            continue;
        }
        const std::string wanted = foldName(part);
        bool found = false;
        std::error_code ec;
        for (fs::directory_iterator it(current.empty() ? fs::path(".") : current, ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (foldName(name) == wanted) {
                current /= name;
                found = true;
                break;
            }
        }
        if (!found) break;
    }
    for (; i < parts.size(); ++i) current /= parts[i];
    return current;
}

}  // namespace krovane::platform
