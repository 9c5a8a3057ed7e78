// Board events of the simulated grabbers (what WaitEvent waits for), the
// events vktsim schedules, the PG unit, trigger masks and the PLL.
#include <stdexcept>
#include <string>

#include "video/grabber_device.h"

namespace vkt::sim::grabber {
namespace {

// Longest event wait, so that no wait can hold its caller for ever.
constexpr int kLongestWait = 60000;

void check_event(int event, const char* op) {
    if (event < 0 || event >= kBoardEvents) {
        fail(ExStatus::InvalidArgument, op, "no board event " + std::to_string(event));
    }
}

// PLLReconfigStatus values.
constexpr int kPllIdle = 0;
constexpr int kPllDone = 1;
constexpr int kPllFailed = 2;

// Camera clocks (MHz) the PLL can lock to.
constexpr long long kSlowestClock = 20;
constexpr long long kFastestClock = 85;

}  // namespace

// ---- events ----------------------------------------------------------------------------

void Device::raise_event(int event) {
    ++event_count_[event];
    changed.notify_all();
}

void Device::cancel_event(int event, const char* op) {
    check_event(event, op);
    ++cancel_count_[event];
    changed.notify_all();
}

// Waits for the next occurrence of `event` after the call began; a
// cancellation or the time-out end the wait with false.
bool Device::wait_event(std::unique_lock<std::mutex>& lock, int event, int milliseconds,
                        int* count, const char* op) {
    check_event(event, op);
    if (milliseconds < 0 || milliseconds > kLongestWait) {
        fail(ExStatus::InvalidArgument, op, "an event wait lasts 0 to 60000 ms");
    }
    const unsigned seen = event_count_[event];
    const unsigned cancels = cancel_count_[event];
    clock::wait_for(lock, changed, std::chrono::milliseconds(milliseconds), [&] {
        return event_count_[event] != seen || cancel_count_[event] != cancels;
    });
    const bool raised = event_count_[event] != seen && cancel_count_[event] == cancels;
    if (count != nullptr) *count = static_cast<int>(event_count_[event]);
    return raised;
}

void Device::schedule_event(int event, int delay_ms, bool cancel) {
    if (worker_quit_) throw std::invalid_argument("the board is being reset");
    ensure_worker("vktsim");
    timed_.emplace(clock::now() + std::chrono::milliseconds(delay_ms), std::make_pair(event, cancel));
    changed.notify_all();
}

// The earliest scheduled event or responder reply (the event first at the
// same time).
void Device::fire_next_timed() {
    if (!serial.replies.empty() &&
        (timed_.empty() || serial.replies.begin()->first < timed_.begin()->first)) {
        const auto reply = serial.replies.begin();
        receive_reply(reply->second);
        serial.replies.erase(reply);
        return;
    }
    const auto first = timed_.begin();
    const auto [event, cancel] = first->second;
    timed_.erase(first);
    if (cancel) {
        ++cancel_count_[event];
        changed.notify_all();
    } else {
        raise_event(event);
    }
}

// ---- channel units -------------------------------------------------------------------------

// A board object drives one channel; -1 names that channel.
void Device::check_channel(int channel, const char* op) const {
    if (channel == -1 || channel == ch) return;
    if (channel >= 0 && channel < model.channels) {
        fail(ExStatus::InvalidArgument, op,
             "this board object drives channel " + std::to_string(ch) + ", not " +
                 std::to_string(channel));
    }
    fail(ExStatus::InvalidArgument, op,
         std::string("a ") + model.name + " board has no channel " + std::to_string(channel));
}

void Device::stop_pg() {
    pg_stopped_ = true;
    settings.set_number_unchecked("PGStatus", 0);
    changed.notify_all();
}

// A whole frame period passes before the first frame after a stop.
void Device::reset_pg() {
    if (pg_stopped_) next_due_ = clock::now() + period_;
    pg_stopped_ = false;
    settings.set_number_unchecked("PGStatus", 1);
    changed.notify_all();
}

void Device::clear_trigger_mask() { trigger_masked_ = false; }

// Locks the camera clock to the frequency "PLLReconfig" asks for (MHz);
// "PLLReconfigStatus" tells how it went.
void Device::pll_reconfig(const char* op) {
    if (running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    const long long target = settings.number("PLLReconfig");
    if (target < kSlowestClock || target > kFastestClock) {
        settings.set_number_unchecked("PLLReconfigStatus", kPllFailed);
        fail(ExStatus::InvalidArgument, op,
             "the PLL cannot lock to " + std::to_string(target) + " MHz (20 to 85)");
    }
    settings.set_number_unchecked("CameraClock", target);
    settings.set_number_unchecked("PLLReconfigStatus", kPllDone);
}

void Device::reset_pll() { settings.set_number_unchecked("PLLReconfigStatus", kPllIdle); }

}  // namespace vkt::sim::grabber
