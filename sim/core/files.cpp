#include "core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vkt::sim {
namespace {

// Closes a file descriptor when the reading ends, however it ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads exactly `content.size()` bytes, or fails if the file ends early or
// cannot be read.
bool read_all(int fd, std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Writes all of `content`, or fails.
bool write_all(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool is_regular(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::string> read_regular_file(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    if (!read_all(file.get(), content)) return std::nullopt;
    return content;
}

bool write_regular_file(const std::string& path, const std::string& content) {
    // Checked before truncating: a device must not be touched at all.
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (file.get() < 0 || !is_regular(file.get())) return false;
    if (::ftruncate(file.get(), 0) != 0) return false;
    return write_all(file.get(), content);
}

}  // namespace vkt::sim
