// A test-only library for the ThreadSanitizer stage's check of itself: two
// threads bump one counter, without a lock unless built with CALM. Loaded
// into the interpreter through ctypes, run under the stage's own settings,
// the racy build must be reported and fail the run; the calm one must not.
#include <mutex>
#include <thread>

namespace {

int counter;
std::mutex counter_mutex;

void bump() {
    for (int i = 0; i < 1000; ++i) {
#ifdef CALM
        std::lock_guard<std::mutex> lock(counter_mutex);
#endif
        ++counter;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int planted_race() {
    std::thread first(bump);
    std::thread second(bump);
    first.join();
    second.join();
    return counter;
}
