#include "core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Moves `size` bytes in as many steps as it takes, `step(done)` moving the
// next ones and answering how many; fails if a step moves none.
template <class Step>
bool move_all(std::size_t size, Step step) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

// Appends what `fd` holds up to its end to `content`; false on a read
// error or once more than kMaxFileBytes have been read.
bool read_to_end(int fd, std::string& content) {
    constexpr std::size_t kChunk = 64u << 10;
    for (;;) {
        const std::size_t done = content.size();
        const std::size_t room = std::min(kChunk, kMaxFileBytes + 1 - done);
        content.resize(done + room);
        const ssize_t moved = ::read(fd, content.data() + done, room);
        if (moved < 0 && errno == EINTR) {
            content.resize(done);
            continue;
        }
        if (moved < 0) return false;
        content.resize(done + static_cast<std::size_t>(moved));
        if (moved == 0) return true;
        if (content.size() > kMaxFileBytes) return false;
    }
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
    // The size is only a hint: a file the kernel makes up as it is read
    // (/proc, /sys) reports 0 and has content, and a file may grow while it
    // is read. What is read decides, up to the end of the file; the cap is
    // counted in bytes read, so such a file cannot make us read without end.
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    return read_to_end(file.get(), content) ? std::optional<std::string>(std::move(content))
                                            : std::nullopt;
}

bool write_regular_file(const std::string& path, const std::string& content) {
    // Checked before truncating: a device must not be touched at all.
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (file.get() < 0 || !is_regular(file.get())) return false;
    if (::ftruncate(file.get(), 0) != 0) return false;
    return move_all(content.size(), [&](std::size_t done) {
        return ::write(file.get(), content.data() + done, content.size() - done);
    });
}

}  // namespace vkt::sim
