// The board-independent grabber over the simulated boards.
//
// A CxVideo drives one grabber board through that board's own library
// classes: the board its factory opened from a camera file (owned), or one
// given as its controller (the caller's, reached only while it lives).
// Copies share that state, so they drive the same board.
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "core/companion_link.h"
#include "core/settings_file.h"
#include "core/state.h"
#include "vkt/video/ktx21.h"
#include "vkt/video/ktx22.h"
#include "vkt/video/mr250.h"
#include "vkt/video/video.h"

namespace vkt::Video {
namespace {

struct Shared {
    std::mutex mutex;
    std::unique_ptr<IxModule> owned;   // the board the factory opened
    sim::CompanionLink controller;     // the board driven: owned or given
    ExDevice device = ExDevice::Unknown;
    bool disposed = false;
};

using SharedPtr = std::shared_ptr<Shared>;

Shared& shared_of(void* state) { return **static_cast<SharedPtr*>(state); }

// Every live CxVideo's state, so that a companion made for a Video can find
// the board behind it without a call on the Video itself.
struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, SharedPtr> videos;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

void* made(const void* video, SharedPtr shared) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().videos[video] = shared;
    return new SharedPtr(std::move(shared));
}

void unmade(const void* video, void* state) {
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        registry().videos.erase(video);
    }
    delete static_cast<SharedPtr*>(state);
}

ExDevice model_of(IxModule* board) {
    if (dynamic_cast<CxKTX21*>(board) != nullptr) return ExDevice::KTX21;
    if (dynamic_cast<CxKTX22*>(board) != nullptr) return ExDevice::KTX22;
    if (dynamic_cast<CxMR250*>(board) != nullptr) return ExDevice::MR250;
    return ExDevice::Unknown;
}

// The model a camera file names in its header ("[KTX21]", ...).
ExDevice model_in_file(const std::string& path, const char* op) {
    try {
        const sim::SettingsFile file(path, "camera file");
        const auto& lines = file.lines();
        const std::string header = lines.empty() || !lines.front().section ? "" : lines.front().name;
        if (header == "KTX21") return ExDevice::KTX21;
        if (header == "KTX22") return ExDevice::KTX22;
        if (header == "MR250") return ExDevice::MR250;
    } catch (const sim::SettingsFileError& error) {
        sim::fail_with(error, op);
    }
    sim::fail(ExStatus::FormatError, op, "camera file '" + path + "' names no grabber model");
}

std::string path_text(const char* path, const char*) { return path; }

std::string path_text(const wchar_t* path, const char* op) {
    auto text = sim::narrow(path);
    if (!text) sim::fail(ExStatus::InvalidArgument, op, "path is not valid text");
    return *text;
}

// Opens the model the file names, through that model's own factory.
template <class Text>
std::unique_ptr<IxModule> open_from_file(const Text* path, int id, int ch, int option,
                                         const char* op) {
    if (path == nullptr) sim::fail(ExStatus::InvalidArgument, op, "null camera file path");
    switch (model_in_file(path_text(path, op), op)) {
        case ExDevice::KTX21:
            return std::make_unique<CxKTX21>(CxKTX21::FromFile(path, id, ch, option));
        case ExDevice::KTX22:
            return std::make_unique<CxKTX22>(CxKTX22::FromFile(path, id, ch, option));
        default:
            return std::make_unique<CxMR250>(CxMR250::FromFile(path, id, ch));
    }
}

// Drives the board with `use(board)`, typed as its own class.
template <class Use>
decltype(auto) on_board(void* state, const char* op, Use&& use) {
    Shared& shared = shared_of(state);
    sim::CompanionLink link;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.disposed) sim::fail(ExStatus::NotOpened, op, "the object was disposed");
        link = shared.controller;
    }
    if (auto* board = link.as<CxKTX21>()) return use(*board);
    if (auto* board = link.as<CxKTX22>()) return use(*board);
    if (auto* board = link.as<CxMR250>()) return use(*board);
    sim::fail(ExStatus::NotOpened, op, link.attached() ? "the board is gone" : "no board to drive");
}

