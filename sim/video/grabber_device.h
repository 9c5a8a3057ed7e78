// One simulated grabber channel, of any model (grabber_model.h): its
// settings, capture engine, board events, encoder counters, camera serial
// line and registers.
//
// Every member runs under the device's mutex: the operations of the library
// objects take it for their whole call (a wait lets it go while it sleeps),
// and the worker or the virtual clock take it for each round of frames and
// events. Lock order: the clock's list of sources, then the device mutex,
// then the library's object registry (sim::with_live_object), never the
// other way round; nothing holding a device mutex moves the clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "core/control.h"
#include "core/state.h"
#include "video/grabber_model.h"
#include "vkt/vkt.h"

namespace vkt::sim::grabber {

using clock::TimePoint;

// capture_event bits and Status() codes of the simulated board.
enum CaptureEvent : unsigned {
    kFrameDone = 0x1,     // at least one frame completed
    kFinished = 0x2,      // the frames asked for (SetNum) are all in
    kStopped = 0x4,
    kAborted = 0x8,
    kImageLost = 0x10,    // a locked image was destroyed during the capture
};

enum class Phase { Idle = 0, Running = 1, Finished = 2, Stopped = 3, Aborted = 4 };

// Board events that WaitEvent waits for.
enum BoardEvent : int {
    kEventFrame = 0,        // a frame completed
    kEventCaptureEnd = 1,   // a capture ended (finished, stopped or aborted)
    kEventTrigger = 2,      // a trigger was accepted
    kEventExternal = 3,     // the external event input (raised from vktsim)
    kBoardEvents = 4,
};

// A capture's progress, which each model reports in its own record.
struct CaptureCounts {
    unsigned total = 0;
    unsigned amount_in_frame = 0;
    unsigned last_frame_no = 0;
    int line_count = 0;
    int peak = 0;
    unsigned events = 0;
    Phase phase = Phase::Idle;
};

struct LockedImage {
    CxImage* image;
    const void* address;     // its complete object, as the registry knows it
    std::uint64_t ident;     // the image's identity when it was locked
    unsigned frame_no = 0;   // number of the frame it holds (0: none yet)
};

struct EncoderCounters {
    long long total = 0;
    unsigned rel = 0;
    // Pulses the relative counter has counted, never wrapping: the match
    // counter's crossings are judged on it, so that they do not depend on
    // how the motion was cut into moves.
    unsigned long long rel_pulses = 0;
    unsigned match = 0;
    long long abs = 0;
    bool abs_running = false;
    bool overflow = false;
    bool underflow = false;
    long long sample_rest = 0;   // pulses not yet counted because of ENCSampling
    long long position = 0;      // A/B edges seen, counted or not (input levels)
    bool counting = true;        // models that count only once started begin false
};

struct SerialLine {
    bool opened = false;
    SerialResponder responder;             // empty: the built-in camera answers
    clock::Duration reply_delay{};
    std::multimap<TimePoint, std::string> replies;   // responder replies not yet arrived
    std::deque<char> rx;      // camera to board, waiting to be read
    std::string command;      // what the camera has received of the current line
    std::string received;     // everything the camera received, for vktsim
};

// Rows a model prepared for drawing its test pattern, reused for as long as
// what they were made from (`key`) stays the same.
struct PreparedRows {
    std::vector<unsigned char> bytes;
    std::vector<long long> key;
};

// Frames the user supplied (vktsim.set_frames): packed rows of `depth`-bit
// samples, each frame width x height, copied into the images as they are.
struct UserFrames {
    int width = 0;
    int height = 0;
    int depth = 8;
    std::vector<std::vector<unsigned char>> frames;
};

// One board channel. Its worker thread (started by the first capture or
// scheduled event, kept until the board halts) delivers frames and scheduled
// events on the real clock; on the virtual clock the clock delivers them as
// it moves, and the worker idles.
class Device final : private clock::Timed {
public:
    Device(const Model& model, int id, int ch);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const Model& model;
    const int id;
    const int ch;
    std::mutex mutex;
    std::condition_variable changed;   // frames, phases, events, serial bytes

