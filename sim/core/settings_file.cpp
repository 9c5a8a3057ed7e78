// The one reader (and writer) of the simulated library's settings files.
#include "core/settings_file.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "core/files.h"
#include "core/state.h"

namespace vkt::sim {
namespace {

// Editors on some systems begin UTF-8 files with it.
const std::string kByteOrderMark = "\xEF\xBB\xBF";

std::string trim(const std::string& text) {
    const char* blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool is_section(const std::string& content) {
    return content.size() >= 2 && content.front() == '[' && content.back() == ']';
}

// The form of one line that is neither blank nor a comment; the problem, if
// it has none of the forms.
std::string parse_line(const std::string& content, SettingsLine& line) {
    if (is_section(content)) {
        line.section = true;
        line.name = trim(content.substr(1, content.size() - 2));
        return line.name.empty() ? "a section header needs a name" : "";
    }
    const auto equals = content.find('=');
    if (equals == std::string::npos) return "expected 'Name = value'";
    line.name = trim(content.substr(0, equals));
    line.value = trim(content.substr(equals + 1));
    return line.name.empty() ? "a setting needs a name before '='" : "";
}

bool all_digits(const std::string& text, std::size_t from, int base) {
    if (from >= text.size()) return false;
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (base == 16 ? !std::isxdigit(c) : !std::isdigit(c)) return false;
    }
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The character an escape stands for, after the backslash at raw[i]; moves
// i to the escape's last character. Nothing for an escape that is not one.
std::optional<char> unescape(const std::string& raw, std::size_t& i, std::size_t end) {
    if (++i >= end) return std::nullopt;
    switch (raw[i]) {
        case '\\': return '\\';
        case '"': return '"';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'x': {
            if (i + 2 >= end) return std::nullopt;
            const int high = hex_digit(raw[i + 1]), low = hex_digit(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            i += 2;
            return static_cast<char>(high * 16 + low);
        }
        default: return std::nullopt;
    }
}

}  // namespace

void fail_with(const SettingsFileError& error, const char* op) {
    fail(error.unreadable ? ExStatus::FileError : ExStatus::FormatError, op, error.what());
}

SettingsFile::SettingsFile(const std::string& path, const std::string& kind) : path_(path) {
    // Only a regular file of sensible size is read: a folder, a device or a
    // pipe given as a settings file is a file error, never a wait or a huge
    // allocation.
    const std::optional<std::string> content = read_regular_file(path);
    if (!content) throw SettingsFileError(true, "cannot open " + kind + " '" + path + "'");
    std::istringstream file(*content);
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (number == 1 && text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
            text.erase(0, kByteOrderMark.size());
        }
        const std::string content = trim(text);
        if (content.empty() || content.front() == '#') continue;
        SettingsLine line;
        line.number = number;
        const std::string problem = parse_line(content, line);
        if (!problem.empty()) refuse(line, problem);
        lines_.push_back(std::move(line));
    }
    if (file.bad()) throw SettingsFileError(true, "cannot read " + kind + " '" + path + "'");
}

void SettingsFile::refuse(const SettingsLine& line, const std::string& problem) const {
    throw SettingsFileError(false, path_ + " line " + std::to_string(line.number) + ": " + problem);
}

void SettingsFile::refuse(const std::string& problem) const {
    throw SettingsFileError(false, path_ + ": " + problem);
}

std::optional<long long> settings_number(const std::string& value) {
    const std::size_t digits = value.empty() || (value[0] != '+' && value[0] != '-') ? 0 : 1;
    const bool hex = value.compare(digits, 2, "0x") == 0 || value.compare(digits, 2, "0X") == 0;
    if (!all_digits(value, hex ? digits + 2 : digits, hex ? 16 : 10)) return std::nullopt;
    errno = 0;
    const long long number = std::strtoll(value.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE) return std::nullopt;
    return number;
}

std::optional<std::string> settings_text(const std::string& value) {
    if (value.empty() || value.front() != '"') return value;
    if (value.size() < 2 || value.back() != '"') return std::nullopt;
    const std::size_t end = value.size() - 1;
    std::string text;
    for (std::size_t i = 1; i < end; ++i) {
        if (value[i] == '"') return std::nullopt;
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        const auto escaped = unescape(value, i, end);
        if (!escaped) return std::nullopt;
        text += *escaped;
    }
    return text;
}

std::string settings_quoted(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void write_settings_file(const std::string& path, const std::string& kind,
                         const std::string& content) {
    if (!write_regular_file(path, content)) {
        throw SettingsFileError(true, "cannot write " + kind + " '" + path + "'");
    }
}

}  // namespace vkt::sim
