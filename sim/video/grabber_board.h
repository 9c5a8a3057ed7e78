// The operations of the simulated grabber board objects (CxKTX21, CxKTX22,
// CxMR250), written once for every model.
//
// A board object holds an opaque handle (a Handle: the device it is bound
// to, if any). Each public operation of a board journals its call, then
// hands the call and its handle to the function of the same name here, which
// honours a scripted answer and otherwise works on the board's device.
#pragma once

#include <string>
#include <vector>

#include "video/grabber_device.h"

namespace vkt::sim::grabber {

using Guard = std::unique_lock<std::mutex>;

// ---- handles ---------------------------------------------------------------------

// A new handle for the board object of `model` at `board`: unbound, or
// sharing the board of `other` (a copy). The board is registered for
// companions and vktsim.
void* new_handle(const void* board, const Model& model, const void* other = nullptr);
// Takes over the handle of the board object at `from`, which is left unbound.
void* take_handle(const void* board, const Model& model, const void* from, void*& from_handle);
void delete_handle(const void* board, void* handle);

// The device of a board bound to one (opened or not), locked.
Access bound_board(const void* handle, const char* op);
// The same, and the board must be open.
Access open_board(const void* handle, const char* op);

// ---- camera files --------------------------------------------------------------

// Camera file paths as UTF-8; a null path or one that is not valid text is
// the library's error.
std::string path_of(const char* path, const char* op);
std::string path_of(const wchar_t* path, const char* op);

// Binds a new board object's handle to board `id`, channel `ch` of `model`,
// opens it and applies the camera file; a file that cannot be applied
// leaves it closed.
void open_from_file(void* handle, const Model& model, const std::string& path, int id, int ch,
                    const char* op);

// The same for a factory's call, unless it was scripted.
template <class Char>
void open_from_file(const Call& call, void* handle, const Model& model, const Char* path, int id,
                    int ch) {
    if (call.scripted()) return;
    open_from_file(handle, model, path_of(path, call.operation()), id, ch, call.operation());
}

void setup(const Call& call, const void* handle, const std::string& path);
void save(const Call& call, const void* handle, const std::string& path);

template <class Char>
void setup(const Call& call, const void* handle, const Char* path) {
    if (!call.scripted()) setup(call, handle, path_of(path, call.operation()));
}

template <class Char>
void save(const Call& call, const void* handle, const Char* path) {
    if (!call.scripted()) save(call, handle, path_of(path, call.operation()));
}

// ---- the board ---------------------------------------------------------------------

// Two board objects are equal when they refer to the same board.
bool equal(const Call& call, const void* handle, const void* other);
bool unequal(const Call& call, const void* handle, const void* other);
// Releases the board (ending its capture and closing it); the object stays.
void dispose(const Call& call, void* handle);
bool is_valid(const Call& call, const void* handle);
void open(const Call& call, void* handle, const Model& model, int id, int ch);
void close(const Call& call, const void* handle);
bool is_opened(const Call& call, const void* handle);

// ---- images ------------------------------------------------------------------------

// An image array as the journal records it (nothing is read through a null
// array or a negative count).
Value image_list(CxImage* const* images, int count);

void validate(const Call& call, const void* handle, CxImage& image);
void validate(const Call& call, const void* handle, CxImage* const* images, int count);
void lock(const Call& call, const void* handle, CxImage* const* images, int count);
void unlock(const Call& call, const void* handle);

// ---- capture -----------------------------------------------------------------------

void start(const Call& call, const void* handle);
void stop(const Call& call, const void* handle);
void abort_after(const Call& call, const void* handle, unsigned int frames);
void wait(const Call& call, const void* handle);
bool is_running(const Call& call, const void* handle);
int status(const Call& call, const void* handle);
void force_trigger(const Call& call, const void* handle);
void set_num(const Call& call, const void* handle, int frames);
int get_num(const Call& call, const void* handle);
void set_lock_id(const Call& call, const void* handle, int index);
int get_lock_id(const Call& call, const void* handle);

// Does an operation's work on the open board unless a test scripted it.
template <class Work>
void on_open_board(const Call& call, const void* handle, Work work) {
    if (call.scripted()) return;
    Access board = open_board(handle, call.operation());
    work(*board.device, board.lock);
}

// The same for an operation with a result; `scripted` makes it from the
// scripted value.
template <class Scripted, class Work>
auto result_of_open_board(const Call& call, const void* handle, Scripted scripted, Work work) {
    if (call.scripted()) return scripted(call);
    Access board = open_board(handle, call.operation());
    return work(*board.device, board.lock);
}

// ---- capture-status records ----------------------------------------------------------

// The fields of a scripted record; a tuple of another length is refused.
const std::vector<Value>& scripted_fields(const Call& call, std::size_t count);

// How a model's capture-status record is made: from a capture's counts
// (`of`) and from the fields a test scripted (`scripted`).
template <class Record>
struct StatusRecord;

// The KTX21's and MR250's record: six fields, with the largest transfer
// round and the capture's event bits.
template <class Record>
struct SixFieldRecord {
    static Record of(const CaptureCounts& counts) {
        return Record(counts.total, counts.amount_in_frame, counts.last_frame_no,
                      counts.line_count, counts.peak, counts.events);
    }
    static Record scripted(const Call& call) {
        const auto& f = scripted_fields(call, 6);
        return Record(static_cast<unsigned>(f[0].integer), static_cast<unsigned>(f[1].integer),
                      static_cast<unsigned>(f[2].integer), static_cast<int>(f[3].integer),
                      static_cast<int>(f[4].integer), static_cast<unsigned>(f[5].integer));
    }
};

template <>
struct StatusRecord<Video::TxKTX21CaptureStatus> : SixFieldRecord<Video::TxKTX21CaptureStatus> {};
template <>
struct StatusRecord<Video::TxMR250CaptureStatus> : SixFieldRecord<Video::TxMR250CaptureStatus> {};

// The status once the capture ended (or, when continuous, at the next frame).
template <class Record>
Record wait_status(const Call& call, const void* handle) {
    return result_of_open_board(call, handle, StatusRecord<Record>::scripted,
                                [&](Device& device, Guard& lock) {
                                    device.wait_end(lock, call.operation());
                                    return StatusRecord<Record>::of(device.status());
                                });
}

// The status once frame `frame` is in.
template <class Record>
Record wait_status(const Call& call, const void* handle, unsigned int frame) {
    return result_of_open_board(call, handle, StatusRecord<Record>::scripted,
                                [&](Device& device, Guard& lock) {
                                    device.wait_frame(lock, frame, call.operation());
                                    return StatusRecord<Record>::of(device.status());
                                });
}

template <class Record>
Record query_status(const Call& call, const void* handle) {
    return result_of_open_board(call, handle, StatusRecord<Record>::scripted,
                                [](Device& device, Guard&) {
                                    return StatusRecord<Record>::of(device.status());
                                });
}

// The status with the frame number the locked image `index` holds.
template <class Record>
Record query_status(const Call& call, const void* handle, unsigned int index) {
    return result_of_open_board(call, handle, StatusRecord<Record>::scripted,
                                [&](Device& device, Guard&) {
                                    return StatusRecord<Record>::of(
                                        device.status_of(index, call.operation()));
                                });
}

}  // namespace vkt::sim::grabber

