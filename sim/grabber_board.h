// What the simulated grabber board objects (CxKTX21, CxKTX22) share: the
// handle they hold, binding it to a board, camera files, image arrays in the
// journal and the operations whose work is the same for every model.
#pragma once

#include <string>
#include <vector>

#include "grabber_device.h"

namespace vkt::sim::grabber {

// The device of a board bound to one (opened or not), locked.
Access bound_board(const void* handle, const char* op);
// The same, and the board must be open.
Access open_board(const void* handle, const char* op);

// Camera file paths as UTF-8; a null path is the library's error.
std::string narrow_path(const char* path, const char* op);
std::string wide_path(const wchar_t* path, const char* op);

// Applies a camera file to an open board, all or nothing.
void apply_camera_file(Device& device, const std::string& path, const char* op);
void save_camera_file(const void* handle, const std::string& path, const char* op);

// Binds `handle` to board `id`, channel `ch` of `model` and opens it.
void open_handle(Handle& handle, const Model& model, int id, int ch, const char* op);
// Opens a board for a new board object and applies the camera file; a file
// that cannot be applied leaves the board closed.
void open_from_file(void* handle, const Model& model, const std::string& path, int id, int ch,
                    const char* op);

// Releases the board (ending its capture and closing it); the object stays.
void dispose_handle(void* handle);
bool handle_valid(const void* handle);
bool handle_opened(const void* handle);
bool handle_running(const void* handle);
bool same_board(const void* handle, const void* other);

// An image array as the journal records it (nothing is read through a null
// array or a negative count).
Value image_list(CxImage* const* images, int count);

// Checks an image array (the list form of Validate).
void validate_images(Device& device, CxImage** images, int count, const char* op);

// The fields of a scripted record; a tuple of another length is refused.
const std::vector<Value>& scripted_fields(const Call& call, std::size_t count);

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

}  // namespace vkt::sim::grabber
