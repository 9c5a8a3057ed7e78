// vktsim's controls of the simulated KTX21 boards: the camera's side of the
// serial line and the encoder's motion.
#include <stdexcept>

#include "ktx21_device.h"

namespace vkt::sim {
namespace {

constexpr long long kEncoderLimit = 1000000;

// The open device of the board at `board`, locked.
ktx21::Access open_device(const void* board) {
    if (board == nullptr || !ktx21::is_board(board)) {
        throw std::invalid_argument("not a KTX21 board");
    }
    auto device = ktx21::device_of(board);
    if (device && &device->model != &ktx21::ktx21_model()) throw std::invalid_argument("not a KTX21 board");
    if (!device) throw std::invalid_argument("the KTX21 board is not open");
    std::unique_lock<std::mutex> lock(device->mutex);
    if (!device->opened) throw std::invalid_argument("the KTX21 board is not open");
    return ktx21::Access{std::move(device), std::move(lock)};
}

void check_pulses(long long pulses) {
    if (pulses < -kEncoderLimit || pulses > kEncoderLimit) {
        throw std::invalid_argument("encoder pulses must be within -1000000..1000000");
    }
}

}  // namespace

void ktx21_feed_serial(const void* board, const std::string& bytes) {
    ktx21::Access access = open_device(board);
    access.device->serial_feed(bytes);
}

std::string ktx21_serial_received(const void* board) {
    ktx21::Access access = open_device(board);
    std::string received;
    received.swap(access.device->serial.received);
    return received;
}

void ktx21_set_encoder_speed(const void* board, long long pulses_per_frame) {
    check_pulses(pulses_per_frame);
    ktx21::Access access = open_device(board);
    access.device->encoder_speed = static_cast<int>(pulses_per_frame);
}

void ktx21_move_encoder(const void* board, long long pulses) {
    check_pulses(pulses);
    ktx21::Access access = open_device(board);
    access.device->move_encoder(pulses);
}

}  // namespace vkt::sim
