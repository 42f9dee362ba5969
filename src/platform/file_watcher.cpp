// The file watcher: inotify where the system has it, else one that reports nothing.
#include "platform/file_watcher.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/code_page_1251.h"
#include "platform/reporter.h"

#if defined(__linux__) && __has_include(<sys/inotify.h>)
#define KROVANE_HAS_INOTIFY 1
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace krovane::platform {

namespace {

#ifdef KROVANE_HAS_INOTIFY

class InotifyWatcher final : public FileWatcher {
public:
    explicit InotifyWatcher(int fd) : fd_(fd) {}
    ~InotifyWatcher() override { ::close(fd_); }

    bool watchFolders(const std::vector<std::filesystem::path>& folders) override {
        // Dropped first: a watch given up sends one last event (IN_IGNORED), known by now as none of ours.
        for (auto it = folders_.begin(); it != folders_.end();) {
            if (std::find(folders.begin(), folders.end(), it->second) == folders.end()) {
                ::inotify_rm_watch(fd_, it->first);
                it = folders_.erase(it);
            } else {
                ++it;
            }
        }
        bool all = true;
        for (const std::filesystem::path& folder : folders) {
            // The same folder again gives the same watch.
            const int wd = ::inotify_add_watch(fd_, folder.c_str(), kMask);
            if (wd < 0) {
                all = false;
                reportUnwatched(folder, errno);
                continue;
            }
            folders_[wd] = folder;
        }
        return all;
    }

    void poll(Changes& into) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // EAGAIN: nothing more
            for (ssize_t at = 0; at < n;) {
                inotify_event event;
                std::memcpy(&event, buffer_ + at, sizeof event);
                const char* name = buffer_ + at + sizeof event;
                at += static_cast<ssize_t>(sizeof event + event.len);
                if (event.mask & IN_Q_OVERFLOW) {
                    into.lost = true;
                    continue;
                }
                const auto folder = folders_.find(event.wd);
                if (folder == folders_.end()) continue;  // a watch given up
                if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    // The folder went away: its files may come back under another folder of that name.
                    into.lost = true;
                    if (event.mask & IN_IGNORED) folders_.erase(folder);
                    continue;
                }
                // Events about the folder itself carry no name.
                if (event.len == 0 || name[0] == '\0' || (event.mask & IN_ISDIR)) continue;
                into.files.push_back(folder->second / name);
            }
        }
    }

private:
    // Reports once per folder that it is not watched and why; the
    // folders are given again after every reload, the line is not.
    void reportUnwatched(const std::filesystem::path& folder, int error) {
        if (std::find(unwatched_.begin(), unwatched_.end(), folder) != unwatched_.end()) return;
        unwatched_.push_back(folder);
        // ENOSPC here is the per-user limit of watches, not a full disk.
        const char* reason = error == ENOSPC ? "the limit of inotify watches, fs.inotify.max_user_watches, is reached"
                                             : std::strerror(error);
        report(ReportKind::Reason, utf8ToCp1251Lossy("watch: cannot watch " + folder.string() + " (" + reason +
                                                     "); changes there are not seen"));
    }

    // Written and closed, moved in, times or permissions changed; the folder itself going away.
    static constexpr std::uint32_t kMask =
        IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    int fd_;
    std::unordered_map<int, std::filesystem::path> folders_;  // by watch descriptor
    std::vector<std::filesystem::path> unwatched_;            // reported as not watched
    // Room for many events per read; each is a header and a name of at most NAME_MAX + 1 bytes.
    alignas(inotify_event) char buffer_[64 * 1024];
};

#endif

}  // namespace

std::unique_ptr<FileWatcher> FileWatcher::create(std::string& error) {
#ifdef KROVANE_HAS_INOTIFY
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0) return std::make_unique<InotifyWatcher>(fd);
    error = std::string("inotify: ") + std::strerror(errno);
#else
    error = "this system offers no file watching";
#endif
    return nullptr;
}

}  // namespace krovane::platform
