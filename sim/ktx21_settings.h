// Settings of a simulated KTX21 board: the table of every setting the board
// knows (kind, access, power-on value, range), the values of one board, and
// the camera files that carry them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "grabber_model.h"

namespace vkt::sim::ktx21 {

// The KTX21 setting called `name` exactly, or null.
const SettingInfo* find_setting(const char* name);
const std::vector<SettingInfo>& setting_table();

// The values of one board, one per row of its model's table.
class Settings {
public:
    explicit Settings(const Model& model);   // power-on values

    const Model& model() const { return *model_; }
    // The setting of this board's model called `name`, or null.
    const SettingInfo* find(const char* name) const { return model_->find(name); }

    long long number(const SettingInfo& info) const;
    const std::string& text(const SettingInfo& info) const;
    long long number(const char* name) const;   // name must be in the table

    // Store a value; an empty result means success, otherwise the problem.
    std::string set_number(const SettingInfo& info, long long value);
    void set_text(const SettingInfo& info, std::string value);
    void set_number_unchecked(const char* name, long long value);

    // Read-only values that follow others (image size and depth).
    void refresh_derived();

    // Bits per sample of the images the camera fills (8 or 16).
    int image_depth() const;

private:
    std::size_t index_of(const SettingInfo& info) const;
    const Model* model_;
    std::vector<long long> numbers_;
    std::vector<std::string> texts_;
};

// Camera files: the model's header ("[KTX21]") then "Name = value" lines,
// '#' comments. Reading
// fills `settings` only when the whole file is sound; otherwise it is left
// alone and the problem is returned. Paths are UTF-8.
struct FileProblem {
    bool missing = false;    // the file could not be opened
    std::string text;        // empty: no problem
};

FileProblem read_camera_file(const std::string& path, Settings& settings);
std::string write_camera_file(const std::string& path, const Settings& settings);

// A wide path as UTF-8; false if it holds no valid code points.
bool utf8_path(const wchar_t* path, std::string& result);

}  // namespace vkt::sim::ktx21