// Drives the board's settings companion with `use(param)`.
template <class Use>
decltype(auto) on_settings(void* state, const char* op, Use&& use) {
    return on_board(state, op, [&](auto& board) {
        using Board = std::decay_t<decltype(board)>;
        if constexpr (std::is_same_v<Board, CxKTX21>) {
            CxKTX21Param param = CxKTX21Param::From(&board);
            return use(param);
        } else if constexpr (std::is_same_v<Board, CxKTX22>) {
            CxKTX22Param param = CxKTX22Param::From(&board);
            return use(param);
        } else {
            CxMR250Param param = CxMR250Param::From(&board);
            return use(param);
        }
    });
}

// Puts the board back after a grab that failed.
template <class Board>
void undo_grab(Board& board, int frames) noexcept {
    // Each step is tried whatever became of the one before (a board reset
    // meanwhile, a scripted failure): images left locked would refuse the
    // next capture.
    try {
        board.Abort();
    } catch (...) {
    }
    try {
        board.Unlock();
    } catch (...) {
    }
    try {
        board.SetNum(frames);
    } catch (...) {
    }
}

// One frame into what `lock` locks, the board's frame count kept; a grab
// that fails leaves the board as it found it, with its own error.
template <class Board, class Lock>
void grab(Board& board, Lock lock) {
    const int frames = board.GetNum();
    lock();
    try {
        board.SetNum(1);
        board.Start();
        board.Wait();
    } catch (...) {
        undo_grab(board, frames);
        throw;
    }
    board.Unlock();
    board.SetNum(frames);
}

template <class Board>
void force_trigger(Board& board) {
    if constexpr (std::is_same_v<Board, CxKTX22>) board.ForceTrigger(-1);  // its own channel
    else board.ForceTrigger();
}

// Image modules are a KTX22 feature.
template <class Board, class Use>
void with_image_module(Board& board, const char* op, Use&& use) {
    if constexpr (std::is_same_v<Board, CxKTX22>) use(board);
    else sim::fail(ExStatus::NotSupported, op, "this model takes no image modules");
}

}  // namespace

// ---- objects ------------------------------------------------------------------------------

CxVideo::CxVideo() : state_(made(this, std::make_shared<Shared>())) { sim::track(this); }

CxVideo::CxVideo(const CxVideo& other)
    : CxModule(), IxModule(), state_(made(this, *static_cast<SharedPtr*>(other.state_))) {
    sim::track(this);
}

CxVideo::CxVideo(CxVideo&& other) noexcept
    : CxModule(), IxModule(), state_(made(this, *static_cast<SharedPtr*>(other.state_))) {
    sim::track(this);
}

CxVideo::~CxVideo() {
    sim::untrack(this);
    unmade(this, state_);
}

namespace {
bool same_board(void* a, void* b) {
    if (&shared_of(a) == &shared_of(b)) return true;
    std::scoped_lock lock(shared_of(a).mutex, shared_of(b).mutex);
    const sim::CompanionLink& x = shared_of(a).controller;
    return x.alive() && x == shared_of(b).controller;
}
}  // namespace

bool CxVideo::operator==(const CxVideo& other) const {
    sim::Call call("CxVideo::operator==", sim::object(this), sim::object(&other));
    return call.scripted() ? call.number() != 0 : same_board(state_, other.state_);
}

bool CxVideo::operator!=(const CxVideo& other) const {
    sim::Call call("CxVideo::operator!=", sim::object(this), sim::object(&other));
    return call.scripted() ? call.number() != 0 : !same_board(state_, other.state_);
}

// ---- factories ----------------------------------------------------------------------------

namespace {
// Takes over a board opened for this object.
void adopt(void* state, std::unique_ptr<IxModule> board) {
    Shared& shared = shared_of(state);
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.controller = sim::CompanionLink::to(board.get());
    shared.device = model_of(board.get());
    shared.owned = std::move(board);
}
}  // namespace