    // ---- all below: hold `mutex` ----
    bool opened = false;
    Settings settings;
    std::map<unsigned, unsigned> registers;
    EncoderCounters encoder;
    int encoder_speed = 100;   // pulses per captured frame (vktsim can change it)
    // Pulses per frame that replace encoder_speed when not empty: frame n of
    // a capture moves the encoder by encoder_steps[(n - 1) mod their count],
    // so a recorded line's counts come back frame by frame.
    std::vector<int> encoder_steps;
    SerialLine serial;
    bool signal = true;        // a camera signal reaches the input (set_signal)
    PreparedRows prepared;     // the model's test pattern, ready to copy
    std::shared_ptr<const UserFrames> user_frames;   // null: the test pattern

    // vktsim.set_frames: the frames must fit the camera (invalid_argument
    // otherwise); null brings the test pattern back.
    void set_user_frames(std::shared_ptr<const UserFrames> frames);
    // After a settings change: frames that no longer fit the camera are dropped.
    void drop_unfitting_frames();
    // vktsim: the camera's signal cut or connected again.
    void set_signal(bool connected);

    // Capture (grabber_capture.cpp). `op` names the operation in failures.
    void check_image(const CxImage* image, int position, const char* op) const;
    void lock_images(CxImage* const* images, int count, const char* op);
    void unlock_images(const char* op);
    void start(std::unique_lock<std::mutex>& lock, const char* op);
    void end_capture(std::unique_lock<std::mutex>& lock, Phase phase, unsigned event);
    void abort_after(std::unique_lock<std::mutex>& lock, unsigned frames);
    void force_trigger(const char* op);
    // A rising edge on the external trigger input (a wire) at `at`.
    void external_trigger(TimePoint at);
    // Waits for the capture's end (a continuous one: its next frame); a
    // capture that is not running is reported by report_end.
    void wait_end(std::unique_lock<std::mutex>& lock, const char* op);
    void report_end(const char* op) const;
    // Like wait_end, but gives up after `milliseconds`: false if it did.
    bool wait_end_for(std::unique_lock<std::mutex>& lock, int milliseconds, const char* op);
    void wait_frame(std::unique_lock<std::mutex>& lock, unsigned frame, const char* op);
    CaptureCounts status() const;
    CaptureCounts status_of(unsigned index, const char* op) const;
    Phase phase() const { return phase_; }
    bool running() const { return phase_ == Phase::Running; }

    // Board events, the PG unit, trigger masks and the PLL (grabber_events.cpp).
    void raise_event(int event);
    void cancel_event(int event, const char* op);
    bool wait_event(std::unique_lock<std::mutex>& lock, int event, int milliseconds, int* count,
                    const char* op);
    // vktsim: `event` raised (or its waits cancelled) `delay_ms` from now.
    void schedule_event(int event, int delay_ms, bool cancel);
    void check_channel(int channel, const char* op) const;
    void stop_pg();
    void reset_pg();
    void clear_trigger_mask();
    void pll_reconfig(const char* op);
    void reset_pll();

    // Encoder (grabber_device.cpp); nothing moves on a model without one.
    void move_encoder(long long pulses);
    // vktsim: the encoder moves `pulses_per_second` with time, from now on.
    void set_encoder_rate(long long pulses_per_second);
    // Moves the encoder by what its rate made it move since the last call.
    void catch_up_encoder();
    void start_abs(bool start, long long initial);

    // Serial line (grabber_serial.cpp).
    // A responder is called with `lock` let go, so that it may use the
    // library itself; whatever it throws reaches the caller.
    void serial_send(std::unique_lock<std::mutex>& lock, const char* data, std::size_t size);
    void set_responder(SerialResponder responder, clock::Duration delay);
    void serial_feed(const std::string& bytes);
    bool serial_read_byte(std::unique_lock<std::mutex>& lock, char& byte);
    int serial_read(std::unique_lock<std::mutex>& lock, char* buffer, int count);

    // Closes the board (its capture already ended): serial line, images.
    void close_locked();

    // Back to power-on, ending any capture (takes the mutex itself).
    void power_on();
    // Ends a capture and joins its thread (takes the mutex itself).
    void halt();

private:
    // clock::Timed: frames and scheduled events fall due.
    std::optional<TimePoint> next_due() override;
    void deliver_due(TimePoint now) override;
    void clock_changed() override;

