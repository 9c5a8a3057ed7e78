// Capture engine of the simulated grabbers: locked images, frames that fall
// due at the camera's rate (delivered by the board's worker on the real
// clock, by the clock itself on the virtual one) filled with the model's test
// pattern or the user's frames, waits and the capture status; the Camera Link
// cameras' moving stripes.
#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <system_error>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "video/grabber_device.h"

namespace vkt::sim::grabber {
namespace {

std::string describe_image(const CxImage& image) {
    return std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + "x" +
           std::to_string(image.Channels()) + " at " + std::to_string(image.Depth()) + " bits";
}

std::string image_name(int position) {
    return position < 0 ? std::string("the image") : "image " + std::to_string(position);
}

// The test pattern: diagonal stripes that move by three samples per frame,
// value (x + 2y + 3 * frame) masked to the camera's bit width. The first four
// samples of row 0 hold the frame number, least significant byte first.
//
// Every row is a window into one prepared ramp 0, 1, ..., mask, 0, 1, ...
// (the mask is one below a power of two), so a row is one copy.
template <class Sample>
void fill_pattern(CxImage& image, unsigned frame, int bits, PreparedRows& prepared) {
    const unsigned mask = bits >= 16 ? 0xFFFFu : (1u << bits) - 1u;
    const auto width = static_cast<std::size_t>(image.Width());
    const std::vector<long long> key{static_cast<long long>(sizeof(Sample)),
                                     static_cast<long long>(width), mask};
    if (prepared.key != key) {
        std::vector<Sample> ramp(width + mask + 1);
        for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<Sample>(i & mask);
        prepared.bytes.resize(ramp.size() * sizeof(Sample));
        std::memcpy(prepared.bytes.data(), ramp.data(), prepared.bytes.size());
        prepared.key = key;
    }
    auto* pixels = static_cast<unsigned char*>(image.Address());
    const std::size_t pitch = image.Pitch();
    for (int y = 0; y < image.Height(); ++y) {
        const unsigned base = (2u * static_cast<unsigned>(y) + 3u * frame) & mask;
        std::memcpy(pixels + static_cast<std::size_t>(y) * pitch,
                    prepared.bytes.data() + base * sizeof(Sample), width * sizeof(Sample));
    }
    for (unsigned k = 0; k < 4 && k < width; ++k) {
        const auto stamp = static_cast<Sample>((frame >> (8 * k)) & 0xFF);
        std::memcpy(pixels + k * sizeof(Sample), &stamp, sizeof(Sample));
    }
}

int saturated(long long value) { return static_cast<int>(std::min<long long>(value, INT_MAX)); }

// Frames never come closer together than this, however the camera is set.
constexpr clock::Duration kShortestPeriod = std::chrono::microseconds(1);

}  // namespace

void camera_link::draw(CxImage& image, unsigned frame, int bits, Device& device) {
    if (image.Address() == nullptr) return;
    if (image.Depth() == 16) fill_pattern<std::uint16_t>(image, frame, bits, device.prepared);
    else fill_pattern<std::uint8_t>(image, frame, 8, device.prepared);
}

// ---- images ----------------------------------------------------------------------

void Device::check_image(const CxImage* image, int position, const char* op) const {
    if (image == nullptr) fail(ExStatus::InvalidArgument, op, image_name(position) + " is missing");
    const long long width = settings.number("Width");
    const long long height = settings.number("Height");
    const int depth = settings.image_depth();
    if (image->Width() != width || image->Height() != height || image->Channels() != 1 ||
        image->Depth() != depth) {
        fail(ExStatus::InvalidArgument, op,
             image_name(position) + " is " + describe_image(*image) + "; the camera gives " +
                 std::to_string(width) + "x" + std::to_string(height) + "x1 at " +
                 std::to_string(depth) + " bits");
    }
}

void Device::lock_images(CxImage* const* images, int count, const char* op) {
    if (running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    if (count < 1) fail(ExStatus::InvalidArgument, op, "no images to lock");
    if (images == nullptr) fail(ExStatus::InvalidArgument, op, "the image array is missing");
    std::vector<LockedImage> ring;
    for (int i = 0; i < count; ++i) {
        check_image(images[i], count == 1 ? -1 : i, op);
        const void* address = dynamic_cast<const void*>(images[i]);
        const auto ident = ident_of(address);
        if (!ident) fail(ExStatus::InvalidArgument, op, image_name(i) + " was not made by the library");
        ring.push_back(LockedImage{images[i], address, *ident});
    }
    ring_ = std::move(ring);
    // New images make ready for a new capture: until it is started, a wait
    // has no capture to report on, as on a board that never captured.
    phase_ = Phase::Idle;
}

void Device::unlock_images(const char* op) {
    if (running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    ring_.clear();
}

// ---- frames supplied by the user ---------------------------------------------------

namespace {

std::string describe_frames(int width, int height, int depth) {
    return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(depth) + " bits";
}

}  // namespace

void Device::set_user_frames(std::shared_ptr<const UserFrames> frames) {
    if (frames) {
        const long long width = settings.number("Width"), height = settings.number("Height");
        const int depth = settings.image_depth();
        if (frames->frames.empty()) throw std::invalid_argument("no frames given");
        if (frames->width != width || frames->height != height || frames->depth != depth) {
            throw std::invalid_argument("the frames are " + describe_frames(frames->width, frames->height, frames->depth) +
                                        "; the camera gives " +
                                        describe_frames(static_cast<int>(width), static_cast<int>(height), depth));
        }
        const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * (depth / 8);
        for (const auto& frame : frames->frames) {
            if (frame.size() != size) throw std::invalid_argument("a frame is not " + std::to_string(size) + " bytes");
        }
    }
    user_frames = std::move(frames);
}

// A camera that no longer gives frames of their size and depth drops them.
void Device::drop_unfitting_frames() {
    if (user_frames && (user_frames->width != settings.number("Width") ||
                        user_frames->height != settings.number("Height") ||
                        user_frames->depth != settings.image_depth())) {
        user_frames.reset();
    }
}

// Why the locked images cannot take a capture now, or empty.
std::string Device::ring_problem() const {
    if (ring_.empty()) return "no images are locked";
    if (static_cast<std::size_t>(lock_id) >= ring_.size()) {
        return "lock id " + std::to_string(lock_id) + " is beyond the " +
               std::to_string(ring_.size()) + " locked images";
    }
    const long long width = settings.number("Width"), height = settings.number("Height");
    const int depth = settings.image_depth();
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        bool fits = false;
        const bool alive = with_live_object(ring_[i].address, ring_[i].ident, [&] {
            const CxImage& image = *ring_[i].image;
            fits = image.Width() == width && image.Height() == height && image.Depth() == depth;
        });
        const std::string name = "locked image " + std::to_string(i);
        if (!alive) return name + " no longer exists; lock the images again";
        if (!fits) return name + " no longer fits the camera; lock the images again";
    }
    return {};
}

// ---- capture control ---------------------------------------------------------------

void Device::start(std::unique_lock<std::mutex>&, const char* op) {
    if (running()) fail(ExStatus::DeviceBusy, op, "a capture is already running");
    drop_unfitting_frames();
    const std::string problem = ring_problem();
    if (!problem.empty()) fail(ExStatus::InvalidArgument, op, problem);
    ensure_worker(op);
    trigger_mode_ = static_cast<int>(settings.number("TriggerMode"));
    period_ = std::max<clock::Duration>(model.frame_period(settings), kShortestPeriod);
    frame_lines_ = static_cast<int>(settings.number("Height"));
    frame_bits_ = model.sample_bits(settings);
    total_ = 0, lines_ = 0, peak_ = 0, events_ = 0, abort_at_ = 0;
    limit_ = static_cast<unsigned>(num);
    next_index_ = static_cast<std::size_t>(lock_id);
    for (LockedImage& slot : ring_) slot.frame_no = 0;
    triggers_.clear();
    next_due_ = clock::now() + period_;
    phase_ = Phase::Running;
    changed.notify_all();
}

void Device::end_capture(std::unique_lock<std::mutex>&, Phase phase, unsigned event) {
    if (running()) end_phase(phase, event);
}

// The running capture ends in `phase`; waits for the capture's end wake up.
void Device::end_phase(Phase phase, unsigned event) {
    phase_ = phase;
    events_ |= event;
    raise_event(kEventCaptureEnd);
}

void Device::abort_after(std::unique_lock<std::mutex>& lock, unsigned frames) {
    if (!running()) return;
    if (frames == 0) {
        end_capture(lock, Phase::Aborted, kAborted);
        return;
    }
    // The capture may still complete `frames` frames, counted from now.
    const unsigned long long target = static_cast<unsigned long long>(total_) + frames;
    abort_at_ = static_cast<unsigned>(std::min<unsigned long long>(target, UINT_MAX));
}

void Device::force_trigger(const char* op) {
    if (!running()) fail(ExStatus::NotRunning, op, "no capture is running");
    if (trigger_mode_ == 0) return;   // a free-running camera ignores triggers
    accept_trigger(clock::now());
}

// A wired edge is a trigger only for a capture waiting for external ones.
void Device::external_trigger(TimePoint at) {
    if (running() && trigger_mode_ == 2) accept_trigger(at);
}

// The frame of a trigger at `at` comes one exposure later.
void Device::accept_trigger(TimePoint at) {
    if (trigger_masked_) return;      // dropped until the mask is cleared
    // TriggerMaskMode 1 (KTX22): each accepted trigger masks the next ones.
    if (settings.number_or("TriggerMaskMode", 0) != 0) trigger_masked_ = true;
    // In time order, though edges of wires written from two threads may
    // reach the board the other way round.
    const TimePoint due = at + std::chrono::microseconds(settings.number("ExposureTime"));
    triggers_.insert(std::upper_bound(triggers_.begin(), triggers_.end(), due), due);
    raise_event(kEventTrigger);
    changed.notify_all();
}

// Ends any capture, drops the scheduled events and stops the worker.
void Device::halt() {
    std::unique_lock<std::mutex> lock(mutex);
    timed_.clear();
    end_capture(lock, Phase::Aborted, kAborted);
    stop_worker(lock);
}

// ---- the worker and the clock -------------------------------------------------------------

void Device::ensure_worker(const char* op) {
    if (worker_.joinable()) return;
    if (worker_quit_) fail(ExStatus::DeviceBusy, op, "the board is being reset");
    try {
        worker_ = std::thread(&Device::serve, this);
    } catch (const std::system_error&) {  // GCOVR_EXCL_START: only when the system has no thread left
        fail(ExStatus::OutOfResources, op, "no thread for the board");
    }  // GCOVR_EXCL_STOP
}

// The worker needs the mutex to finish, so it is released meanwhile.
void Device::stop_worker(std::unique_lock<std::mutex>& lock) {
    if (!worker_.joinable()) return;
    worker_quit_ = true;
    changed.notify_all();
    std::thread finished = std::move(worker_);
    lock.unlock();
    finished.join();
    lock.lock();
    worker_quit_ = false;
}

// On the real clock: sleeps until the next thing falls due and delivers it.
// A camera faster than the machine keeps it busy; the lock is let go after
// every round, so that the board's callers (and halt) are not shut out.
// The worker never moves the virtual clock: whether the clock is real is
// decided together with what is done on it (clock::on_real_clock), and its
// sleep on the real clock ends when the clocks are switched.
void Device::serve() {
#ifdef __linux__
    // Frames may be microseconds apart: no timer slack on the worker's sleeps.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::unique_lock<std::mutex> lock(mutex);
    while (!worker_quit_) {
        std::optional<TimePoint> sleep_to;
        bool idle = true;
        clock::on_real_clock([&](TimePoint now) { serve_round(now, sleep_to, idle); });
        if (idle) {
            changed.wait(lock);
        } else if (sleep_to) {
            clock::sleep_real_until(lock, changed, *sleep_to);
        } else {
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
        }
    }
}

// One decision of the worker on the real clock at `now`: nothing to do
// (idle), a sleep until something falls due, or a round delivered.
void Device::serve_round(TimePoint now, std::optional<TimePoint>& sleep_to, bool& idle) {
    const auto due = next_due_locked();
    idle = !due;
    if (!due) return;
    if (now < *due) {
        sleep_to = due;
    } else {
        deliver_due_locked(now, true);
    }
}

std::optional<TimePoint> Device::next_due() {
    std::lock_guard<std::mutex> lock(mutex);
    return next_due_locked();
}

// The virtual clock delivers everything due by `now`, each frame on its own
// schedule, however long the stretch of time.
void Device::deliver_due(TimePoint now) {
    std::lock_guard<std::mutex> lock(mutex);
    deliver_due_locked(now, false);
}

void Device::clock_changed() {
    std::lock_guard<std::mutex> lock(mutex);
    changed.notify_all();
}

// Without a camera signal no frames come: a free-running camera's are not
// even due until it returns, a whole period before the first.
void Device::set_signal(bool connected) {
    if (connected && !signal) next_due_ = clock::now() + period_;
    signal = connected;
    changed.notify_all();
}

std::optional<TimePoint> Device::next_frame_due() const {
    if (!running()) return std::nullopt;
    // The PG unit paces a free-running camera: no frames while it is stopped.
    if (trigger_mode_ == 0) {
        return pg_stopped_ || !signal ? std::nullopt : std::optional<TimePoint>(next_due_);
    }
    if (triggers_.empty()) return std::nullopt;
    return triggers_.front();
}

// Scheduled events and responder replies still to come.
std::optional<TimePoint> Device::next_timed_due() const {
    std::optional<TimePoint> due;
    if (!timed_.empty()) due = timed_.begin()->first;
    if (!serial.replies.empty() && (!due || serial.replies.begin()->first < *due)) {
        due = serial.replies.begin()->first;
    }
    return due;
}

std::optional<TimePoint> Device::next_due_locked() const {
    std::optional<TimePoint> due = next_frame_due();
    const std::optional<TimePoint> timed = next_timed_due();
    if (timed && (!due || *timed < *due)) due = timed;
    return due;
}

// Scheduled events and replies due by `now`, in time order (before a frame
// due at the same time), and the frames due by then among them.
void Device::deliver_due_locked(TimePoint now, bool one_round) {
    // Nothing due is the latest time there is, so that one comparison
    // orders the two kinds (plain values: g++'s sanitizer builds misread
    // the optionals' flags as maybe uninitialized).
    constexpr TimePoint never = TimePoint::max();
    bool frames_delivered = false;
    for (;;) {
        const TimePoint frame_at =
            one_round && frames_delivered ? never : next_frame_due().value_or(never);
        const TimePoint timed_at = next_timed_due().value_or(never);
        const bool timed_due = timed_at != never && timed_at <= now;
        if (timed_due && timed_at <= frame_at) {
            fire_next_timed();
        } else if (frame_at != never && frame_at <= now) {
            // Frames strictly before the next timed thing, which comes first.
            deliver_frames_due(timed_due ? timed_at - clock::Duration(1) : now, !one_round);
            frames_delivered = true;
        } else {
            return;
        }
    }
}

// Frames that fell due while the worker was held up are delivered together;
// the largest such round is the schedule peak. Frames delivered on schedule
// (the virtual clock) each came at their own time: a round of them counts as
// one, except triggers that fell due at the same moment.
void Device::deliver_frames_due(TimePoint now, bool on_schedule) {
    unsigned due = 0;
    if (trigger_mode_ == 0) {
        const auto late = now - next_due_;
        due = static_cast<unsigned>(std::min<long long>(late / period_ + 1, 1 << 30));
        next_due_ += period_ * due;
        return deliver(due, on_schedule);
    }
    const TimePoint first = triggers_.front();
    for (; !triggers_.empty() && triggers_.front() <= now; ++due) {
        if (on_schedule && triggers_.front() != first) break;
        triggers_.pop_front();
    }
    deliver(due, false);
}

void Device::deliver(unsigned due, bool on_schedule) {
    // Without a camera signal triggered frames are lost.
    if (!signal) return;
    // A round ends early at the frame count asked for (SetNum) or at an abort
    // after frames; only the frames that really come are weighed for drawing.
    if (limit_ != 0) due = std::min(due, limit_ > total_ ? limit_ - total_ : 0u);
    if (abort_at_ != 0) due = std::min(due, abort_at_ > total_ ? abort_at_ - total_ : 0u);
    // Frames that later frames of this round overwrite in the ring are
    // counted but not drawn; the capture cannot end among them, since the
    // round was cut at its end.
    const unsigned undrawn = due > ring_.size() ? due - static_cast<unsigned>(ring_.size()) : 0u;
    unsigned delivered = count_undrawn(undrawn);
    for (unsigned i = delivered; i < due && running(); ++i) {
        if (!deliver_one()) break;
        ++delivered;
        if (limit_ != 0 && total_ >= limit_) {
            end_phase(Phase::Finished, kFinished);
        } else if (abort_at_ != 0 && total_ >= abort_at_) {
            end_phase(Phase::Aborted, kAborted);
        }
    }
    peak_ = std::max(peak_, saturated(on_schedule ? std::min(delivered, 1u) : delivered));
    changed.notify_all();
}

// Counts `frames` frames into the ring without drawing them, at a cost that
// does not grow with their number. A frame that a later one overwrites
// undrawn still needs its image alive: no frame is counted into a destroyed
// image, and the capture ends at the first that would be.
unsigned Device::count_undrawn(unsigned frames) {
    if (frames == 0) return 0;
    const std::size_t reach = std::min<std::size_t>(frames, ring_.size());
    for (std::size_t j = 0; j < reach; ++j) {
        const LockedImage& slot = ring_[(next_index_ + j) % ring_.size()];
        if (!with_live_object(slot.address, slot.ident, [] {})) {
            record_frames(static_cast<unsigned>(j));
            end_phase(Phase::Aborted, kImageLost | kAborted);
            return static_cast<unsigned>(j);
        }
    }
    record_frames(frames);
    return frames;
}

// The next `frames` frames are in: counts, frame numbers of the images they
// went to, the encoder's motion and the frame events.
void Device::record_frames(unsigned frames) {
    if (frames == 0) return;
    const std::size_t size = ring_.size();
    for (std::size_t j = frames > size ? frames - size : 0; j < frames; ++j) {
        ring_[(next_index_ + j) % size].frame_no = total_ + static_cast<unsigned>(j) + 1u;
    }
    total_ += frames;
    lines_ += static_cast<long long>(frames) * frame_lines_;
    events_ |= kFrameDone;
    next_index_ = (next_index_ + frames) % size;
    move_encoder_for_frames(total_ - frames, frames);
    event_count_[kEventFrame] += frames;
    changed.notify_all();
}

// The encoder's motion for `frames` frames after frame `before`: the speed
// per frame, or the steps a replay gave (frame n moves steps[(n - 1) mod
// their count]). Steps that all go one way move as one sum, at a cost that
// does not grow with the frames; steps that change direction move frame by
// frame, since the sampling remainder carried from one pulse to the next
// depends on the direction of each move.
void Device::move_encoder_for_frames(unsigned before, unsigned frames) {
    if (encoder_steps.empty()) {
        move_encoder(static_cast<long long>(encoder_speed) * frames);
        return;
    }
    const std::size_t count = encoder_steps.size();
    const bool forwards = std::all_of(encoder_steps.begin(), encoder_steps.end(), [](int s) { return s >= 0; });
    const bool backwards = std::all_of(encoder_steps.begin(), encoder_steps.end(), [](int s) { return s <= 0; });
    if (!forwards && !backwards) {
        for (unsigned f = 0; f < frames; ++f) move_encoder(encoder_steps[(before + f) % count]);
        return;
    }
    long long cycle = 0;
    for (int step : encoder_steps) cycle += step;
    long long pulses = cycle * static_cast<long long>(frames / count);
    for (unsigned f = 0; f < frames % count; ++f) pulses += encoder_steps[(before + f) % count];
    move_encoder(pulses);
}

bool Device::deliver_one() {
    LockedImage& slot = ring_[next_index_];
    const unsigned frame = total_ + 1;
    const bool alive = with_live_object(slot.address, slot.ident, [&] { draw(*slot.image, frame); });
    if (!alive) {
        end_phase(Phase::Aborted, kImageLost | kAborted);
        return false;
    }
    record_frames(1);
    return true;
}

// Frame n of a capture is user frame (n - 1) mod their count, as it is.
void Device::draw(CxImage& image, unsigned frame) {
    if (!user_frames) return model.draw(image, frame, frame_bits_, *this);
    const auto& frames = user_frames->frames;
    const std::vector<unsigned char>& bytes = frames[(frame - 1) % frames.size()];
    if (image.Address() != nullptr && image.Size() == bytes.size()) {
        std::memcpy(image.Address(), bytes.data(), bytes.size());
    }
}

// ---- waits and status --------------------------------------------------------------

namespace {

// Waits for the next change; fails when no frame arrived within the board's
// time-out, counted afresh from each frame.
struct FrameWatch {
    clock::Duration timeout;
    TimePoint deadline;
    unsigned seen;

    void wait(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, unsigned total,
              const char* op) {
        if (total != seen) {
            seen = total;
            deadline = clock::now() + timeout;
        } else if (clock::now() >= deadline) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count();
            fail(ExStatus::Timeout, op, "no frame within " + std::to_string(ms) + " ms");
        }
        clock::sleep_until(lock, changed, deadline);
    }
};

}  // namespace

// What a wait on a capture that is not running reports: one that was never
// started (NotRunning) or was aborted (Aborted, naming a destroyed locked
// image where that was the cause) fails; one that finished or was stopped
// took what it was going to, and the wait succeeds.
void Device::report_end(const char* op) const {
    if (phase_ == Phase::Idle) fail(ExStatus::NotRunning, op, "no capture was started");
    if (phase_ != Phase::Aborted) return;
    if ((events_ & kImageLost) != 0) {
        fail(ExStatus::Aborted, op, "the capture was aborted: a locked image was destroyed");
    }
    fail(ExStatus::Aborted, op, "the capture was aborted");
}

void Device::wait_end(std::unique_lock<std::mutex>& lock, const char* op) {
    if (!running()) return report_end(op);
    const auto timeout = std::chrono::milliseconds(settings.number("Timeout"));
    FrameWatch watch{timeout, clock::now() + timeout, total_};
    // A continuous capture never ends by itself: waiting means the next frame.
    const bool continuous = limit_ == 0 && abort_at_ == 0;
    const unsigned start = total_;
    while (running() && !(continuous && total_ > start)) watch.wait(lock, changed, total_, op);
    if (!(continuous && total_ > start)) report_end(op);
}

bool Device::wait_end_for(std::unique_lock<std::mutex>& lock, int milliseconds, const char* op) {
    if (milliseconds < 0) fail(ExStatus::InvalidArgument, op, "negative time-out");
    if (!running()) {
        report_end(op);
        return true;
    }
    const auto deadline = clock::now() + std::chrono::milliseconds(milliseconds);
    const bool continuous = limit_ == 0 && abort_at_ == 0;
    const unsigned start = total_;
    const bool ended = clock::wait_until(lock, changed, deadline, [&] {
        return !running() || (continuous && total_ > start);
    });
    if (ended && !(continuous && total_ > start)) report_end(op);
    return ended;
}

void Device::wait_frame(std::unique_lock<std::mutex>& lock, unsigned frame, const char* op) {
    const auto timeout = std::chrono::milliseconds(settings.number("Timeout"));
    FrameWatch watch{timeout, clock::now() + timeout, total_};
    while (total_ < frame) {
        if (phase_ == Phase::Aborted) report_end(op);
        if (!running()) {
            fail(ExStatus::NotRunning, op,
                 "frame " + std::to_string(frame) + " will not come: no capture is running");
        }
        watch.wait(lock, changed, total_, op);
    }
}

CaptureCounts Device::status() const {
    CaptureCounts counts;
    counts.total = total_;
    counts.amount_in_frame = total_ > 0 ? static_cast<unsigned>(frame_lines_) : 0u;
    counts.last_frame_no = total_;
    counts.line_count = saturated(lines_);
    counts.peak = peak_;
    counts.events = events_;
    counts.phase = phase_;
    return counts;
}

CaptureCounts Device::status_of(unsigned index, const char* op) const {
    if (index >= ring_.size()) {
        fail(ExStatus::InvalidArgument, op,
             "index " + std::to_string(index) + " is beyond the " + std::to_string(ring_.size()) +
                 " locked images");
    }
    CaptureCounts result = status();
    result.last_frame_no = ring_[index].frame_no;
    return result;
}

}  // namespace vkt::sim::grabber
