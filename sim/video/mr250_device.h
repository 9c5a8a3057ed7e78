// What the simulated MR250 adds to the grabber device core: field
// detection, the input's offset error and its self-calibration.
#pragma once

#include "video/grabber_device.h"

namespace vkt::sim::mr250 {

// FieldDetection: whole interlaced frames, or one field of each frame.
enum FieldDetection : long long { kFrames = 0, kOddField = 1, kEvenField = 2 };

// The register that holds the offset correction found by SelfCalibration
// (a signed 32-bit number of levels, subtracted from every sample).
constexpr unsigned kCalibrationRegister = 0x100;

// The offset error of the board's analog input, in levels: fixed per board
// and channel, and never zero, so an uncalibrated input is visibly off.
int adc_error(const grabber::Device& device);
// The correction in force (the calibration register; 0 at power-on).
int correction(const grabber::Device& device);
// Measures the input against its internal reference and stores the
// correction; refused while a capture runs. The device must be locked.
void self_calibrate(grabber::Device& device, const char* op);

}  // namespace vkt::sim::mr250
