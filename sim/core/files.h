// Reading the small text files the simulated boards load (camera files,
// settings files, XML descriptions).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vkt::sim {

// The largest file the simulated library reads; anything a user would hand
// it as a settings file is far smaller.
constexpr std::size_t kMaxFileBytes = 16u << 20;

// The whole content of the regular file at `path`, or nothing when there is
// none to read: a missing or unreadable file, a folder, a device, a pipe (it
// is opened without waiting for a writer), or a file larger than
// kMaxFileBytes, counted in bytes read up to its end (a file in /proc reports
// size 0 and is still read whole). A file whose reported size is over the
// cap is refused before anything is allocated.
std::optional<std::string> read_regular_file(const std::string& path);

// Replaces the content of the file at `path` (made if missing) with
// `content`; false if that cannot be done or `path` is no regular file (a
// pipe without a reader is refused rather than waited for).
bool write_regular_file(const std::string& path, const std::string& content);

}  // namespace vkt::sim