CxVideo CxVideo::FromFile(const char* camerafile, int option) {
    sim::Call call("CxVideo::FromFile", sim::bytes(camerafile), sim::number(option));
    CxVideo video;
    adopt(video.state_, open_from_file(camerafile, 0, 0, option, call.operation()));
    return video;
}

CxVideo CxVideo::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxVideo::FromFile", sim::wide(camerafile), sim::number(option));
    CxVideo video;
    adopt(video.state_, open_from_file(camerafile, 0, 0, option, call.operation()));
    return video;
}

CxVideo CxVideo::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxVideo::FromFile", sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxVideo video;
    adopt(video.state_, open_from_file(camerafile, id, ch, option, call.operation()));
    return video;
}

CxVideo CxVideo::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxVideo::FromFile", sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxVideo video;
    adopt(video.state_, open_from_file(camerafile, id, ch, option, call.operation()));
    return video;
}

// ---- controller and device type ----------------------------------------------------------

IxModule* CxVideo::Controller() const {
    sim::Call call("CxVideo::Controller", sim::object(this));
    if (call.scripted()) return nullptr;
    Shared& shared = shared_of(state_);
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.controller.alive() ? shared.controller.board : nullptr;
}

void CxVideo::Controller(IxModule* board) {
    sim::Call call("CxVideo::Controller", sim::object(this), sim::object(board));
    if (call.scripted()) return;
    const ExDevice model = model_of(board);
    if (board != nullptr && model == ExDevice::Unknown) {
        sim::fail(ExStatus::InvalidArgument, call.operation(), "that module is not a grabber board");
    }
    Shared& shared = shared_of(state_);
    std::unique_ptr<IxModule> released;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.owned.get() != board) released = std::move(shared.owned);
        shared.controller = sim::CompanionLink::to(board);
        if (board != nullptr) shared.device = model;
    }
    // The board this object opened itself is closed outside the lock.
}

ExDevice CxVideo::DeviceType() const {
    sim::Call call("CxVideo::DeviceType", sim::object(this));
    if (call.scripted()) return static_cast<ExDevice>(call.number());
    Shared& shared = shared_of(state_);
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.device;
}

void CxVideo::DeviceType(ExDevice device) {
    sim::Call call("CxVideo::DeviceType", sim::object(this), sim::number(static_cast<int>(device)));
    if (call.scripted()) return;
    Shared& shared = shared_of(state_);
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.device = device;
}

// ---- board operations ----------------------------------------------------------------------

void CxVideo::Dispose() {
    sim::Call call("CxVideo::Dispose", sim::object(this));
    if (call.scripted()) return;
    Shared& shared = shared_of(state_);
    std::unique_ptr<IxModule> released;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        released = std::move(shared.owned);
        shared.controller = sim::CompanionLink{};
        shared.disposed = true;
    }
}

bool CxVideo::IsValid() const {
    sim::Call call("CxVideo::IsValid", sim::object(this));
    if (call.scripted()) return call.number() != 0;
    Shared& shared = shared_of(state_);
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.disposed || !shared.controller.alive()) return false;
    }
    return on_board(state_, call.operation(), [](auto& board) { return board.IsValid(); });
}

void CxVideo::Close() {
    sim::Call call("CxVideo::Close", sim::object(this));
    if (!call.scripted()) on_board(state_, call.operation(), [](auto& board) { board.Close(); });
}

void CxVideo::Save(const char* camerafile) const {
    sim::Call call("CxVideo::Save", sim::object(this), sim::bytes(camerafile));
    if (!call.scripted()) on_board(state_, call.operation(), [&](auto& board) { board.Save(camerafile); });
}

void CxVideo::SaveW(const wchar_t* camerafile) const {
    sim::Call call("CxVideo::SaveW", sim::object(this), sim::wide(camerafile));
    if (!call.scripted()) on_board(state_, call.operation(), [&](auto& board) { board.SaveW(camerafile); });
}

