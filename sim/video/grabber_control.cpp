// vktsim's controls of the simulated grabbers: the camera's side of the
// serial line, the encoder's motion, board events and the video signal.
//
// Each control takes whatever board object the caller holds (a board of any
// model, or a Video driving one) and acts on the board behind it, so that a
// test reads the same whichever model it drives.
#include <cmath>
#include <stdexcept>

#include "core/companion_link.h"
#include "core/wires.h"
#include "video/grabber_device.h"
#include "vkt/video/video.h"

namespace vkt::sim {
namespace {

constexpr long long kEncoderLimit = 1000000;
constexpr int kLatestEvent = 60000;   // ms ahead

const char* const kAnyGrabber = "a KTX21, KTX22 or MR250 board or a Video driving one";

// What a control needs of a model beyond being a grabber.
enum class Feature { None, Encoder, SerialLine, BoardEvents };

bool has(const grabber::Model& model, Feature feature) {
    switch (feature) {
        case Feature::None: return true;
        case Feature::Encoder: return model.encoder;
        case Feature::SerialLine: return model.serial_line;
        case Feature::BoardEvents: return model.board_events;
    }
    return false;
}

// What a control that needs `feature` takes, for its refusals.
std::string boards_with(Feature feature) {
    switch (feature) {
        case Feature::Encoder: return "a board with an encoder (KTX21, KTX22)";
        case Feature::SerialLine: return "a board with a serial line (KTX21, KTX22)";
        case Feature::BoardEvents: return "a board with board events (KTX22)";
        case Feature::None: break;
    }
    return kAnyGrabber;
}

// The board a control acts on, and how to name what the caller gave.
struct Target {
    const void* board;            // the complete board object
    const grabber::Model* model;
    std::string given;            // "a KTX21", "a Video driving a KTX21"
};

std::string a(const grabber::Model& model) { return std::string("a ") + model.name; }

Target target_of(const void* object) {
    if (object == nullptr) throw WrongObject(kAnyGrabber, "");
    if (const grabber::Model* model = grabber::model_of_board(object)) {
        return Target{object, model, a(*model)};
    }
    auto* video = tracked_as<Video::CxVideo>(const_cast<void*>(object));
    if (video == nullptr) throw WrongObject(kAnyGrabber, "");
    IxModule* driven = board_behind(video);
    const void* board = driven == nullptr ? nullptr : dynamic_cast<const void*>(driven);
    const grabber::Model* model = grabber::model_of_board(board);
    if (model == nullptr) throw std::invalid_argument("the Video drives no board");
    return Target{board, model, "a Video driving " + a(*model)};
}

// The open device behind `object`, locked, once it is known to have `feature`.
grabber::Access open_device(const void* object, Feature feature) {
    const Target target = target_of(object);
    if (!has(*target.model, feature)) throw WrongObject(boards_with(feature), target.given);
    const std::string not_open = std::string("the ") + target.model->name + " board is not open";
    auto device = grabber::device_of(target.board);
    if (!device) throw std::invalid_argument(not_open);
    std::unique_lock<std::mutex> lock(device->mutex);
    if (!device->opened) throw std::invalid_argument(not_open);
    device->catch_up_encoder();
    return grabber::Access{std::move(device), std::move(lock)};
}

void check_pulses(long long pulses) {
    if (pulses < -kEncoderLimit || pulses > kEncoderLimit) {
        throw std::invalid_argument("encoder pulses must be within -1000000..1000000");
    }
}

}  // namespace

FrameShape grabber_frame_shape(const void* board) {
    grabber::Access access = open_device(board, Feature::None);
    const grabber::Settings& settings = access.device->settings;
    return FrameShape{static_cast<int>(settings.number("Width")),
                      static_cast<int>(settings.number("Height")), settings.image_depth()};
}

void grabber_set_frames(const void* board, const FrameShape& shape,
                        std::vector<std::vector<unsigned char>> frames) {
    grabber::Access access = open_device(board, Feature::None);
    std::shared_ptr<grabber::UserFrames> user;
    if (!frames.empty()) {
        user = std::make_shared<grabber::UserFrames>();
        user->width = shape.width;
        user->height = shape.height;
        user->depth = shape.depth;
        user->frames = std::move(frames);
    }
    access.device->set_user_frames(std::move(user));
}

void grabber_feed_serial(const void* board, const std::string& bytes) {
    grabber::Access access = open_device(board, Feature::SerialLine);
    access.device->serial_feed(bytes);
}

std::string grabber_serial_received(const void* board) {
    grabber::Access access = open_device(board, Feature::SerialLine);
    std::string received;
    received.swap(access.device->serial.received);
    return received;
}

void grabber_set_encoder_speed(const void* board, long long pulses_per_frame) {
    check_pulses(pulses_per_frame);
    grabber::Access access = open_device(board, Feature::Encoder);
    access.device->encoder_speed = static_cast<int>(pulses_per_frame);
}

void grabber_set_encoder_steps(const void* board, const std::vector<long long>& steps) {
    for (long long pulses : steps) check_pulses(pulses);
    grabber::Access access = open_device(board, Feature::Encoder);
    access.device->encoder_steps.assign(steps.begin(), steps.end());
}

void grabber_move_encoder(const void* board, long long pulses) {
    check_pulses(pulses);
    grabber::Access access = open_device(board, Feature::Encoder);
    access.device->move_encoder(pulses);
}

void grabber_set_encoder_rate(const void* board, double pulses_per_ms) {
    if (!std::isfinite(pulses_per_ms) || pulses_per_ms < -kEncoderLimit || pulses_per_ms > kEncoderLimit) {
        throw std::invalid_argument("an encoder rate must be within -1000000..1000000 pulses per ms");
    }
    const long long pulses_per_second = std::llround(pulses_per_ms * 1000.0);
    grabber::Access access = open_device(board, Feature::Encoder);
    access.device->set_encoder_rate(pulses_per_second);
}

void grabber_on_serial(const void* board, SerialResponder responder, int delay_ms) {
    if (delay_ms < 0 || delay_ms > kLatestEvent) {
        throw std::invalid_argument("a reply comes 0 to 60000 ms after its request");
    }
    grabber::Access access = open_device(board, Feature::SerialLine);
    access.device->set_responder(std::move(responder), std::chrono::milliseconds(delay_ms));
}

void grabber_schedule_event(const void* board, int event, int delay_ms, bool cancel) {
    if (event < 0 || event >= grabber::kBoardEvents) {
        throw std::invalid_argument("board events are 0 to 3");
    }
    if (delay_ms < 0 || delay_ms > kLatestEvent) {
        throw std::invalid_argument("an event is scheduled 0 to 60000 ms ahead");
    }
    grabber::Access access = open_device(board, Feature::BoardEvents);
    if (delay_ms == 0 && !cancel) access.device->raise_event(event);
    else access.device->schedule_event(event, delay_ms, cancel);
}

void grabber_set_signal(const void* board, bool connected) {
    grabber::Access access = open_device(board, Feature::None);
    access.device->set_signal(connected);
}

}  // namespace vkt::sim

namespace vkt::sim::wires {

bool is_grabber(const void* object) {
    return object != nullptr &&
           (grabber::model_of_board(object) != nullptr ||
            tracked_as<Video::CxVideo>(const_cast<void*>(object)) != nullptr);
}

TriggerInput trigger_input_of(const void* object) {
    grabber::Access access = open_device(object, Feature::None);
    const grabber::Device& device = *access.device;
    return TriggerInput{&device.model, device.id, device.ch,
                        std::string(device.model.name) + " board " + std::to_string(device.id) +
                            ", channel " + std::to_string(device.ch)};
}

void rising_edge(const TriggerInput& input, clock::TimePoint at) {
    const auto& model = *static_cast<const grabber::Model*>(input.model);
    const auto device = grabber::existing_device(model, input.id, input.ch);
    if (!device) return;
    std::lock_guard<std::mutex> lock(device->mutex);
    if (device->opened) device->external_trigger(at);
}

}  // namespace vkt::sim::wires
