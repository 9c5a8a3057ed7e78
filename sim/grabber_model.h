// What sets one simulated frame-grabber model apart from another.
//
// The simulated KTX21 device core (ktx21_device.h: settings, camera files,
// capture thread, waits and status) plays every grabber model; a Model tells
// it the model's settings table, how the camera's frames are timed and what
// they show. Features a model lacks (encoder, serial line) are never touched
// for its boards.
#pragma once

#include <chrono>
#include <cstring>
#include <vector>

#include "vkt/image.h"

namespace vkt::sim::ktx21 {

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

// Builders of table rows: read-only and writable numbers (with the range
// the board accepts), 0/1 flags and texts.
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

}  // namespace rows

class Settings;
class Device;

struct Model {
    const char* name;    // "KTX21": the camera-file header and the name in messages
    int boards;          // board ids 0 .. boards-1
    int channels;        // channels 0 .. channels-1 of each board
    std::vector<SettingInfo> table;

    // Sets the read-only values that follow others (image size and depth).
    void (*derive)(Settings& settings);
    // Bits per sample of the camera's frames (the images are 8 or 16 bits deep).
    int (*sample_bits)(const Settings& settings);
    // Time from one frame of a free-running camera to the next.
    std::chrono::microseconds (*frame_period)(const Settings& settings);
    // Draws frame number `frame` into a locked image that fits the camera.
    void (*draw)(CxImage& image, unsigned frame, int bits, const Device& device);
    // Whether the camera delivers frames at the moment (null: always).
    bool (*has_signal)(const Device& device);
    bool encoder;        // captured frames move the encoder
    bool serial_line;    // the board has a camera serial line

    // The setting called `name` exactly, or null.
    const SettingInfo* find(const char* setting) const {
        if (setting == nullptr) return nullptr;
        for (const SettingInfo& info : table) {
            if (std::strcmp(info.name, setting) == 0) return &info;
        }
        return nullptr;
    }
};

const Model& ktx21_model();
const Model& mr250_model();

}  // namespace vkt::sim::ktx21