void CxVideo::Validate(CxImage& image) {
    sim::Call call("CxVideo::Validate", sim::object(this), sim::object(&image));
    if (!call.scripted()) on_board(state_, call.operation(), [&](auto& board) { board.Validate(image); });
}

void CxVideo::Grab(CxImage& image) {
    sim::Call call("CxVideo::Grab", sim::object(this), sim::object(&image));
    if (!call.scripted()) on_board(state_, call.operation(), [&](auto& board) {
        grab(board, [&] { board.Lock(image, 0); });
    });
}

void CxVideo::Start(CxImage& image) {
    sim::Call call("CxVideo::Start", sim::object(this), sim::object(&image));
    if (call.scripted()) return;
    on_board(state_, call.operation(), [&](auto& board) {
        board.Lock(image, 0);
        board.SetNum(0);   // until stopped
        board.Start();
    });
}

void CxVideo::Wait() {
    sim::Call call("CxVideo::Wait", sim::object(this));
    if (!call.scripted()) on_board(state_, call.operation(), [](auto& board) { board.Wait(); });
}

void CxVideo::Abort() {
    sim::Call call("CxVideo::Abort", sim::object(this));
    if (!call.scripted()) on_board(state_, call.operation(), [](auto& board) { board.Abort(); });
}

bool CxVideo::IsRunning() const {
    sim::Call call("CxVideo::IsRunning", sim::object(this));
    if (call.scripted()) return call.number() != 0;
    return on_board(state_, call.operation(), [](auto& board) { return board.IsRunning(); });
}

int CxVideo::Status() {
    sim::Call call("CxVideo::Status", sim::object(this));
    if (call.scripted()) return static_cast<int>(call.number());
    return on_board(state_, call.operation(), [](auto& board) { return board.Status(); });
}

void CxVideo::ForceTrigger() {
    sim::Call call("CxVideo::ForceTrigger", sim::object(this));
    if (!call.scripted()) on_board(state_, call.operation(), [](auto& board) { force_trigger(board); });
}

// ---- settings through the board's companion ------------------------------------------------

void CxVideo::SetTriggerMode(int mode) {
    sim::Call call("CxVideo::SetTriggerMode", sim::object(this), sim::number(mode));
    if (!call.scripted()) on_settings(state_, call.operation(), [&](auto& p) { p.SetTriggerMode(mode); });
}

int CxVideo::GetTriggerMode() const {
    sim::Call call("CxVideo::GetTriggerMode", sim::object(this));
    if (call.scripted()) return static_cast<int>(call.number());
    return on_settings(state_, call.operation(), [](auto& p) { return p.GetTriggerMode(); });
}

void CxVideo::SetExposureTime(int time) {
    sim::Call call("CxVideo::SetExposureTime", sim::object(this), sim::number(time));
    if (!call.scripted()) on_settings(state_, call.operation(), [&](auto& p) { p.SetExposureTime(time); });
}

int CxVideo::GetExposureTime() const {
    sim::Call call("CxVideo::GetExposureTime", sim::object(this));
    if (call.scripted()) return static_cast<int>(call.number());
    return on_settings(state_, call.operation(), [](auto& p) { return p.GetExposureTime(); });
}

void CxVideo::SetTriggerCycleTime(int time) {
    sim::Call call("CxVideo::SetTriggerCycleTime", sim::object(this), sim::number(time));
    if (call.scripted()) return;
    on_settings(state_, call.operation(), [&](auto& p) {
        if constexpr (std::is_same_v<std::decay_t<decltype(p)>, CxMR250Param>) {
            sim::fail(ExStatus::NotSupported, call.operation(), "the MR250 has no trigger cycle");
        } else {
            p.SetTriggerCycleTime(time);
        }
    });
}

int CxVideo::GetTriggerCycleTime() const {
    sim::Call call("CxVideo::GetTriggerCycleTime", sim::object(this));
    if (call.scripted()) return static_cast<int>(call.number());
    return on_settings(state_, call.operation(), [&](auto& p) -> int {
        if constexpr (std::is_same_v<std::decay_t<decltype(p)>, CxMR250Param>) {
            sim::fail(ExStatus::NotSupported, call.operation(), "the MR250 has no trigger cycle");
        } else {
            return p.GetTriggerCycleTime();
        }
    });
}

