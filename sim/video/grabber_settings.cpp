// Settings of the simulated grabbers and their camera files.
#include "video/grabber_model.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>

#include "core/files.h"

namespace vkt::sim::grabber {

SettingTable::SettingTable(std::vector<SettingInfo> rows) : rows_(std::move(rows)) {
    for (std::size_t i = 0; i < rows_.size(); ++i) index_.emplace(rows_[i].name, i);  // first kept
}

const SettingInfo* SettingTable::find(const char* name) const {
    if (name == nullptr) return nullptr;
    auto found = index_.find(std::string_view(name));
    return found == index_.end() ? nullptr : &rows_[found->second];
}

// ---- values of one board --------------------------------------------------------

Settings::Settings(const Model& model) : model_(&model) {
    for (const SettingInfo& info : model.table.rows()) {
        numbers_.push_back(info.initial);
        texts_.emplace_back(info.initial_text != nullptr ? info.initial_text : "");
    }
}

const SettingTable& Settings::table() const { return model_->table; }

std::size_t Settings::index_of(const SettingInfo& info) const {
    return static_cast<std::size_t>(&info - table().rows().data());
}

long long Settings::number(const SettingInfo& info) const { return numbers_[index_of(info)]; }
const std::string& Settings::text(const SettingInfo& info) const { return texts_[index_of(info)]; }
long long Settings::number(const char* name) const { return number(info(name)); }

long long Settings::number_or(const char* name, long long fallback) const {
    const SettingInfo* row = find(name);
    return row != nullptr ? number(*row) : fallback;
}

std::string Settings::set_number(const SettingInfo& info, long long value) {
    if (value < info.min || value > info.max) {
        return std::string(info.name) + " " + std::to_string(value) + " is out of range " +
               std::to_string(info.min) + ".." + std::to_string(info.max);
    }
    numbers_[index_of(info)] = value;
    refresh_derived();
    return {};
}

void Settings::set_text(const SettingInfo& info, std::string value) {
    texts_[index_of(info)] = std::move(value);
}

void Settings::set_number_unchecked(const char* name, long long value) {
    if (const SettingInfo* row = find(name)) numbers_[index_of(*row)] = value;
}

int Settings::image_depth() const { return model_->sample_bits(*this) > 8 ? 16 : 8; }

void Settings::refresh_derived() { model_->derive(*this); }

// ---- the Camera Link models -----------------------------------------------------------

namespace camera_link {

void derive(Settings& settings) {
    settings.set_number_unchecked("ImageWidth", settings.number("Width"));
    settings.set_number_unchecked("ImageHeight", settings.number("Height"));
    settings.set_number_unchecked("ImageDepth", settings.image_depth());
}

int sample_bits(const Settings& settings) { return static_cast<int>(settings.number("BitWidth")); }

std::chrono::microseconds frame_period(const Settings& settings) {
    return std::chrono::microseconds(
        std::max(settings.number("TriggerCycleTime"), settings.number("ExposureTime")));
}

}  // namespace camera_link

// ---- camera files ------------------------------------------------------------------

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool parse_number(const std::string& text, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end != nullptr && *end == '\0';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A text value: either bare (taken as it stands) or in double quotes with
// the escapes \\ \" \n \r \t and \xHH, which is how texts are saved.
bool parse_text(const std::string& raw, std::string& value) {
    if (raw.empty() || raw.front() != '"') {
        value = raw;
        return true;
    }
    if (raw.size() < 2 || raw.back() != '"') return false;
    value.clear();
    for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
        char c = raw[i];
        if (c == '"') return false;
        if (c != '\\') { value += c; continue; }
        if (++i + 1 >= raw.size()) return false;
        switch (raw[i]) {
            case '\\': value += '\\'; break;
            case '"': value += '"'; break;
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'x': {
                if (i + 3 >= raw.size()) return false;
                int high = hex_digit(raw[i + 1]), low = hex_digit(raw[i + 2]);
                if (high < 0 || low < 0) return false;
                value += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string quote(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        if (c == '\\' || c == '"') { out += '\\'; out += static_cast<char>(c); }
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7f) {
            static const char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Applies one "Name = value" line; returns the problem, if any.
std::string apply_line(const std::string& line, Settings& settings) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) return "expected 'Name = value'";
    const std::string name = trim(line.substr(0, equals));
    const std::string raw = trim(line.substr(equals + 1));
    const SettingInfo* info = settings.find(name.c_str());
    if (info == nullptr) return "'" + name + "' is not a " + settings.model().name + " setting";
    if (!info->writable) return "'" + name + "' is read-only";
    if (info->kind == Kind::Text) {
        std::string value;
        if (!parse_text(raw, value)) return "malformed text for " + name;
        settings.set_text(*info, std::move(value));
        return {};
    }
    long long value = 0;
    if (!parse_number(raw, value)) return "'" + raw + "' is not a number for " + name;
    return settings.set_number(*info, value);
}

}  // namespace

FileProblem read_camera_file(const std::string& path, Settings& settings) {
    const Model& model = settings.model();
    const std::string header_line = std::string("[") + model.name + "]";
    const std::optional<std::string> content = read_regular_file(path);
    if (!content) return FileProblem{true, "cannot open camera file '" + path + "'"};
    std::istringstream file(*content);
    Settings loaded = settings;
    bool header = false;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        std::string problem;
        if (!header) {
            header = content == header_line;
            if (!header) problem = "expected the header " + header_line;
        } else {
            problem = apply_line(content, loaded);
        }
        if (!problem.empty()) {
            return FileProblem{false, path + " line " + std::to_string(number) + ": " + problem};
        }
    }
    if (!header) {
        return FileProblem{false, path + ": not a " + model.name + " camera file (no " +
                                      header_line + " header)"};
    }
    settings = loaded;
    return {};
}

std::string write_camera_file(const std::string& path, const Settings& settings) {
    const Model& model = settings.model();
    std::ostringstream out;
    out << "# " << model.name << " camera file\n[" << model.name << "]\n";
    for (const SettingInfo& info : settings.table().rows()) {
        if (!info.writable) continue;
        out << info.name << " = ";
        if (info.kind == Kind::Text) out << quote(settings.text(info));
        else out << settings.number(info);
        out << '\n';
    }
    if (!write_regular_file(path, out.str())) return "cannot write camera file '" + path + "'";
    return {};
}

}  // namespace vkt::sim::grabber
