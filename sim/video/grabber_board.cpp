// The operations of the simulated grabber board objects, shared by every
// model (grabber_board.h).
#include "video/grabber_board.h"

namespace vkt::sim::grabber {

namespace {

// Applies a camera file to an open board, all or nothing.
void apply_camera_file(Device& device, const std::string& path, const char* op) {
    if (device.running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    const auto problem = read_camera_file(path, device.settings);
    if (!problem.text.empty()) {
        fail(problem.missing ? ExStatus::FileError : ExStatus::FormatError, op, problem.text);
    }
    device.drop_unfitting_frames();
}

// Binds `handle` to board `id`, channel `ch` of `model` and opens it.
void open_handle(Handle& handle, const Model& model, int id, int ch, const char* op) {
    if (handle.device) {
        std::lock_guard<std::mutex> lock(handle.device->mutex);
        if (handle.device->opened) fail(ExStatus::DeviceBusy, op, "the board is already open");
    }
    auto device = acquire_device(model, id, ch, op);
    std::lock_guard<std::mutex> lock(device->mutex);
    if (device->opened) {
        fail(ExStatus::DeviceBusy, op,
             "board " + std::to_string(id) + " channel " + std::to_string(ch) +
                 " is already in use");
    }
    device->opened = true;
    handle.device = std::move(device);
}

const Handle* handle_of(const void* handle) { return static_cast<const Handle*>(handle); }

bool same_board(const void* handle, const void* other) {
    const Handle* mine = handle_of(handle);
    const Handle* theirs = handle_of(other);
    return (mine ? mine->device : nullptr) == (theirs ? theirs->device : nullptr);
}

}  // namespace

// ---- handles ---------------------------------------------------------------------

void* new_handle(const void* board, const Model& model, const void* other) {
    auto* handle = new Handle;
    if (other != nullptr) *handle = *handle_of(other);
    register_board(board, handle, model);
    return handle;
}

void* take_handle(const void* board, const Model& model, const void* from, void*& from_handle) {
    void* handle = from_handle;
    from_handle = nullptr;
    register_board(from, nullptr, model);
    register_board(board, static_cast<Handle*>(handle), model);
    return handle;
}

void delete_handle(const void* board, void* handle) {
    unregister_board(board);
    delete static_cast<Handle*>(handle);
}

Access bound_board(const void* handle, const char* op) {
    const Handle* h = handle_of(handle);
    return access_device(h != nullptr ? h->device : nullptr, op, false);
}

Access open_board(const void* handle, const char* op) {
    const Handle* h = handle_of(handle);
    return access_device(h != nullptr ? h->device : nullptr, op, true);
}

// ---- camera files --------------------------------------------------------------

std::string path_of(const char* path, const char* op) {
    if (path == nullptr) fail(ExStatus::InvalidArgument, op, "no camera file given");
    return path;
}

std::string path_of(const wchar_t* path, const char* op) {
    if (path == nullptr) fail(ExStatus::InvalidArgument, op, "no camera file given");
    std::optional<std::string> utf8 = narrow(path);
    if (!utf8) fail(ExStatus::InvalidArgument, op, "the camera file path is not valid text");
    return *utf8;
}

void open_from_file(void* handle, const Model& model, const std::string& path, int id, int ch,
                    const char* op) {
    auto& h = *static_cast<Handle*>(handle);
    open_handle(h, model, id, ch, op);
    std::lock_guard<std::mutex> lock(h.device->mutex);
    try {
        apply_camera_file(*h.device, path, op);
    } catch (...) {
        h.device->opened = false;
        throw;
    }
}

void setup(const Call& call, const void* handle, const std::string& path) {
    Access board = open_board(handle, call.operation());
    apply_camera_file(*board.device, path, call.operation());
}

void save(const Call& call, const void* handle, const std::string& path) {
    Access board = bound_board(handle, call.operation());
    const std::string problem = write_camera_file(path, board.device->settings);
    if (!problem.empty()) fail(ExStatus::FileError, call.operation(), problem);
}

// ---- the board ---------------------------------------------------------------------

bool equal(const Call& call, const void* handle, const void* other) {
    return call.scripted() ? call.number() != 0 : same_board(handle, other);
}

bool unequal(const Call& call, const void* handle, const void* other) {
    return call.scripted() ? call.number() != 0 : !same_board(handle, other);
}

void dispose(const Call& call, void* handle) {
    auto* h = static_cast<Handle*>(handle);
    if (call.scripted() || h == nullptr || !h->device) return;
    {
        std::unique_lock<std::mutex> lock(h->device->mutex);
        if (h->device->opened) {
            h->device->end_capture(lock, Phase::Aborted, kAborted);
            h->device->close_locked();
        }
    }
    h->device.reset();
}

bool is_valid(const Call& call, const void* handle) {
    if (call.scripted()) return call.number() != 0;
    const Handle* h = handle_of(handle);
    return h != nullptr && h->device != nullptr;
}

void open(const Call& call, void* handle, const Model& model, int id, int ch) {
    if (call.scripted()) return;
    auto* h = static_cast<Handle*>(handle);
    if (h == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "the board object is empty");
    open_handle(*h, model, id, ch, call.operation());
}

void close(const Call& call, const void* handle) {
    on_open_board(call, handle, [](Device& device, Guard& lock) {
        device.end_capture(lock, Phase::Aborted, kAborted);
        device.close_locked();
    });
}

bool is_opened(const Call& call, const void* handle) {
    if (call.scripted()) return call.number() != 0;
    const Handle* h = handle_of(handle);
    if (h == nullptr || !h->device) return false;
    std::lock_guard<std::mutex> lock(h->device->mutex);
    return h->device->opened;
}

// ---- images ------------------------------------------------------------------------

Value image_list(CxImage* const* images, int count) {
    std::vector<Value> items;
    for (int i = 0; images != nullptr && i < count; ++i) items.push_back(object(images[i]));
    return list(std::move(items));
}

void validate(const Call& call, const void* handle, CxImage& image) {
    on_open_board(call, handle, [&](Device& device, Guard&) {
        device.check_image(&image, -1, call.operation());
    });
}

void validate(const Call& call, const void* handle, CxImage* const* images, int count) {
    on_open_board(call, handle, [&](Device& device, Guard&) {
        if (count < 0) fail(ExStatus::InvalidArgument, call.operation(), "negative image count");
        if (count > 0 && images == nullptr) {
            fail(ExStatus::InvalidArgument, call.operation(), "the image array is missing");
        }
        for (int i = 0; i < count; ++i) device.check_image(images[i], i, call.operation());
    });
}

void lock(const Call& call, const void* handle, CxImage* const* images, int count) {
    on_open_board(call, handle, [&](Device& device, Guard&) {
        device.lock_images(images, count, call.operation());
    });
}

void unlock(const Call& call, const void* handle) {
    on_open_board(call, handle, [&](Device& device, Guard&) { device.unlock_images(call.operation()); });
}

// ---- capture -----------------------------------------------------------------------

void start(const Call& call, const void* handle) {
    on_open_board(call, handle, [&](Device& device, Guard& lock) { device.start(lock, call.operation()); });
}

void stop(const Call& call, const void* handle) {
    on_open_board(call, handle, [](Device& device, Guard& lock) {
        device.end_capture(lock, Phase::Stopped, kStopped);
    });
}

void abort_after(const Call& call, const void* handle, unsigned int frames) {
    on_open_board(call, handle, [&](Device& device, Guard& lock) { device.abort_after(lock, frames); });
}

void wait(const Call& call, const void* handle) {
    on_open_board(call, handle, [&](Device& device, Guard& lock) { device.wait_end(lock, call.operation()); });
}

bool is_running(const Call& call, const void* handle) {
    if (call.scripted()) return call.number() != 0;
    const Handle* h = handle_of(handle);
    if (h == nullptr || !h->device) return false;
    std::lock_guard<std::mutex> lock(h->device->mutex);
    return h->device->running();
}

namespace {

int scripted_number(const Call& call) { return static_cast<int>(call.number()); }

}  // namespace

int status(const Call& call, const void* handle) {
    return result_of_open_board(call, handle, scripted_number,
                                [](Device& device, Guard&) { return static_cast<int>(device.phase()); });
}

void force_trigger(const Call& call, const void* handle) {
    on_open_board(call, handle, [&](Device& device, Guard&) { device.force_trigger(call.operation()); });
}

void set_num(const Call& call, const void* handle, int frames) {
    on_open_board(call, handle, [&](Device& device, Guard&) {
        if (frames < 0) fail(ExStatus::InvalidArgument, call.operation(), "negative frame count");
        device.num = frames;
    });
}

int get_num(const Call& call, const void* handle) {
    return result_of_open_board(call, handle, scripted_number,
                                [](Device& device, Guard&) { return device.num; });
}

void set_lock_id(const Call& call, const void* handle, int index) {
    on_open_board(call, handle, [&](Device& device, Guard&) {
        if (index < 0) fail(ExStatus::InvalidArgument, call.operation(), "negative lock id");
        device.lock_id = index;
    });
}

int get_lock_id(const Call& call, const void* handle) {
    return result_of_open_board(call, handle, scripted_number,
                                [](Device& device, Guard&) { return device.lock_id; });
}

// ---- capture-status records ----------------------------------------------------------

const std::vector<Value>& scripted_fields(const Call& call, std::size_t count) {
    const auto& fields = call.value().list;
    if (fields.size() != count) {
        fail(ExStatus::InvalidArgument, call.operation(),
             "a status record has " + std::to_string(count) + " fields");
    }
    return fields;
}

}  // namespace vkt::sim::grabber
