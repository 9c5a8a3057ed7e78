// Settings of a simulated grabber: the table of every setting a model knows (kind, access, power-on value, range), the values of one
// board, and the camera files that carry them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vkt::sim::grabber {

enum class Kind { Int32, UInt32, Text };

struct SettingInfo {
    const char* name;
    Kind kind;
    bool writable;
    long long initial;          // numbers
    long long min;
    long long max;
    const char* initial_text;   // texts
};

// Row builders for the models' tables: read-only and writable numbers
// (with the range the board accepts), 0/1 flags, texts, the unsigned one.
namespace rows {

constexpr long long kIntMin = -2147483648LL;
constexpr long long kIntMax = 2147483647LL;

inline SettingInfo ro(const char* name, long long value) {
    return {name, Kind::Int32, false, value, kIntMin, kIntMax, nullptr};
}

inline SettingInfo rw(const char* name, long long value, long long min = kIntMin,
                      long long max = kIntMax) {
    return {name, Kind::Int32, true, value, min, max, nullptr};
}

inline SettingInfo flag(const char* name, long long value = 0) { return rw(name, value, 0, 1); }

inline SettingInfo text(const char* name, bool writable, const char* value) {
    return {name, Kind::Text, writable, 0, 0, 0, value};
}

inline SettingInfo unsigned_setting(const char* name) {
    return {name, Kind::UInt32, true, 0, 0, 4294967295LL, nullptr};
}

}  // namespace rows

// Every setting of one grabber model.
class SettingTable {
public:
    explicit SettingTable(std::vector<SettingInfo> rows);

    // The setting called `name` exactly (the first row of that name), or
    // null. Found by hash, so every row costs the same to reach.
    const SettingInfo* find(const char* name) const;
    const std::vector<SettingInfo>& rows() const { return rows_; }

private:
    std::vector<SettingInfo> rows_;
    // Row numbers by name; the names are the rows' own constant texts.
    std::unordered_map<std::string_view, std::size_t> index_;
};

struct Model;

// The values of one board, one per table row.
class Settings {
public:
    explicit Settings(const Model& model);   // power-on values

    const Model& model() const { return *model_; }
    const SettingTable& table() const;
    const SettingInfo* find(const char* name) const { return table().find(name); }
    // The row of a setting the caller knows the model has.
    const SettingInfo& info(const char* name) const { return *table().find(name); }

    long long number(const SettingInfo& info) const;
    const std::string& text(const SettingInfo& info) const;
    long long number(const char* name) const;   // name must be in the table
    // A setting some models lack: `fallback` where the model has none.
    long long number_or(const char* name, long long fallback) const;

    // Store a value; an empty result means success, otherwise the problem.
    std::string set_number(const SettingInfo& info, long long value);
    void set_text(const SettingInfo& info, std::string value);
    // Board-owned values (identity, status); ignored where the model lacks them.
    void set_number_unchecked(const char* name, long long value);

    // Read-only values that follow others (the model's derive).
    void refresh_derived();

    // Bits per sample of the images the camera fills (8 or 16).
    int image_depth() const;

private:
    std::size_t index_of(const SettingInfo& info) const;
    const Model* model_;
    std::vector<long long> numbers_;
    std::vector<std::string> texts_;
};

// Camera files: settings files (core/settings_file.h) whose first line is the
// model's header ("[KTX21]"), followed by its writable settings. Reading
// fills `settings` only when the whole file is sound; otherwise it is left
// alone and the problem is returned. Paths are UTF-8.
struct FileProblem {
    bool missing = false;    // the file could not be opened
    std::string text;        // empty: no problem
};

FileProblem read_camera_file(const std::string& path, Settings& settings);
std::string write_camera_file(const std::string& path, const Settings& settings);

}  // namespace vkt::sim::grabber
