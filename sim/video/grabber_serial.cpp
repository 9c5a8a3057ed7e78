// The camera on the serial line of a simulated grabber: it echoes what it
// receives and answers a few commands, each line ended by CR or LF. A test
// may put a responder of its own in its place (vktsim.on_serial), which
// answers each line (no echo) at once or after a delay.
//
//   ID?        -> the camera name          EXP?  -> the exposure time (us)
//   EXP=<us>   -> OK, or ERR if refused    MODE? -> the camera mode
//   MODE=<m>   -> OK                       other -> ERR
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "video/grabber_device.h"

namespace vkt::sim::grabber {
namespace {

// The camera keeps a bounded log of what it received, for vktsim.
constexpr std::size_t kReceivedLimit = 1 << 20;
constexpr std::size_t kCommandLimit = 256;

clock::Duration serial_timeout(const Settings& settings) {
    return std::chrono::milliseconds(settings.number("SIOTimeout"));
}

std::size_t rx_room(const Device& device) {
    // Models without a setting for it have a fixed 4 KiB receive buffer.
    const auto size = static_cast<std::size_t>(device.settings.number_or("SIORxBufSize", 4096));
    return size > device.serial.rx.size() ? size - device.serial.rx.size() : 0;
}

}  // namespace

void Device::serial_send(std::unique_lock<std::mutex>& lock, const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char byte = data[i];
        if (!serial.responder) {
            camera_receives(byte);
            continue;
        }
        if (serial.received.size() >= kReceivedLimit) serial.received.erase(0, kReceivedLimit / 2);
        serial.received += byte;
        const bool line_end = byte == '\r' || byte == '\n';
        // A request longer than the camera's line buffer keeps its start and its end.
        if (line_end || serial.command.size() < kCommandLimit) serial.command += byte;
        if (line_end) {
            std::string request;
            request.swap(serial.command);
            respond(lock, request);
        }
    }
    changed.notify_all();
}

// The responder runs with the board let go (it may call the library, this
// board included) and a copy of it held, so that it may also replace itself.
void Device::respond(std::unique_lock<std::mutex>& lock, const std::string& request) {
    const SerialResponder responder = serial.responder;
    std::optional<std::string> reply;
    lock.unlock();
    try {
        reply = responder(request);
    } catch (...) {
        lock.lock();
        throw;
    }
    lock.lock();
    // A reply to a line closed (or a board reset) meanwhile is lost.
    if (!reply || !serial.opened) return;
    if (serial.reply_delay == clock::Duration::zero()) return receive_reply(*reply);
    ensure_worker("vktsim");
    serial.replies.emplace(clock::now() + serial.reply_delay, std::move(*reply));
}

// A reply arrives: what the receive buffer has room for waits to be read.
void Device::receive_reply(const std::string& reply) {
    for (char c : reply) {
        if (rx_room(*this) > 0) serial.rx.push_back(c);
    }
    changed.notify_all();
}

void Device::set_responder(SerialResponder responder, clock::Duration delay) {
    serial.responder = std::move(responder);
    serial.reply_delay = delay;
    serial.command.clear();
}

void Device::camera_receives(char byte) {
    if (serial.received.size() >= kReceivedLimit) serial.received.erase(0, kReceivedLimit / 2);
    serial.received += byte;
    // Bytes beyond the receive buffer are lost, as on a real line.
    if (rx_room(*this) > 0) serial.rx.push_back(byte);
    if (byte == '\r' || byte == '\n') {
        std::string line;
        line.swap(serial.command);
        camera_answers(line);
    } else if (serial.command.size() < kCommandLimit) {
        serial.command += byte;
    }
}

void Device::camera_answers(const std::string& line) {
    if (line.empty()) return;
    std::string reply = "ERR";
    const SettingInfo& exposure = settings.info("ExposureTime");
    const SettingInfo& mode = settings.info("CameraMode");
    if (line == "ID?") {
        reply = settings.text(settings.info("CameraName"));
    } else if (line == "EXP?") {
        reply = std::to_string(settings.number(exposure));
    } else if (line.rfind("EXP=", 0) == 0 && line.size() > 4 && line.size() < 16) {
        char* end = nullptr;
        const long long value = std::strtoll(line.c_str() + 4, &end, 10);
        if (*end == '\0' && settings.set_number(exposure, value).empty()) reply = "OK";
    } else if (line == "MODE?") {
        reply = settings.text(mode);
    } else if (line.rfind("MODE=", 0) == 0) {
        settings.set_text(mode, line.substr(5));
        reply = "OK";
    }
    reply += '\r';
    receive_reply(reply);
}

void Device::serial_feed(const std::string& bytes) {
    const std::size_t room = rx_room(*this);
    if (bytes.size() > room) {
        throw std::invalid_argument("the receive buffer has room for " + std::to_string(room) +
                                    " more bytes, not " + std::to_string(bytes.size()));
    }
    serial.rx.insert(serial.rx.end(), bytes.begin(), bytes.end());
    changed.notify_all();
}

bool Device::serial_read_byte(std::unique_lock<std::mutex>& lock, char& byte) {
    if (!clock::wait_for(lock, changed, serial_timeout(settings), [this] { return !serial.rx.empty(); })) {
        return false;
    }
    byte = serial.rx.front();
    serial.rx.pop_front();
    return true;
}

int Device::serial_read(std::unique_lock<std::mutex>& lock, char* buffer, int count) {
    const auto wanted = static_cast<std::size_t>(count);
    clock::wait_for(lock, changed, serial_timeout(settings), [&] { return serial.rx.size() >= wanted; });
    const std::size_t got = std::min(wanted, serial.rx.size());
    std::copy_n(serial.rx.begin(), got, buffer);
    serial.rx.erase(serial.rx.begin(), serial.rx.begin() + static_cast<std::ptrdiff_t>(got));
    return static_cast<int>(got);
}

}  // namespace vkt::sim::grabber
