// Simulated grabber boards: which boards and channels of each model exist
// and who uses them, power-on state and the encoder counters.
#include "video/grabber_device.h"

#include <algorithm>
#include <climits>
#include <tuple>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace vkt::sim::grabber {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::tuple<const Model*, int, int>, std::weak_ptr<Device>> devices;
    struct Board {
        Handle* handle;
        const Model* model;
    };
    std::unordered_map<const void*, Board> boards;
};

// Never destroyed, like the library's other registries: boards freed late at
// exit still find it.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

std::vector<std::shared_ptr<Device>> live_devices() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<std::shared_ptr<Device>> devices;
    for (auto& entry : r.devices) {
        if (auto device = entry.second.lock()) devices.push_back(std::move(device));
    }
    return devices;
}

// vktsim.reset(): every board in use back to power-on (closed, defaults).
ResetHook reset_boards([] {
    for (const auto& device : live_devices()) device->power_on();
});

}  // namespace

Device::Device(const Model& model_, int id_, int ch_)
    : model(model_), id(id_), ch(ch_), settings(model_) {
    settings.set_number_unchecked("DeviceID", id);
    settings.set_number_unchecked("Channel", ch);
    encoder.counting = !model.counts_until_stopped;
    clock::add(*this);
}

// Off the clock first, so that no delivery reaches a board being destroyed.
Device::~Device() {
    clock::remove(*this);
    halt();
}

void Device::power_on() {
    halt();
    std::lock_guard<std::mutex> lock(mutex);
    opened = false;
    settings = Settings(model);
    settings.set_number_unchecked("DeviceID", id);
    settings.set_number_unchecked("Channel", ch);
    registers.clear();
    encoder = EncoderCounters();
    encoder.counting = !model.counts_until_stopped;
    pg_stopped_ = false;
    trigger_masked_ = false;
    for (int e = 0; e < kBoardEvents; ++e) event_count_[e] = cancel_count_[e] = 0;
    encoder_speed = 100;
    encoder_steps.clear();
    encoder_rate_ = 0;
    rate_rest_ = 0;
    serial = SerialLine();
    signal = true;
    user_frames.reset();
    ring_.clear();
    phase_ = Phase::Idle;
    total_ = 0, lines_ = 0, peak_ = 0, events_ = 0, limit_ = 0, abort_at_ = 0;
    num = 0;
    lock_id = 0;
}

void Device::close_locked() {
    serial.opened = false;
    serial.replies.clear();
    settings.set_number_unchecked("SIOOpenFlag", 0);
    ring_.clear();
    opened = false;
}

// ---- encoder ------------------------------------------------------------------------

namespace {

// Keeps the absolute counter in its range: 0..ENCComp2, or the 32-bit range
// when ENCComp2 is 0, wrapping round and raising the flags.
void wrap_abs(EncoderCounters& encoder, unsigned long long comp2) {
    const long long low = comp2 == 0 ? INT_MIN : 0;
    const long long high = comp2 == 0 ? INT_MAX : static_cast<long long>(comp2);
    const long long span = high - low + 1;
    if (encoder.abs > high) {
        encoder.overflow = true;
        encoder.abs = low + (encoder.abs - low) % span;
    } else if (encoder.abs < low) {
        encoder.underflow = true;
        encoder.abs = high - (low - encoder.abs - 1) % span;
    }
}

}  // namespace

// `pulses` counts the encoder's A/B edges, negative when it turns backwards.
// Every ENCSampling-th pulse is counted; ENCDir and ENCSwapAB each reverse
// the counting direction.
void Device::move_encoder(long long pulses) {
    if (pulses == 0 || !model.encoder) return;
    encoder.position += pulses;
    if (!encoder.counting) return;
    const long long sampling = std::max<long long>(1, settings.number("ENCSampling"));
    const long long magnitude = std::llabs(pulses) + encoder.sample_rest;
    const long long counted = magnitude / sampling;
    encoder.sample_rest = magnitude % sampling;
    const bool backwards =
        ((pulses < 0) != (settings.number("ENCDir") != 0)) != (settings.number("ENCSwapAB") != 0);
    const long long step = backwards ? -counted : counted;
    encoder.total += step;
    const long long comp1 = settings.number("ENCComp1");
    if (comp1 > 0) {
        // Times the relative count passes a multiple of ENCComp1.
        const auto period = static_cast<unsigned long long>(comp1);
        encoder.match += static_cast<unsigned>(
            (encoder.rel_pulses % period + static_cast<unsigned long long>(counted)) / period);
    }
    encoder.rel_pulses += static_cast<unsigned long long>(counted);
    encoder.rel = static_cast<unsigned>(encoder.rel_pulses);
    if (encoder.abs_running) {
        encoder.abs += step;
        wrap_abs(encoder, static_cast<unsigned long long>(settings.number("ENCComp2")));
    }
}