    std::optional<TimePoint> next_due_locked() const;
    std::optional<TimePoint> next_frame_due() const;
    // `one_round`: the real clock's worker, which lets go of the lock after
    // each round of frames; otherwise everything due by `now` is delivered.
    void deliver_due_locked(TimePoint now, bool one_round);
    void deliver_frames_due(TimePoint now, bool on_schedule);
    std::optional<TimePoint> next_timed_due() const;
    void fire_next_timed();
    void accept_trigger(TimePoint at);
    void serve_round(TimePoint now, std::optional<TimePoint>& sleep_to, bool& idle);
    void end_phase(Phase phase, unsigned event);
    void ensure_worker(const char* op);
    void stop_worker(std::unique_lock<std::mutex>& lock);
    void serve();
    void deliver(unsigned frames, bool on_schedule);
    unsigned count_undrawn(unsigned frames);
    void record_frames(unsigned frames);
    void move_encoder_for_frames(unsigned before, unsigned frames);
    bool deliver_one();
    void draw(CxImage& image, unsigned frame);
    std::string ring_problem() const;
    void camera_receives(char byte);
    void camera_answers(const std::string& line);
    void respond(std::unique_lock<std::mutex>& lock, const std::string& request);
    void receive_reply(const std::string& reply);

    std::vector<LockedImage> ring_;
    Phase phase_ = Phase::Idle;
    unsigned total_ = 0;
    long long lines_ = 0;
    int peak_ = 0;
    unsigned events_ = 0;
    unsigned limit_ = 0;            // frames to capture; 0: until stopped
    unsigned abort_at_ = 0;         // abort once this many frames are in; 0: not asked
    std::size_t next_index_ = 0;
    int frame_lines_ = 0;
    int frame_width_ = 0;
    int frame_bits_ = 8;
    clock::Duration period_{};
    int trigger_mode_ = 0;
    TimePoint next_due_;
    std::deque<TimePoint> triggers_;
    bool pg_stopped_ = false;        // the PG unit paces a free-running camera
    bool trigger_masked_ = false;    // TriggerMaskMode 1: masked after each trigger
    unsigned event_count_[kBoardEvents] = {};
    unsigned cancel_count_[kBoardEvents] = {};
    // Events vktsim scheduled: (when, event, cancel).
    std::multimap<TimePoint, std::pair<int, bool>> timed_;
    std::thread worker_;
    bool worker_quit_ = false;
    // set_encoder_rate: pulses per second, the time the rate's motion was
    // last counted to, and the part of a pulse (in pulse-ticks) counted since.
    long long encoder_rate_ = 0;
    TimePoint rate_since_{};
    long long rate_rest_ = 0;

public:
    int num = 0;       // SetNum: frames per capture, 0 for continuous
    int lock_id = 0;   // SetLockId: the locked image the first frame goes to
};

// A device locked for the length of one operation.
struct Access {
    std::shared_ptr<Device> device;
    std::unique_lock<std::mutex> lock;
};

// `device` locked; fails with `op` unless it exists and (if `need_open`) is open.
Access access_device(std::shared_ptr<Device> device, const char* op, bool need_open);

// What a board object (CxKTX21, CxKTX22, CxMR250) holds: the board it is bound to, if
// any. Copies share the board.
struct Handle {
    std::shared_ptr<Device> device;
};

// Live board objects and their handles, so that companions and vktsim can
// reach a board only while it exists.
void register_board(const void* board, Handle* handle, const Model& model);
void unregister_board(const void* board);
std::shared_ptr<Device> device_of(const void* board);   // null: not a live bound board
bool is_board(const void* address);
// The model of the live board object at `address`, or null.
const Model* model_of_board(const void* address);

// The device of board `id`, channel `ch` of `model`: the one already in use,
// or a new powered-on one. Fails with `op` for ids and channels that do not
// exist.
std::shared_ptr<Device> acquire_device(const Model& model, int id, int ch, const char* op);
// The device of board `id`, channel `ch` of `model` if one is in use; null otherwise.
std::shared_ptr<Device> existing_device(const Model& model, int id, int ch);

}  // namespace vkt::sim::grabber
