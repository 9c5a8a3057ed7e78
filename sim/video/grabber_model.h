// What sets one simulated frame-grabber model apart from another.
//
// One device core (grabber_device.h: settings, camera files, capture engine,
// events, encoder, serial line) plays every grabber model; a Model tells it
// the model's settings table, how many boards and channels there are, how
// the camera's frames are timed and what they show, and which features the
// board has. Features a model lacks are never touched for its boards.
#pragma once

#include <chrono>

#include "video/grabber_settings.h"
#include "vkt/image.h"

namespace vkt::sim::grabber {

class Device;

struct Model {
    const char* name;              // "KTX21": camera-file header and error texts
    int boards;                    // board ids 0 .. boards-1
    int channels;                  // channels 0 .. channels-1 of each board
    const SettingTable& table;

    // Sets the read-only values that follow others (image size and depth).
    void (*derive)(Settings& settings);
    // Bits per sample of the camera's frames (the images are 8 or 16 bits deep).
    int (*sample_bits)(const Settings& settings);
    // Time from one frame of a free-running camera to the next.
    std::chrono::microseconds (*frame_period)(const Settings& settings);
    // Draws frame number `frame` into a locked image that fits the camera.
    void (*draw)(CxImage& image, unsigned frame, int bits, Device& device);

    bool encoder;                  // the board has an encoder, moved by captured frames
    bool counts_until_stopped;     // its encoder counts only between start and stop
    bool serial_line;              // the board has a camera serial line
    bool board_events;             // WaitEvent: its board events can be waited for
};

// The models live as long as the process, destructors of statics included:
// a capture thread may still be drawing a frame while the process exits, so
// each model and its table are made once and never destroyed.
const Model& ktx21_model();
const Model& ktx22_model();
const Model& mr250_model();

// What the Camera Link models (KTX21, KTX22) share: image size and depth
// follow Width, Height and BitWidth; a free-running camera starts a frame
// every TriggerCycleTime, but no sooner than its exposure allows; the test
// pattern is a set of moving diagonal stripes.
namespace camera_link {

void derive(Settings& settings);
int sample_bits(const Settings& settings);
std::chrono::microseconds frame_period(const Settings& settings);
void draw(CxImage& image, unsigned frame, int bits, Device& device);

}  // namespace camera_link

}  // namespace vkt::sim::grabber
