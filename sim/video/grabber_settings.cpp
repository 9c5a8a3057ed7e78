// Settings of the simulated grabbers and their camera files.
#include "video/grabber_model.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "core/settings_file.h"

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

const char* const kCameraFile = "camera file";

// Applies one "Name = value" line; returns the problem, if any.
std::string apply_setting(const SettingsLine& line, Settings& settings) {
    const std::string& name = line.name;
    const SettingInfo* info = settings.find(name.c_str());
    if (info == nullptr) return "'" + name + "' is not a " + settings.model().name + " setting";
    if (!info->writable) return "'" + name + "' is read-only";
    if (info->kind == Kind::Text) {
        auto text = settings_text(line.value);
        if (!text) return "malformed text for " + name;
        settings.set_text(*info, std::move(*text));
        return {};
    }
    const auto number = settings_number(line.value);
    if (!number) return "'" + line.value + "' is not a number for " + name;
    return settings.set_number(*info, *number);
}

// Reads the file into `settings`: its model's header first, then settings.
void apply_camera_file(const SettingsFile& file, Settings& settings) {
    const std::string model = settings.model().name;
    const auto& lines = file.lines();
    if (lines.empty()) {
        file.refuse("not a " + model + " camera file (no [" + model + "] header)");
    }
    if (!lines.front().section || lines.front().name != model) {
        file.refuse(lines.front(), "expected the header [" + model + "]");
    }
    for (auto line = lines.begin() + 1; line != lines.end(); ++line) {
        if (line->section) {
            file.refuse(*line, "a camera file has one header, its first line that is no comment");
        }
        const std::string problem = apply_setting(*line, settings);
        if (!problem.empty()) file.refuse(*line, problem);
    }
}

}  // namespace

FileProblem read_camera_file(const std::string& path, Settings& settings) {
    Settings loaded = settings;
    try {
        apply_camera_file(SettingsFile(path, kCameraFile), loaded);
    } catch (const SettingsFileError& error) {
        return FileProblem{error.unreadable, error.what()};
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
        if (info.kind == Kind::Text) out << settings_quoted(settings.text(info));
        else out << settings.number(info);
        out << '\n';
    }
    try {
        write_settings_file(path, kCameraFile, out.str());
    } catch (const SettingsFileError& error) {
        return error.what();
    }
    return {};
}

}  // namespace vkt::sim::grabber
