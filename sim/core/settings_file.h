// Settings files: the text files of "Name = value" lines in which the
// simulated boards (TK560 Save/Load) and cameras (grabber camera files) keep
// their settings. One reader serves them all, so every such file follows the
// same rules:
//
// - UTF-8 text (a byte-order mark at its start is passed over), one setting
//   per line: `Name = value`. Blanks (spaces, tabs) around the name and the
//   value do not count, nor does the CR of a CR LF line end.
// - Blank lines, and lines whose first non-blank character is '#', are
//   comments. A '#' anywhere else belongs to the value, so that a text can
//   hold one.
// - `[Name]` on a line of its own is a section header. A camera file begins
//   with its model's ("[KTX21]"); board files have none.
// - Values are numbers (decimal, or hexadecimal after 0x, either with an
//   optional sign) or texts: bare, taken as they stand, or in double quotes
//   with the escapes \\ \" \n \r \t and \xHH.
// - Problems name the file, and the line where there is one:
//   "<path> line <n>: <problem>". A whole file is read and checked before
//   any of it is used, so a file is applied entirely or not at all.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vkt::sim {

// One line that is neither blank nor a comment.
struct SettingsLine {
    int number = 0;          // its line number in the file, from 1
    bool section = false;    // a "[Name]" header: `name` is what the brackets hold
    std::string name;
    std::string value;       // as written, without the blanks around it
};

// A settings file that could not be read or is not sound; `unreadable` tells
// the one from the other (the library's FileError and FormatError).
struct SettingsFileError : std::runtime_error {
    SettingsFileError(bool cannot_read, const std::string& problem)
        : std::runtime_error(problem), unreadable(cannot_read) {}
    bool unreadable;
};

// Throws the library's exception for `op`: FileError for a file that cannot
// be read or written, FormatError for one that is not sound.
[[noreturn]] void fail_with(const SettingsFileError& error, const char* op);

class SettingsFile {
public:
    // Reads and checks the whole file at `path` (UTF-8); `kind` names such
    // files in problems ("camera file"). Throws SettingsFileError.
    SettingsFile(const std::string& path, const std::string& kind);

    const std::string& path() const { return path_; }
    const std::vector<SettingsLine>& lines() const { return lines_; }

    // A problem with one line, as the file's reader found it.
    [[noreturn]] void refuse(const SettingsLine& line, const std::string& problem) const;
    // A problem with the file as a whole (a header it lacks, say).
    [[noreturn]] void refuse(const std::string& problem) const;

private:
    std::string path_;
    std::vector<SettingsLine> lines_;
};

// The value of a setting read as a number or a text; nothing when it is not one.
std::optional<long long> settings_number(const std::string& value);
std::optional<std::string> settings_text(const std::string& value);

// A text as settings files keep it: in double quotes, with escapes.
std::string settings_quoted(const std::string& text);

// Writes `content` as the whole file at `path`; SettingsFileError (unreadable)
// when it cannot.
void write_settings_file(const std::string& path, const std::string& kind,
                         const std::string& content);

}  // namespace vkt::sim