// The motion is counted in whole pulses from the time the rate was set, the
// part of a pulse carried over (in pulse-ticks of the steady clock), so that
// however often it is counted, floor(rate x time) pulses have moved: exact
// on the virtual clock, with no drift.
void Device::catch_up_encoder() {
    if (encoder_rate_ == 0) return;   // no clock read on the calls of a still encoder
    const TimePoint now = clock::now();
    if (now <= rate_since_) return;
    constexpr long long kTicksPerSecond = clock::Duration::period::den / clock::Duration::period::num;
    const __int128 moved = static_cast<__int128>(encoder_rate_) * (now - rate_since_).count() + rate_rest_;
    rate_since_ = now;
    rate_rest_ = static_cast<long long>(moved % kTicksPerSecond);
    move_encoder(static_cast<long long>(moved / kTicksPerSecond));
}

void Device::set_encoder_rate(long long pulses_per_second) {
    catch_up_encoder();
    rate_since_ = clock::now();
    // The part of a pulse carries over while the encoder keeps its direction.
    if (pulses_per_second == 0 || (encoder_rate_ < 0) != (pulses_per_second < 0)) rate_rest_ = 0;
    encoder_rate_ = pulses_per_second;
}

void Device::start_abs(bool start, long long initial) {
    if (start) {
        encoder.abs = initial;
        wrap_abs(encoder, static_cast<unsigned long long>(settings.number("ENCComp2")));
    }
    encoder.abs_running = start;
}

// ---- access ------------------------------------------------------------------------

Access access_device(std::shared_ptr<Device> device, const char* op, bool need_open) {
    if (!device) fail(ExStatus::NotOpened, op, "the board is not open");
    std::unique_lock<std::mutex> lock(device->mutex);
    if (need_open && !device->opened) fail(ExStatus::NotOpened, op, "the board is not open");
    // Whatever the call reads of the encoder is up to date.
    device->catch_up_encoder();
    return Access{std::move(device), std::move(lock)};
}

// ---- registry -----------------------------------------------------------------------

void register_board(const void* board, Handle* handle, const Model& model) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.boards[board] = Registry::Board{handle, &model};
}

void unregister_board(const void* board) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.boards.erase(board);
}

bool is_board(const void* address) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.boards.count(address) != 0;
}

std::shared_ptr<Device> device_of(const void* board) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto found = r.boards.find(board);
    if (found == r.boards.end() || found->second.handle == nullptr) return nullptr;
    return found->second.handle->device;
}

const Model* model_of_board(const void* address) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto found = r.boards.find(address);
    return found == r.boards.end() ? nullptr : found->second.model;
}

std::shared_ptr<Device> acquire_device(const Model& model, int id, int ch, const char* op) {
    if (id < 0 || id >= model.boards) {
        fail(ExStatus::NoDevice, op,
             std::string("no ") + model.name + " board with id " + std::to_string(id));
    }
    if (ch < 0 || ch >= model.channels) {
        fail(ExStatus::InvalidArgument, op,
             std::string("a ") + model.name + " board has no channel " + std::to_string(ch));
    }
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::weak_ptr<Device>& slot = r.devices[{&model, id, ch}];
    if (auto device = slot.lock()) return device;
    auto device = std::make_shared<Device>(model, id, ch);
    slot = device;
    return device;
}

std::shared_ptr<Device> existing_device(const Model& model, int id, int ch) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.devices.find({&model, id, ch});
    return found == r.devices.end() ? nullptr : found->second.lock();
}

}  // namespace vkt::sim::grabber