void CxVideo::SendCommand(const char* name, void* value, TxModel kind) {
    sim::Call call("CxVideo::SendCommand",
                   sim::object(this), sim::bytes(name), sim::buffer(value, kind), sim::model(kind));
    if (call.scripted()) return;
    on_settings(state_, call.operation(), [&](auto& p) {
        if constexpr (std::is_same_v<std::decay_t<decltype(p)>, CxKTX21Param>) {
            sim::fail(ExStatus::NotSupported, call.operation(), "the KTX21 takes no commands");
        } else {
            p.SendCommand(name, value, kind);
        }
    });
}

// ---- image modules -------------------------------------------------------------------------

void CxVideo::Validate(IxModule* images) {
    sim::Call call("CxVideo::Validate", sim::object(this), sim::object(images));
    if (call.scripted()) return;
    on_board(state_, call.operation(), [&](auto& board) {
        with_image_module(board, call.operation(), [&](CxKTX22& b) { b.Validate(images); });
    });
}

void CxVideo::Grab(IxModule* images) {
    sim::Call call("CxVideo::Grab", sim::object(this), sim::object(images));
    if (call.scripted()) return;
    on_board(state_, call.operation(), [&](auto& board) {
        with_image_module(board, call.operation(), [&](CxKTX22& b) {
            grab(b, [&] { b.Lock(images, 0); });
        });
    });
}

void CxVideo::Start(IxModule* images) {
    sim::Call call("CxVideo::Start", sim::object(this), sim::object(images));
    if (call.scripted()) return;
    on_board(state_, call.operation(), [&](auto& board) {
        with_image_module(board, call.operation(), [&](CxKTX22& b) {
            b.Lock(images, 0);
            b.SetNum(0);
            b.Start();
        });
    });
}

namespace {
constexpr unsigned kNone = sim::AcceptsNone;
constexpr unsigned kInt = sim::AcceptsInt;
const sim::Operations operations{
    {"CxVideo::FromFile", 0},          {"CxVideo::Controller", kNone},
    {"CxVideo::DeviceType", kNone | kInt}, {"CxVideo::Dispose", kNone},
    {"CxVideo::IsValid", kInt},        {"CxVideo::Close", kNone},
    {"CxVideo::Save", kNone},          {"CxVideo::SaveW", kNone},
    {"CxVideo::Validate", kNone},      {"CxVideo::Grab", kNone},
    {"CxVideo::Start", kNone},         {"CxVideo::Wait", kNone},
    {"CxVideo::Abort", kNone},         {"CxVideo::IsRunning", kInt},
    {"CxVideo::Status", kInt},         {"CxVideo::ForceTrigger", kNone},
    {"CxVideo::SetTriggerMode", kNone}, {"CxVideo::GetTriggerMode", kInt},
    {"CxVideo::SetExposureTime", kNone}, {"CxVideo::GetExposureTime", kInt},
    {"CxVideo::SetTriggerCycleTime", kNone}, {"CxVideo::GetTriggerCycleTime", kInt},
    {"CxVideo::SendCommand", kNone},   {"CxVideo::operator==", kInt},
    {"CxVideo::operator!=", kInt},
};
}  // namespace

}  // namespace vkt::Video

namespace vkt::sim {

// A companion made for a CxVideo works on the board the Video drives.
IxModule* board_behind(IxModule* module) {
    auto* video = dynamic_cast<Video::CxVideo*>(module);
    if (video == nullptr) return module;
    Video::SharedPtr shared;
    {
        std::lock_guard<std::mutex> lock(Video::registry().mutex);
        auto found = Video::registry().videos.find(video);
        if (found == Video::registry().videos.end()) return nullptr;
        shared = found->second;
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    return shared->controller.alive() ? shared->controller.board : nullptr;
}

}  // namespace vkt::sim
