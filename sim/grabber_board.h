// The operations of the simulated grabber board objects (CxKTX21, CxMR250),
// written once for every model.
//
// A board object holds an opaque handle (a Handle: the device it is bound
// to, if any). Each public operation of a board journals its call, then
// hands the call and its handle to the function of the same name here, which
// honours a scripted answer and otherwise works on the board's device.
#pragma once

#include <string>

#include "ktx21_device.h"

namespace vkt::sim::grabber {

// The device core serves every model.
using ktx21::Device;
using ktx21::Handle;
using ktx21::Model;

// ---- handles ---------------------------------------------------------------------

// A new handle for the board object at `board`: unbound, or sharing the
// board of `other` (a copy). The board is registered for companions.
void* new_handle(const void* board, const void* other = nullptr);
// Takes over the handle of the board object at `from`, which is left unbound.
void* take_handle(const void* board, const void* from, void*& from_handle);
void delete_handle(const void* board, void* handle);
// Two handles bound to the same board (or both unbound).
bool same_board(const void* handle, const void* other);

// ---- camera files --------------------------------------------------------------

std::string path_of(const char* path, const char* op);
std::string path_of(const wchar_t* path, const char* op);

// Binds a new board object's handle to board `id`, channel `ch`, opens it and
// applies the camera file; a file that cannot be applied leaves it closed.
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

bool equal(const Call& call, const void* handle, const void* other);
bool unequal(const Call& call, const void* handle, const void* other);
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
void abort(const Call& call, const void* handle);
void abort_after(const Call& call, const void* handle, unsigned int frames);
void wait(const Call& call, const void* handle);
bool is_running(const Call& call, const void* handle);
int status(const Call& call, const void* handle);
void force_trigger(const Call& call, const void* handle);
void set_num(const Call& call, const void* handle, int frames);
int get_num(const Call& call, const void* handle);
void set_lock_id(const Call& call, const void* handle, int index);
int get_lock_id(const Call& call, const void* handle);

// The capture status, in the counts every model's record holds (the
// scripted ones when the call was scripted).
using Counts = Video::TxKTX21CaptureStatus;
Counts wait_status(const Call& call, const void* handle);
Counts wait_status(const Call& call, const void* handle, unsigned int frame);
Counts query_status(const Call& call, const void* handle);
Counts query_status(const Call& call, const void* handle, unsigned int index);

// A record of six fields from a scripted tuple.
Counts scripted_counts(const Call& call);

// The counts as a model's own record type.
template <class Record>
Record as_record(const Counts& counts) {
    return Record(counts.total_frame_count, counts.amount_in_frame, counts.last_frame_no,
                  counts.line_count, counts.dma_schedule_peak, counts.capture_event);
}

}  // namespace vkt::sim::grabber
