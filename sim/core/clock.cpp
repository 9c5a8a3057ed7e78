// The real and the virtual clock of the simulated library.
#include "core/clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/control.h"

namespace vkt::sim::clock {
namespace {

using Steady = std::chrono::steady_clock;

// Longest single advance(), as long as the longest wait a board allows.
constexpr double kLongestAdvanceMs = 3600.0 * 1000.0;

struct State {
    // Held while the list of sources is used: while stepping, switching
    // clocks, adding or removing a source. Taken before any source's lock.
    std::mutex sources_mutex;
    std::vector<Timed*> sources;
    std::atomic<bool> is_virtual{false};
    // Simulated time is steady time plus `offset` on the real clock, and
    // `virtual_now` on the virtual clock (both as steady-clock ticks).
    std::atomic<Duration::rep> offset{0};
    std::atomic<Duration::rep> virtual_now{0};
    std::atomic<Duration::rep> epoch{0};   // simulated time at the last reset
};

// Never destroyed: board threads may still read the time late at exit.
State& state() {
    static State* instance = [] {
        auto* made = new State;
        made->epoch = Steady::now().time_since_epoch().count();
        return made;
    }();
    return *instance;
}

TimePoint real_now(const State& s) { return Steady::now() + Duration(s.offset.load()); }

// The flip happens while no thread of the library acts on the real clock
// (switch_mutex); the sources are told afterwards, with it let go, since a
// board's worker holds its board's lock while it waits for the flip.
void switch_to(State& s, bool to_virtual) {
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    if (s.is_virtual == to_virtual) return;
    {
        std::unique_lock<std::shared_mutex> flip(switch_mutex());
        if (to_virtual) {
            s.virtual_now = real_now(s).time_since_epoch().count();
        } else {
            s.offset = s.virtual_now.load() - Steady::now().time_since_epoch().count();
        }
        s.is_virtual = to_virtual;
    }
    for (Timed* source : s.sources) source->clock_changed();
}

// Moves virtual time to the first thing due before `until`, or to `until`,
// and delivers what is due then.
void step(State& s, TimePoint until) {
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    if (!s.is_virtual) return;
    TimePoint target = until;
    for (Timed* source : s.sources) {
        if (const auto due = source->next_due()) target = std::min(target, *due);
    }
    if (target.time_since_epoch().count() > s.virtual_now) {
        s.virtual_now = target.time_since_epoch().count();
    }
    const TimePoint moment{Duration(s.virtual_now.load())};
    for (Timed* source : s.sources) source->deliver_due(moment);
}

// Moves virtual time to `until` at once, every source delivering what falls
// due on the way, in its own order. The sources' parts are independent of
// each other (no board's delivery reads another's: a wire between boards
// carries an output's change when the code under test writes it, at that
// moment, never from inside a delivery), so each may deliver its whole
// stretch in one go, and what does not need drawing one by one is
// counted (frames that later frames overwrite): the cost follows what
// happens, not how long it takes.
void step_through(State& s, TimePoint until) {
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    if (!s.is_virtual) return;
    if (until.time_since_epoch().count() > s.virtual_now) {
        s.virtual_now = until.time_since_epoch().count();
    }
    const TimePoint moment{Duration(s.virtual_now.load())};
    for (Timed* source : s.sources) source->deliver_due(moment);
}

}  // namespace

TimePoint now() {
    const State& s = state();
    if (s.is_virtual) return TimePoint(Duration(s.virtual_now.load()));
    return real_now(s);
}

bool is_virtual() { return state().is_virtual; }

std::shared_mutex& switch_mutex() {
    static std::shared_mutex* instance = new std::shared_mutex;   // never destroyed, like the state
    return *instance;
}

void sleep_real_until(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                      TimePoint until) {
    State& s = state();
    if (s.is_virtual) return;
    changed.wait_until(lock, until - Duration(s.offset.load()));
}

void add(Timed& source) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    s.sources.push_back(&source);
}

void remove(Timed& source) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    s.sources.erase(std::remove(s.sources.begin(), s.sources.end(), &source), s.sources.end());
}

void sleep_until(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                 TimePoint until) {
    State& s = state();
    if (!s.is_virtual) {
        changed.wait_until(lock, until - Duration(s.offset.load()));
        return;
    }
    // The sources take their own locks, this caller's among them.
    lock.unlock();
    step(s, until);
    lock.lock();
}

// Time counted afresh from now. The virtual clock starts where the epoch is,
// so that a test on it reads exactly 0 until it moves the clock.
void reset(bool to_virtual) {
    State& s = state();
    switch_to(s, false);
    s.epoch = now().time_since_epoch().count();
    if (!to_virtual) return;
    std::lock_guard<std::mutex> lock(s.sources_mutex);
    {
        std::unique_lock<std::shared_mutex> flip(switch_mutex());
        s.virtual_now = s.epoch.load();
        s.is_virtual = true;
    }
    for (Timed* source : s.sources) source->clock_changed();
}

bool is_virtual_name(const std::string& kind) {
    if (kind != "real" && kind != "virtual") {
        throw std::invalid_argument("the clock is \"real\" or \"virtual\", not \"" + kind + "\"");
    }
    return kind == "virtual";
}

}  // namespace vkt::sim::clock

namespace vkt::sim {

void set_clock(const std::string& kind) {
    clock::switch_to(clock::state(), clock::is_virtual_name(kind));
}

const char* clock_kind() { return clock::is_virtual() ? "virtual" : "real"; }

double now_ms() {
    const auto since_reset = clock::now().time_since_epoch() - clock::Duration(clock::state().epoch.load());
    return std::chrono::duration<double, std::milli>(since_reset).count();
}

void advance(double milliseconds) {
    clock::State& s = clock::state();
    if (!s.is_virtual) {
        throw std::invalid_argument("advance() moves the virtual clock; set_clock(\"virtual\") first");
    }
    if (!std::isfinite(milliseconds) || milliseconds < 0 || milliseconds > clock::kLongestAdvanceMs) {
        throw std::invalid_argument("advance() takes 0 to 3600000 ms, not " + std::to_string(milliseconds));
    }
    // To the nearest tick: truncating would make advance(0.000249) move
    // 248 ns, since 0.000249 ms is a hair below 249 ns as a double.
    const auto target = clock::now() + std::chrono::round<clock::Duration>(
                                           std::chrono::duration<double, std::milli>(milliseconds));
    clock::step_through(s, target);
}

}  // namespace vkt::sim
