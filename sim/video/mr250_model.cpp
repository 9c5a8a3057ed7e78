// The simulated MR250 analog grabber as a grabber model: its settings, the
// timing of the video signal, its test pattern and self-calibration.
//
// The camera is an interlaced analog camera: a frame is two fields, the odd
// field holding lines 1, 3, 5... and the even field lines 2, 4, 6... Its
// sync runs at HCycle nanoseconds per line and VCycle lines per frame.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "video/mr250_device.h"

namespace vkt::sim::mr250 {
namespace {

using grabber::SettingTable;
using grabber::Settings;

using namespace grabber::rows;

// Every setting of the board with its power-on value and accepted range.
// Power-on timing is that of a 525-line, 30 frames/s camera. Times are in
// microseconds except HCycle and HDWidth (ns) and the time-outs (ms).
SettingTable make_table() {
    return SettingTable({
        rw("TriggerMode", 0, 0, 2), rw("VideoOffset", 0, -128, 127),
        rw("FieldDetection", kFrames, kFrames, kEvenField), rw("ExposureTime", 1000, 1, 10000000),
        flag("ShutterPrecision"), ro("DeviceID", 0), ro("DeviceType", 2), ro("Channel", 0),
        rw("Width", 640, 1, 768), rw("Height", 480, 1, 576),
        rw("OffsetW", 0, 0, 767), rw("OffsetH", 0, 0, 575),
        rw("OffsetTrgW", 0, 0, 767), rw("OffsetTrgH", 0, 0, 575),
        rw("Timeout", 3000, 1, 60000), ro("FpgaVersion", 0x0250), rw("Version", 1),
        rw("NormalModeWaitTime", 0, 0, 60000), flag("CameraTriggerSyncMode"),
        rw("TriggerSharingMode", 0, 0, 2), rw("TriggerSharingChannel", 0, 0, 3),
        rw("SyncMode", 0, 0, 2), rw("HCycle", 63556, 1000, 1000000), rw("VCycle", 525, 2, 2048),
        rw("VCycleTrg", 525, 2, 2048), rw("HDWidth", 4700, 0, 100000), rw("VDWidth", 3, 0, 64),
        rw("ClampStart", 40, 0, 1023), rw("ClampEnd", 80, 0, 1023), rw("VideoDelay", 0, 0, 1023),
        rw("SyncPhase", 0, 0, 359), flag("SyncTerminate", 1),
        rw("PllVDW", 858, 0, 65535), rw("PllRDW", 27, 0, 65535), rw("PllOD", 1, 0, 7),
        flag("TriggerSyncMode"), flag("TriggerLogic"), flag("TriggerIndexLogic"),
        rw("TriggerInputPin", 0, 0, 3), rw("TriggerReadyWait", 0, 0, 60000),
        rw("TriggerVDDelay", 0, 0, 1000), rw("TriggerIndexTimeout", 0, 0, 60000),
        rw("TriggerDelay", 0, 0, 10000000), flag("TriggerDelaySelect"), ro("ExtTriggerEnabled", 0),
        flag("ExpEnable"), flag("ExpLogic"), flag("ExpStop"), flag("SimTriggerIn"),
        flag("SimTriggerEx"),
        ro("ImageWidth", 640), ro("ImageHeight", 480), ro("FormatType", 0), ro("ImageType", 0),
        ro("ImagePack", 0), ro("ImageDepth", 8),
        text("DriverVersion", false, "1.2.0"), text("CameraName", true, "Simulated analog camera"),
        text("CameraMaker", true, "Simulation"), text("CameraMode", true, "EIA"),
        text("ImageSize", false, "640x480"),
    });
}

void derive(Settings& settings) {
    const long long width = settings.number("Width"), height = settings.number("Height");
    settings.set_number_unchecked("ImageWidth", width);
    settings.set_number_unchecked("ImageHeight", height);
    settings.set_text(*settings.find("ImageSize"), std::to_string(width) + "x" + std::to_string(height));
}

// The analog signal is digitised to 8 bits.
int sample_bits(const Settings&) { return 8; }

// One frame every VCycle lines of HCycle ns each.
std::chrono::microseconds frame_period(const Settings& settings) {
    const long long ns = settings.number("HCycle") * settings.number("VCycle");
    return std::chrono::microseconds(std::max<long long>(1, ns / 1000));
}

std::uint8_t clamp_sample(long long value) {
    return static_cast<std::uint8_t>(std::clamp<long long>(value, 0, 255));
}

// The field that image row `y` comes from.
int field_of(int y, long long detection) {
    if (detection == kOddField) return 1;
    if (detection == kEvenField) return 2;
    return y % 2 == 0 ? 1 : 2;
}

}  // namespace

int adc_error(const grabber::Device& device) { return (device.ch % 2 == 0 ? 5 : -4) + device.id; }

int correction(const grabber::Device& device) {
    const auto found = device.registers.find(kCalibrationRegister);
    return found == device.registers.end() ? 0 : static_cast<int>(static_cast<std::int32_t>(found->second));
}

void self_calibrate(grabber::Device& device, const char* op) {
    if (device.running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    device.registers[kCalibrationRegister] = static_cast<std::uint32_t>(adc_error(device));
}

// The test pattern: eight grey bars falling from 235 to 18 left to right, a
// white line that moves down one row per frame (row (frame - 1) mod height),
// VideoOffset added and the input's uncorrected offset error on top. The
// first sample of each row is the number of the field the row came from
// (1 odd, 2 even), as the board tags it.
//
// Rows are copies of one prepared row of bars; the field tag and the white
// line are written over them.
void draw_frame(CxImage& image, unsigned frame, int, grabber::Device& device) {
    auto* pixels = static_cast<std::uint8_t*>(image.Address());
    if (pixels == nullptr) return;
    const int width = image.Width(), height = image.Height();
    const long long detection = device.settings.number("FieldDetection");
    const long long shift =
        device.settings.number("VideoOffset") + adc_error(device) - correction(device);
    grabber::PreparedRows& bars = device.prepared;
    const std::vector<long long> key{width, shift};
    if (bars.key != key) {
        bars.bytes.assign(static_cast<std::size_t>(width), 0);
        for (int x = 1; x < width; ++x) bars.bytes[x] = clamp_sample(235 - 31 * (8LL * x / width) + shift);
        bars.key = key;
    }
    const int marker = static_cast<int>((frame - 1) % static_cast<unsigned>(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * image.Pitch();
        if (y == marker) std::memset(row, clamp_sample(255 + shift), static_cast<std::size_t>(width));
        else std::memcpy(row, bars.bytes.data(), static_cast<std::size_t>(width));
        row[0] = static_cast<std::uint8_t>(field_of(y, detection));
    }
}

}  // namespace vkt::sim::mr250

namespace vkt::sim::grabber {

// An MR250 board has four analog inputs, no encoder and no serial line.
const Model& mr250_model() {
    static const SettingTable& table = *new SettingTable(mr250::make_table());
    static const Model& model = *new Model{"MR250", 4, 4, table, &mr250::derive,
                                           &mr250::sample_bits, &mr250::frame_period,
                                           &mr250::draw_frame, false, false, false, false};
    return model;
}

}  // namespace vkt::sim::grabber