// The operations every board class (CxKTX21, CxKTX22, CxMR250) has alike:
// construction, equality, lifetime, saving camera files, images, capture
// control, frames per capture and the first image. `handle_` holds a Handle.
#define VKT_SIM_GRABBER_BOARD(Class, Model)                                                      \
    Class::Class() : handle_(sim::grabber::new_handle(this, Model)) { sim::track(this); }       \
    Class::Class(const Class& other)                                                             \
        : handle_(sim::grabber::new_handle(this, Model, other.handle_)) {                        \
        sim::track(this);                                                                        \
    }                                                                                            \
    /* The moved-from object keeps no handle: it is unbound. */                                  \
    Class::Class(Class&& other) noexcept                                                         \
        : handle_(sim::grabber::take_handle(this, Model, &other, other.handle_)) {               \
        sim::track(this);                                                                        \
    }                                                                                            \
    Class::~Class() {                                                                            \
        sim::untrack(this);                                                                      \
        sim::grabber::delete_handle(this, handle_);                                              \
    }                                                                                            \
    bool Class::operator==(const Class& other) const {                                          \
        return sim::grabber::equal(                                                              \
            sim::Call(#Class "::operator==", sim::object(this), sim::object(&other)), handle_,   \
            other.handle_);                                                                      \
    }                                                                                            \
    bool Class::operator!=(const Class& other) const {                                          \
        return sim::grabber::unequal(                                                            \
            sim::Call(#Class "::operator!=", sim::object(this), sim::object(&other)), handle_,   \
            other.handle_);                                                                      \
    }                                                                                            \
    void Class::Dispose() {                                                                      \
        sim::grabber::dispose(sim::Call(#Class "::Dispose", sim::object(this)), handle_);        \
    }                                                                                            \
    bool Class::IsValid() const {                                                                \
        return sim::grabber::is_valid(sim::Call(#Class "::IsValid", sim::object(this)), handle_);   \
    }                                                                                            \
    void Class::Open(int id, int ch) {                                                           \
        sim::grabber::open(                                                                      \
            sim::Call(#Class "::Open", sim::object(this), sim::number(id), sim::number(ch)),     \
            handle_, Model, id, ch);                                                             \
    }                                                                                            \
    void Class::Close() {                                                                        \
        sim::grabber::close(sim::Call(#Class "::Close", sim::object(this)), handle_);            \
    }                                                                                            \
    bool Class::IsOpened() const {                                                               \
        return sim::grabber::is_opened(sim::Call(#Class "::IsOpened", sim::object(this)),        \
                                       handle_);                                                 \
    }                                                                                            \
    void Class::Save(const char* camerafile) const {                                             \
        sim::grabber::save(                                                                      \
            sim::Call(#Class "::Save", sim::object(this), sim::bytes(camerafile)), handle_,      \
            camerafile);                                                                         \
    }                                                                                            \
    void Class::SaveW(const wchar_t* camerafile) const {                                         \
        sim::grabber::save(                                                                      \
            sim::Call(#Class "::SaveW", sim::object(this), sim::wide(camerafile)), handle_,      \
            camerafile);                                                                         \
    }                                                                                            \
    void Class::Validate(CxImage& image) {                                                       \
        sim::grabber::validate(                                                                  \
            sim::Call(#Class "::Validate", sim::object(this), sim::object(&image)), handle_,     \
            image);                                                                              \
    }                                                                                            \
    void Class::Validate(CxImage** images, int count) {                                          \
        sim::grabber::validate(sim::Call(#Class "::Validate",                                    \
                                         sim::object(this),                                      \
                                          sim::grabber::image_list(images, count),               \
                                          sim::number(count)),                                   \
                               handle_, images, count);                                          \
    }                                                                                            \
    /* The board writes into locked images; the image stays its owner's. */                      \
    void Class::Lock(const CxImage& image, int option) {                                         \
        CxImage* one = const_cast<CxImage*>(&image);                                             \
        sim::grabber::lock(sim::Call(#Class "::Lock", sim::object(this), sim::object(&image),    \
                                                       sim::number(option)),                     \
                           handle_, &one, 1);                                                    \
    }                                                                                            \
    void Class::Lock(CxImage** images, int count, int option) {                                  \
        sim::grabber::lock(sim::Call(#Class "::Lock",                                            \
                                     sim::object(this), sim::grabber::image_list(images, count),  \
                                      sim::number(count), sim::number(option)),                  \
                           handle_, images, count);                                              \
    }                                                                                            \
    void Class::Unlock() {                                                                       \
        sim::grabber::unlock(sim::Call(#Class "::Unlock", sim::object(this)), handle_);          \
    }                                                                                            \
    void Class::Start() {                                                                        \
        sim::grabber::start(sim::Call(#Class "::Start", sim::object(this)), handle_);            \
    }                                                                                            \
    void Class::Stop() {                                                                         \
        sim::grabber::stop(sim::Call(#Class "::Stop", sim::object(this)), handle_);              \
    }                                                                                            \
    void Class::Abort() {                                                                        \
        sim::grabber::abort_after(sim::Call(#Class "::Abort", sim::object(this)), handle_, 0);   \
    }                                                                                            \
    void Class::Wait() {                                                                         \
        sim::grabber::wait(sim::Call(#Class "::Wait", sim::object(this)), handle_);              \
    }                                                                                            \
    bool Class::IsRunning() const {                                                              \
        return sim::grabber::is_running(sim::Call(#Class "::IsRunning", sim::object(this)),      \
                                        handle_);                                                \
    }                                                                                            \
    int Class::Status() {                                                                        \
        return sim::grabber::status(sim::Call(#Class "::Status", sim::object(this)), handle_);   \
    }                                                                                            \
    void Class::SetNum(int frames) {                                                             \
        sim::grabber::set_num(                                                                   \
            sim::Call(#Class "::SetNum", sim::object(this), sim::number(frames)), handle_,       \
            frames);                                                                             \
    }                                                                                            \
    int Class::GetNum() const {                                                                  \
        return sim::grabber::get_num(sim::Call(#Class "::GetNum", sim::object(this)), handle_);   \
    }                                                                                            \
    void Class::SetLockId(int index) {                                                           \
        sim::grabber::set_lock_id(                                                               \
            sim::Call(#Class "::SetLockId", sim::object(this), sim::number(index)), handle_,     \
            index);                                                                              \
    }                                                                                            \
    int Class::GetLockId() const {                                                               \
        return sim::grabber::get_lock_id(sim::Call(#Class "::GetLockId", sim::object(this)),     \
                                         handle_);                                               \
    }

// The capture-status forms of the boards with a six-field record (CxKTX21,
// CxMR250), with ForceTrigger and Abort after frames.
#define VKT_SIM_SIX_FIELD_STATUS(Class, Record)                                                  \
    Record Class::WaitStatus() {                                                                 \
        return sim::grabber::wait_status<Record>(                                                \
            sim::Call(#Class "::WaitStatus", sim::object(this)), handle_);                       \
    }                                                                                            \
    Record Class::WaitStatus(unsigned int frame) {                                               \
        return sim::grabber::wait_status<Record>(                                                \
            sim::Call(#Class "::WaitStatus", sim::object(this), sim::number(frame)), handle_,    \
            frame);                                                                              \
    }                                                                                            \
    Record Class::QueryStatus() {                                                                \
        return sim::grabber::query_status<Record>(                                               \
            sim::Call(#Class "::QueryStatus", sim::object(this)), handle_);                      \
    }                                                                                            \
    Record Class::QueryStatus(unsigned int index) {                                              \
        return sim::grabber::query_status<Record>(                                               \
            sim::Call(#Class "::QueryStatus", sim::object(this), sim::number(index)), handle_,   \
            index);                                                                              \
    }                                                                                            \
    void Class::ForceTrigger() {                                                                 \
        sim::grabber::force_trigger(sim::Call(#Class "::ForceTrigger", sim::object(this)),       \
                                    handle_);                                                    \
    }                                                                                            \
    void Class::Abort(unsigned int frames) {                                                     \
        sim::grabber::abort_after(                                                               \
            sim::Call(#Class "::Abort", sim::object(this), sim::number(frames)), handle_,        \
            frames);                                                                             \
    }

// The members of a six-field capture-status record (TxKTX21CaptureStatus,
// TxMR250CaptureStatus).
#define VKT_SIM_SIX_FIELD_RECORD(Record)                                                         \
    Record::Record() : Record(0, 0, 0, 0, 0, 0) {}                                               \
    Record::Record(unsigned int total_frame_count_, unsigned int amount_in_frame_,               \
                   unsigned int last_frame_no_, int line_count_, int dma_schedule_peak_,         \
                   unsigned int capture_event_)                                                  \
        : total_frame_count(total_frame_count_),                                                 \
          amount_in_frame(amount_in_frame_),                                                     \
          last_frame_no(last_frame_no_),                                                         \
          line_count(line_count_),                                                               \
          dma_schedule_peak(dma_schedule_peak_),                                                 \
          capture_event(capture_event_) {}                                                       \
    bool Record::operator==(const Record& other) const {                                        \
        return total_frame_count == other.total_frame_count &&                                   \
               amount_in_frame == other.amount_in_frame &&                                       \
               last_frame_no == other.last_frame_no && line_count == other.line_count &&         \
               dma_schedule_peak == other.dma_schedule_peak &&                                   \
               capture_event == other.capture_event;                                             \
    }                                                                                            \
    bool Record::operator!=(const Record& other) const { return !(*this == other); }
