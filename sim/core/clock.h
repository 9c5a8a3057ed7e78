// The time of the simulated library: everything in it that sleeps or reads
// the time goes through here.
//
// The clock is real (steady time) or virtual. Virtual time moves only when
// told to: by vktsim's advance(), or by a blocking call, which instead of
// sleeping jumps the clock to the next thing that falls due or to its own
// time-out, whichever comes first. Whatever has things falling due at set
// times (scheduled input changes, frames, board events) registers as a
// Timed source, so that the clock can deliver them, in order, as it moves.
// Switching between the two keeps time continuous: it never goes back.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>

namespace vkt::sim::clock {

using TimePoint = std::chrono::steady_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

TimePoint now();
bool is_virtual();

// A part of the simulated library with things that fall due at set times.
// Both calls take the part's own lock; neither may call into the clock.
class Timed {
public:
    // When the next thing falls due; nothing when nothing is waiting.
    virtual std::optional<TimePoint> next_due() = 0;
    // Delivers everything due at or before `now`, in order.
    virtual void deliver_due(TimePoint now) = 0;
    // The clock changed between real and virtual: wake whoever sleeps.
    virtual void clock_changed() = 0;

protected:
    ~Timed() = default;
};

// A source is registered for as long as it lives; removal waits for a
// delivery to it in progress.
void add(Timed& source);
void remove(Timed& source);

// Sleeps on `changed` until `until` or a notification, with `lock` released
// meanwhile. On the virtual clock nothing sleeps: time moves on to the first
// thing due before `until` (delivering it) or to `until`. Only the test's
// own thread calls this (a blocking call of the library): a thread of the
// library's own uses on_real_clock and sleep_real_until, which never move
// the virtual clock.
void sleep_until(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                 TimePoint until);

// Sleeps until `done()` or `until`; true if `done()`.
template <class Done>
bool wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                TimePoint until, Done done) {
    while (!done()) {
        if (now() >= until) return done();
        sleep_until(lock, changed, until);
    }
    return true;
}

// Held shared while a thread of the library's own acts on the real clock; a
// switch of clocks takes it exclusively, so that the switch happens either
// before such a thread decides or after it has acted, never in between.
std::shared_mutex& switch_mutex();

// Runs `work(now)` with the clock held real, if it is real; false (and
// nothing run) on the virtual clock. `work` must not sleep.
template <class Work>
bool on_real_clock(Work work) {
    std::shared_lock<std::shared_mutex> hold(switch_mutex());
    if (is_virtual()) return false;
    work(now());
    return true;
}

// Like sleep_until on the real clock; on the virtual clock it returns at
// once and moves nothing. A switch of clocks wakes the sleeper through
// Timed::clock_changed, so the caller decides afresh.
void sleep_real_until(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                      TimePoint until);

// Time counted afresh from now (vktsim.reset()): on the real clock, or on the
// virtual one standing at exactly that moment.
void reset(bool to_virtual);

// True for "virtual", false for "real"; any other name is refused with
// std::invalid_argument.
bool is_virtual_name(const std::string& kind);

template <class Done>
bool wait_for(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
              Duration timeout, Done done) {
    return wait_until(lock, changed, now() + timeout, done);
}

}  // namespace vkt::sim::clock
