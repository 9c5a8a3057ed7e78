// vktsim's controls of the simulated grabbers: the camera's side of the
// serial line, the encoder's motion and (KTX22) board events.
#include <stdexcept>

#include "grabber_device.h"

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

grabber::Access open_ktx21(const void* board) { return open_device(board, grabber::ktx21_model()); }

void check_pulses(long long pulses) {
    if (pulses < -kEncoderLimit || pulses > kEncoderLimit) {
        throw std::invalid_argument("encoder pulses must be within -1000000..1000000");
    }
}

}  // namespace

void ktx21_feed_serial(const void* board, const std::string& bytes) {
    grabber::Access access = open_ktx21(board);
    access.device->serial_feed(bytes);
}

std::string ktx21_serial_received(const void* board) {
    grabber::Access access = open_ktx21(board);
    std::string received;
    received.swap(access.device->serial.received);
    return received;
}

void ktx21_set_encoder_speed(const void* board, long long pulses_per_frame) {
    check_pulses(pulses_per_frame);
    grabber::Access access = open_ktx21(board);
    access.device->encoder_speed = static_cast<int>(pulses_per_frame);
}

void ktx21_move_encoder(const void* board, long long pulses) {
    check_pulses(pulses);
    grabber::Access access = open_ktx21(board);
    access.device->move_encoder(pulses);
}

}  // namespace vkt::sim
