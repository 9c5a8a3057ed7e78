// Shared work of the simulated grabber board objects.
#include "grabber_board.h"

namespace vkt::sim::grabber {

Access bound_board(const void* handle, const char* op) {
    const auto* h = static_cast<const Handle*>(handle);
    return access_device(h != nullptr ? h->device : nullptr, op, false);
}

Access open_board(const void* handle, const char* op) {
    const auto* h = static_cast<const Handle*>(handle);
    return access_device(h != nullptr ? h->device : nullptr, op, true);
}

std::string narrow_path(const char* path, const char* op) {
    if (path == nullptr) fail(ExStatus::MissingObject, op, "no camera file given");
    return path;
}

std::string wide_path(const wchar_t* path, const char* op) {
    if (path == nullptr) fail(ExStatus::MissingObject, op, "no camera file given");
    std::string utf8;
    if (!utf8_path(path, utf8)) {
        fail(ExStatus::InvalidArgument, op, "the camera file path is not valid text");
    }
    return utf8;
}

void apply_camera_file(Device& device, const std::string& path, const char* op) {
    if (device.running()) fail(ExStatus::DeviceBusy, op, "a capture is running");
    const auto problem = read_camera_file(device.model, path, device.settings);
    if (!problem.text.empty()) {
        fail(problem.missing ? ExStatus::FileError : ExStatus::FormatError, op, problem.text);
    }
}

void save_camera_file(const void* handle, const std::string& path, const char* op) {
    Access board = bound_board(handle, op);
    const std::string problem = write_camera_file(board.device->model, path, board.device->settings);
    if (!problem.empty()) fail(ExStatus::FileError, op, problem);
}

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

void dispose_handle(void* handle) {
    auto* h = static_cast<Handle*>(handle);
    if (h == nullptr || !h->device) return;
    {
        std::unique_lock<std::mutex> lock(h->device->mutex);
        if (h->device->opened) {
            h->device->end_capture(lock, Phase::Aborted, kAborted);
            h->device->close_locked();
        }
    }
    h->device.reset();
}

bool handle_valid(const void* handle) {
    const auto* h = static_cast<const Handle*>(handle);
    return h != nullptr && h->device != nullptr;
}

bool handle_opened(const void* handle) {
    if (!handle_valid(handle)) return false;
    Device& device = *static_cast<const Handle*>(handle)->device;
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.opened;
}

bool handle_running(const void* handle) {
    if (!handle_valid(handle)) return false;
    Device& device = *static_cast<const Handle*>(handle)->device;
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.running();
}

bool same_board(const void* handle, const void* other) {
    const auto* mine = static_cast<const Handle*>(handle);
    const auto* theirs = static_cast<const Handle*>(other);
    return (mine ? mine->device : nullptr) == (theirs ? theirs->device : nullptr);
}

Value image_list(CxImage* const* images, int count) {
    std::vector<Value> items;
    for (int i = 0; images != nullptr && i < count; ++i) items.push_back(object(images[i]));
    return list(std::move(items));
}

void validate_images(Device& device, CxImage** images, int count, const char* op) {
    if (count < 0) fail(ExStatus::InvalidArgument, op, "negative image count");
    if (count > 0 && images == nullptr) {
        fail(ExStatus::MissingObject, op, "the image array is missing");
    }
    for (int i = 0; i < count; ++i) device.check_image(images[i], i, op);
}

const std::vector<Value>& scripted_fields(const Call& call, std::size_t count) {
    const auto& fields = call.value().list;
    if (fields.size() != count) {
        fail(ExStatus::InvalidArgument, call.operation(),
             "a status record has " + std::to_string(count) + " fields");
    }
    return fields;
}

}  // namespace vkt::sim::grabber
