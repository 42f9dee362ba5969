#include "platform/file_io.h"

#include <fcntl.h>     // open
#include <sys/stat.h>  // fstat
#include <unistd.h>    // read, write, fsync, close, getpid

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>  // std::rename
#include <cstring>

namespace krovane::platform {

namespace {

// Closes a descriptor on every path out of a function.
struct FileDescriptor {
    int fd;
    explicit FileDescriptor(int f) : fd(f) {}
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
};

// Writes all of `content`, going on after interruptions.
bool writeAll(int fd, std::string_view content) {
    for (std::size_t written = 0; written < content.size();) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool fileStamp(const std::filesystem::path& path, FileStamp& stamp) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.changed = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return true;
}

ReadStatus readWholeFile(const std::filesystem::path& path, std::string& out, std::uint64_t maxBytes) {
    out.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    // Not there (or a folder on the way is not one) is missing; there but not to be opened is a read failure.
    if (file.fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::ReadFailed;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || S_ISDIR(info.st_mode)) return ReadStatus::ReadFailed;
    std::size_t expected = 0;
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > maxBytes) return ReadStatus::TooLarge;
        expected = static_cast<std::size_t>(info.st_size);
    }
    // Read straight into the string, sized from the file. Read on until the
    // end rather than trusting the size: special files report 0 and a file
    // may grow while it is read.
    std::size_t used = 0;
    out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(expected, maxBytes)));
    for (;;) {
        ssize_t n;
        if (used < out.size()) {
            n = ::read(file.fd, out.data() + used, out.size() - used);
        } else {
            // Full: a small read tells the end from more data without growing first.
            char more[4096];
            n = ::read(file.fd, more, sizeof more);
            if (n > 0) {
                if (used + static_cast<std::size_t>(n) > maxBytes) {
                    out.clear();
                    out.shrink_to_fit();
                    return ReadStatus::TooLarge;
                }
                out.resize(static_cast<std::size_t>(
                    std::min<std::uint64_t>(maxBytes, std::max<std::uint64_t>(out.size() * 2, used + sizeof more))));
                std::memcpy(out.data() + used, more, static_cast<std::size_t>(n));
            }
        }
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return ReadStatus::ReadFailed;
        }
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return ReadStatus::Ok;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = path;
    temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    {
        FileDescriptor file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file.fd < 0) return false;
        if (!writeAll(file.fd, content) || ::fsync(file.fd) != 0) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

NewFile writeNewFile(const std::filesystem::path& path, std::string_view content) {
    // O_EXCL also refuses a name held by a link, even one to nothing.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
    const bool written = writeAll(fd, content);
    const int writeError = errno;
    if (::close(fd) == 0 && written) return NewFile::Written;
    const int error = written ? errno : writeError;
    ::unlink(path.c_str());  // the file made here, half written
    errno = error;
    return NewFile::Failed;
}

std::filesystem::path writeToFreeName(const std::filesystem::path& stem, std::string_view extension,
                                      std::string_view content) {
    constexpr unsigned kMostNames = 100000;
    for (unsigned n = 1; n <= kMostNames; ++n) {
        std::filesystem::path path = stem;
        path += (n == 1 ? std::string() : "_" + std::to_string(n)) + std::string(extension);
        switch (writeNewFile(path, content)) {
            case NewFile::Written:
                return path;
            case NewFile::Exists:
                continue;
            case NewFile::Failed:
                return {};
        }
    }
    return {};
}

}  // namespace krovane::platform
