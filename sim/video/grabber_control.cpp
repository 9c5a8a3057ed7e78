// vktsim's controls of the simulated grabbers: the camera's side of the
// serial line, the encoder's motion, (KTX22) board events and (MR250) the
// video signal.
#include <stdexcept>

#include "core/companion_link.h"
#include "video/grabber_device.h"

namespace vkt::sim {
namespace {

constexpr long long kEncoderLimit = 1000000;

// The open device of the `model` board at `board`, locked.
grabber::Access open_device(const void* board, const grabber::Model& model) {
    const std::string name = model.name;
    if (board == nullptr || grabber::model_of_board(board) != &model) {
        throw std::invalid_argument("not a " + name + " board");
    }
    auto device = grabber::device_of(board);
    if (!device) throw std::invalid_argument("the " + name + " board is not open");
    std::unique_lock<std::mutex> lock(device->mutex);
    if (!device->opened) throw std::invalid_argument("the " + name + " board is not open");
    return grabber::Access{std::move(device), std::move(lock)};
}

const grabber::Model& model_named(const std::string& name) {
    if (name == "KTX21") return grabber::ktx21_model();
    if (name == "KTX22") return grabber::ktx22_model();
    if (name == "MR250") return grabber::mr250_model();
    throw std::invalid_argument("no grabber model named '" + name + "'");
}

// The open device of a `model` board that has an encoder or a serial line.
grabber::Access with_encoder(const void* board, const std::string& model) {
    const grabber::Model& m = model_named(model);
    if (!m.encoder) throw std::invalid_argument("a " + model + " board has no encoder");
    return open_device(board, m);
}

grabber::Access with_serial_line(const void* board, const std::string& model) {
    const grabber::Model& m = model_named(model);
    if (!m.serial_line) throw std::invalid_argument("a " + model + " board has no serial line");
    return open_device(board, m);
}

void check_pulses(long long pulses) {
    if (pulses < -kEncoderLimit || pulses > kEncoderLimit) {
        throw std::invalid_argument("encoder pulses must be within -1000000..1000000");
    }
}

// The open device of the grabber board at `board`, or of the board that the
// Video at `board` drives, locked.
grabber::Access open_grabber(const void* board) {
    const grabber::Model* model = board == nullptr ? nullptr : grabber::model_of_board(board);
    if (model == nullptr) {
        void* module = board == nullptr ? nullptr : interface_of(board, typeid(IxModule));
        IxModule* behind = module == nullptr ? nullptr : board_behind(static_cast<IxModule*>(module));
        if (module == nullptr || behind == module) {
            throw std::domain_error("expected a KTX21, KTX22 or MR250 board or a Video driving one");
        }
        board = behind == nullptr ? nullptr : dynamic_cast<const void*>(behind);
        model = board == nullptr ? nullptr : grabber::model_of_board(board);
        if (model == nullptr) throw std::invalid_argument("the Video drives no grabber board");
    }
    return open_device(board, *model);
}

}  // namespace

FrameShape grabber_frame_shape(const void* board) {
    grabber::Access access = open_grabber(board);
    const grabber::Settings& settings = access.device->settings;
    return FrameShape{static_cast<int>(settings.number("Width")),
                      static_cast<int>(settings.number("Height")), settings.image_depth()};
}

void grabber_set_frames(const void* board, const FrameShape& shape,
                        std::vector<std::vector<unsigned char>> frames) {
    grabber::Access access = open_grabber(board);
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

void grabber_feed_serial(const std::string& model, const void* board, const std::string& bytes) {
    grabber::Access access = with_serial_line(board, model);
    access.device->serial_feed(bytes);
}

std::string grabber_serial_received(const std::string& model, const void* board) {
    grabber::Access access = with_serial_line(board, model);
    std::string received;
    received.swap(access.device->serial.received);
    return received;
}

void grabber_set_encoder_speed(const std::string& model, const void* board,
                               long long pulses_per_frame) {
    check_pulses(pulses_per_frame);
    grabber::Access access = with_encoder(board, model);
    access.device->encoder_speed = static_cast<int>(pulses_per_frame);
}

void grabber_move_encoder(const std::string& model, const void* board, long long pulses) {
    check_pulses(pulses);
    grabber::Access access = with_encoder(board, model);
    access.device->move_encoder(pulses);
}

void grabber_schedule_event(const std::string& model, const void* board, int event, int delay_ms,
                            bool cancel) {
    if (event < 0 || event >= grabber::kBoardEvents) {
        throw std::invalid_argument("board events are 0 to 3");
    }
    if (delay_ms < 0 || delay_ms > 60000) {
        throw std::invalid_argument("an event is scheduled 0 to 60000 ms ahead");
    }
    grabber::Access access = open_device(board, model_named(model));
    if (delay_ms == 0 && !cancel) access.device->raise_event(event);
    else access.device->schedule_event(event, delay_ms, cancel);
}

void grabber_set_signal(const std::string& model, const void* board, bool connected) {
    grabber::Access access = open_device(board, model_named(model));
    access.device->set_signal(connected);
}

}  // namespace vkt::sim
