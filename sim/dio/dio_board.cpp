// Simulated digital-I/O hardware.
#include "dio/dio_board.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

#include "core/clock.h"
#include "core/settings_file.h"
#include "core/wires.h"

namespace vkt::sim::dio {
namespace {


enum class Kind { Int32, UInt32, Text };

struct SettingSpec {
    const char* name;
    Kind kind;
    bool writable;
    long long initial;
    const char* text;   // initial value of a text setting
};

constexpr long long kDriverVersion = 0x010200;   // 1.2.0
constexpr long long kFpgaVersion = 0x0203;       // 2.3
constexpr long long kDefaultTimeoutMs = 1000;
constexpr long long kMaxTimeoutMs = 3600 * 1000;
constexpr long long kMaxDelayMs = 60 * 1000;

// Settings that every model keeps: identity, time-out and the input lines.
// DeviceID and DeviceType are filled in per board. DIEdge bit set: rising
// edge; clear: falling edge.
const std::vector<SettingSpec> kCommonSettings = {
    {"DeviceID", Kind::Int32, false, 0, nullptr},
    {"DeviceType", Kind::Int32, false, 0, nullptr},
    {"DriverVersion", Kind::Int32, false, kDriverVersion, nullptr},
    {"Timeout", Kind::Int32, true, kDefaultTimeoutMs, nullptr},
    {"Version", Kind::Int32, true, 1, nullptr},
    {"DIEnable", Kind::UInt32, true, 0xFFFFFFFF, nullptr},
    {"DIEdge", Kind::UInt32, true, 0xFFFFFFFF, nullptr},
    {"DIWaitEnable", Kind::UInt32, true, 0, nullptr},
};

// The interrupt line and the wait mode (SNR11, TK560).
const std::vector<SettingSpec> kInterruptSettings = {
    {"INTEnable", Kind::Int32, true, 0, nullptr},
    {"INTEdge", Kind::Int32, true, 1, nullptr},
    {"INTStatus", Kind::Int32, false, 0, nullptr},
    {"INTWaitEnable", Kind::Int32, true, 1, nullptr},
    {"DIWaitMode", Kind::Int32, true, 0, nullptr},
};

const std::vector<SettingSpec> kSN2200Settings = {
    {"DINoiseFilterTime", Kind::Int32, true, 0, nullptr},
    {"FpgaVersion", Kind::Int32, false, kFpgaVersion, nullptr},
    {"DriverVersionName", Kind::Text, false, 0, "1.2.0"},
    {"FpgaVersionName", Kind::Text, false, 0, "2.3 (sim)"},
};

const std::vector<SettingSpec> kTK560Settings = {
    {"FpgaVersion", Kind::Int32, false, kFpgaVersion, nullptr},
    {"DINoiseFilterWidth", Kind::Int32, true, 0, nullptr},
    {"DINoiseFilterScale", Kind::Int32, true, 0, nullptr},
    {"INTNoiseFilterWidth", Kind::Int32, true, 0, nullptr},
    {"INTNoiseFilterScale", Kind::Int32, true, 0, nullptr},
};

// What each model keeps, with power-on values.
std::vector<const std::vector<SettingSpec>*> settings_of(Model model) {
    switch (model) {
        case Model::SNR11: return {&kCommonSettings, &kInterruptSettings};
        case Model::SN2200: return {&kCommonSettings, &kSN2200Settings};
        case Model::TK560: return {&kCommonSettings, &kInterruptSettings, &kTK560Settings};
    }
    return {&kCommonSettings};
}

ExDevice device_type(Model model) {
    switch (model) {
        case Model::SNR11: return ExDevice::SNR11;
        case Model::SN2200: return ExDevice::SN2200;
        case Model::TK560: return ExDevice::TK560;
    }
    return ExDevice::Unknown;
}

struct Setting {
    Kind kind;
    bool writable;
    long long number;
    std::string text;
};

struct Change {
    clock::TimePoint at;
    unsigned int inputs;
    int int_level;
};

struct WaitProgress;
struct Device;

// A wire from an output line to another board's input line, or (`board`
// null) to a grabber's trigger input.
struct Wire {
    int line;
    Device* board = nullptr;
    int board_line = 0;
    wires::TriggerInput trigger;
};

struct Device {
    Model model;
    int id;
    Handle* owner = nullptr;
    unsigned int inputs = 0;
    unsigned int outputs = 0;
    bool int_level = false;
    bool abort_pending = false;
    std::map<std::string, Setting> settings;
    std::map<unsigned int, unsigned int> registers;
    std::vector<Change> schedule;   // in time order
    WaitProgress* waiting = nullptr;   // the wait in progress on this board, if any
    std::vector<Wire> wires;           // from this board's outputs
    unsigned int wired_inputs = 0;     // input lines a wire drives
    unsigned int wired_levels = 0;     // and the levels it drives them to
};

}  // namespace

struct Handle {
    Model model;
    Device* device = nullptr;
    bool disposed = false;

    // The last object of a board closes it.
    ~Handle();
};

namespace {

constexpr unsigned int kRegisterCount = 256;

// One lock for all digital-I/O state; waits sleep on its condition.
struct Hardware {
    std::mutex mutex;
    std::condition_variable changed;
    std::array<std::array<Device, kBoardsPerModel>, 3> devices;
    struct BoardEntry {
        std::uint64_t ident;
        std::shared_ptr<Handle> handle;
    };
    std::unordered_map<const void*, BoardEntry> boards;
};

void power_on(Device& device, Model model, int id) {
    device.model = model;
    device.id = id;
    device.inputs = 0;
    device.outputs = 0;
    device.int_level = false;
    device.abort_pending = false;
    device.schedule.clear();
    device.waiting = nullptr;
    device.wires.clear();
    device.wired_inputs = 0;
    device.wired_levels = 0;
    device.registers.clear();
    device.settings.clear();
    for (const auto* group : settings_of(model)) {
        for (const SettingSpec& spec : *group) {
            device.settings[spec.name] =
                Setting{spec.kind, spec.writable, spec.initial, spec.text ? spec.text : ""};
        }
    }
    device.settings["DeviceID"].number = id;
    device.settings["DeviceType"].number = static_cast<long long>(device_type(model));
}

void catch_up(Device& device, clock::TimePoint now);

// The scheduled changes of every board, delivered as the clock moves.
class ScheduledChanges final : public clock::Timed {
public:
    explicit ScheduledChanges(Hardware& hw) : hw_(hw) { clock::add(*this); }

    std::optional<clock::TimePoint> next_due() override {
        std::lock_guard<std::mutex> lock(hw_.mutex);
        std::optional<clock::TimePoint> first;
        for (auto& model : hw_.devices) {
            for (Device& device : model) {
                if (!device.schedule.empty() && (!first || device.schedule.front().at < *first)) {
                    first = device.schedule.front().at;
                }
            }
        }
        return first;
    }

    void deliver_due(clock::TimePoint now) override {
        std::lock_guard<std::mutex> lock(hw_.mutex);
        for (auto& model : hw_.devices) {
            for (Device& device : model) catch_up(device, now);
        }
        hw_.changed.notify_all();
    }

    void clock_changed() override {
        std::lock_guard<std::mutex> lock(hw_.mutex);
        hw_.changed.notify_all();
    }

private:
    Hardware& hw_;
};

// Never destroyed, like the clock it is registered with.
Hardware& hardware() {
    static Hardware* instance = [] {
        auto* made = new Hardware;
        for (int m = 0; m < 3; ++m) {
            for (int id = 0; id < kBoardsPerModel; ++id) {
                power_on(made->devices[m][id], static_cast<Model>(m), id);
            }
        }
        new ScheduledChanges(*made);
        return made;
    }();
    return *instance;
}

Device& device_at(Model model, int id) {
    return hardware().devices[static_cast<int>(model)][static_cast<std::size_t>(id)];
}

const ResetHook reset_hook([] {
    Hardware& hw = hardware();
    std::lock_guard<std::mutex> lock(hw.mutex);
    for (int m = 0; m < 3; ++m) {
        for (int id = 0; id < kBoardsPerModel; ++id) {
            Device& device = hw.devices[m][id];
            if (device.owner != nullptr) device.owner->device = nullptr;
            device.owner = nullptr;
            power_on(device, static_cast<Model>(m), id);
        }
    }
    hw.changed.notify_all();
});

// The open board behind a handle, its wires brought up to now; the caller
// holds the lock.
Device& opened(Handle& handle, const char* op) {
    if (handle.disposed) fail(ExStatus::NotOpened, op, "the board object was disposed");
    if (handle.device == nullptr) fail(ExStatus::NotOpened, op, "the board is not open");
    // Nothing scheduled, nothing to catch up with: the clock is not read.
    if (!handle.device->schedule.empty()) catch_up(*handle.device, clock::now());
    return *handle.device;
}

void check_line(int index, const char* op) {
    if (index < 0 || index >= kLines) {
        fail(ExStatus::InvalidArgument, op, "line " + std::to_string(index) + " is not 0 to 31");
    }
}

void check_pointer(const void* pointer, const char* op) {
    if (pointer == nullptr) fail(ExStatus::InvalidArgument, op, "null pointer");
}

Setting& setting(Device& device, const char* name, const char* op) {
    if (name == nullptr) fail(ExStatus::InvalidArgument, op, "null parameter name");
    auto found = device.settings.find(name);
    if (found == device.settings.end()) {
        fail(ExStatus::NotFound, op, std::string("no parameter '") + name + "'");
    }
    return found->second;
}

long long current(const Device& device, const std::string& name, const Setting& value) {
    return name == "INTStatus" ? (device.int_level ? 1 : 0) : value.number;
}

void check_kind(const Setting& value, TxModel kind, const char* name, const char* op) {
    const bool fits = (value.kind == Kind::Int32 && kind.Type == TxModel::kInt32 && kind.Count == 1) ||
                      (value.kind == Kind::UInt32 && kind.Type == TxModel::kUInt32 && kind.Count == 1) ||
                      (value.kind == Kind::Text && kind.Type == TxModel::kText && kind.Count == 0);
    if (!fits) fail(ExStatus::WrongKind, op, std::string("wrong value kind for '") + name + "'");
}

// Why `number` cannot be stored in the number setting `name` of `kind` (the
// output word is "Outputs", a UInt32); empty when it can. Settings files are
// held to what set_param takes.
std::string value_problem(const std::string& name, Kind kind, long long number) {
    if (name == "Timeout" && (number < 0 || number > kMaxTimeoutMs)) {
        return "Timeout must be 0 to 3600000 ms";
    }
    if (kind == Kind::Int32 && (number < INT32_MIN || number > INT32_MAX)) {
        return "'" + name + "' must be -2147483648 to 2147483647";
    }
    if (kind == Kind::UInt32 && (number < 0 || number > static_cast<long long>(UINT32_MAX))) {
        return "'" + name + "' must be 0 to 4294967295";
    }
    return {};
}

void store(const char* name, Setting& value, long long number, const char* op) {
    if (!value.writable) fail(ExStatus::ReadOnly, op, std::string("'") + name + "' is read-only");
    const std::string problem = value_problem(name, value.kind, number);
    if (!problem.empty()) fail(ExStatus::InvalidArgument, op, problem);
    value.number = number;
}

// ---- waits -----------------------------------------------------------------

// What the wait in progress has seen: edges count only from its start.
struct WaitProgress {
    unsigned int seen = 0;           // lines whose edge has been seen during this wait
    bool ended = false;
    WaitResult result{};
};

long long setting_number(const Device& device, const char* name) {
    auto found = device.settings.find(name);
    return found == device.settings.end() ? 0LL : found->second.number;
}

// Whether the change of the wires from (`before`, `int_before`) to what
// the device shows now ends `wait`; if so its result is filled in.
void judge_edges(const Device& device, unsigned int before, bool int_before, WaitProgress& wait) {
    auto number = [&device](const char* name) { return setting_number(device, name); };
    if (device.model != Model::SN2200 && number("INTEnable") != 0 && number("INTWaitEnable") != 0 &&
        int_before != device.int_level && device.int_level == (number("INTEdge") != 0)) {
        wait.result = WaitResult{static_cast<unsigned int>(DIO::ExEventStatus::INT), 0, device.inputs};
        wait.ended = true;
        return;
    }
    const auto enabled = static_cast<unsigned int>(number("DIEnable") & number("DIWaitEnable"));
    const auto rising_lines = static_cast<unsigned int>(number("DIEdge"));
    const unsigned int rising = ~before & device.inputs;
    const unsigned int falling = before & ~device.inputs;
    const unsigned int hits = enabled & ((rising & rising_lines) | (falling & ~rising_lines));
    wait.seen |= hits;
    // Wait mode 1 ends only once every enabled line has had its edge.
    const bool all_lines = number("DIWaitMode") == 1;
    if (hits != 0 && (!all_lines || wait.seen == enabled)) {
        wait.result = WaitResult{static_cast<unsigned int>(DIO::ExEventStatus::DI),
                                 all_lines ? wait.seen : hits, device.inputs};
        wait.ended = true;
    }
}

// One change of the wires; a wait in progress judges its edges (the first
// edge that ends it is the one it reports).
void apply(Device& device, const Change& change) {
    const unsigned int before = device.inputs;
    const bool int_before = device.int_level;
    // A wired input follows its wire, whatever the word set or scheduled.
    device.inputs =
        (change.inputs & ~device.wired_inputs) | (device.wired_levels & device.wired_inputs);
    if (change.int_level >= 0) device.int_level = change.int_level != 0;
    if (device.waiting != nullptr && !device.waiting->ended) judge_edges(device, before, int_before, *device.waiting);
}

// Scheduled changes happen at their time whether or not anyone waits: every
// look at a board first applies those that have fallen due, in order.
void catch_up(Device& device, clock::TimePoint now) {
    std::size_t due = 0;
    while (due < device.schedule.size() && device.schedule[due].at <= now) apply(device, device.schedule[due++]);
    device.schedule.erase(device.schedule.begin(), device.schedule.begin() + static_cast<std::ptrdiff_t>(due));
}

}  // namespace

// ---- handles and boards -------------------------------------------------------------

std::shared_ptr<Handle> new_handle(Model model) {
    auto handle = std::make_shared<Handle>();
    handle->model = model;
    return handle;
}

void open(Handle& handle, int id, const char* op) {
    Hardware& hw = hardware();
    std::lock_guard<std::mutex> lock(hw.mutex);
    if (handle.disposed) fail(ExStatus::NotOpened, op, "the board object was disposed");
    if (id < 0 || id >= kBoardsPerModel) {
        fail(ExStatus::NoDevice, op, "no board with id " + std::to_string(id));
    }
    Device& device = device_at(handle.model, id);
    if (handle.device == &device) return;
    if (handle.device != nullptr) {
        fail(ExStatus::DeviceBusy, op,
             "this object already has board " + std::to_string(handle.device->id) + " open");
    }
    if (device.owner != nullptr) {
        fail(ExStatus::DeviceBusy, op, "board " + std::to_string(id) + " is open elsewhere");
    }
    device.owner = &handle;
    handle.device = &device;
}

namespace {
void release(Handle& handle) {
    if (handle.device != nullptr) handle.device->owner = nullptr;
    handle.device = nullptr;
}
}  // namespace

// Never runs with the lock held: handles are only dropped outside it.
Handle::~Handle() {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    release(*this);
}

void close(Handle& handle) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    release(handle);
}

void dispose(Handle& handle) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    release(handle);
    handle.disposed = true;
}

bool is_valid(const Handle& handle) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    return !handle.disposed;
}

bool is_opened(const Handle& handle) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    return handle.device != nullptr;
}

bool same_board(const Handle& a, const Handle& b) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    return &a == &b || (a.device != nullptr && a.device == b.device);
}

void register_board(const void* board, std::shared_ptr<Handle> handle) {
    const std::uint64_t ident = ident_of(board).value_or(0);
    std::lock_guard<std::mutex> lock(hardware().mutex);
    hardware().boards[board] = Hardware::BoardEntry{ident, std::move(handle)};
}

void unregister_board(const void* board) {
    std::shared_ptr<Handle> last;
    {
        std::lock_guard<std::mutex> lock(hardware().mutex);
        auto found = hardware().boards.find(board);
        if (found == hardware().boards.end()) return;
        last = std::move(found->second.handle);
        hardware().boards.erase(found);
    }
}

std::shared_ptr<Handle> board_handle(const void* board, std::uint64_t ident) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    auto found = hardware().boards.find(board);
    if (found == hardware().boards.end() || found->second.ident != ident) return nullptr;
    return found->second.handle;
}

// ---- lines ----------------------------------------------------------------------------

unsigned int read_inputs(Handle& handle, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    return opened(handle, op).inputs;
}

bool read_input(Handle& handle, int index, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    check_line(index, op);
    return (device.inputs >> index) & 1u;
}

namespace {

// Rising edges on wires to grabbers, taken once the digital-I/O lock is let
// go (the grabbers have locks of their own).
using Edges = std::vector<std::pair<wires::TriggerInput, clock::TimePoint>>;

void fire(const Edges& edges) {
    for (const auto& [input, at] : edges) wires::rising_edge(input, at);
}

// Input `line` of `target` driven to `high` by a wire at `now`, after what
// fell due on it before.
void drive_input(Device& target, int line, bool high, clock::TimePoint now) {
    catch_up(target, now);
    const unsigned int bit = 1u << line;
    target.wired_levels = high ? (target.wired_levels | bit) : (target.wired_levels & ~bit);
    apply(target, Change{now, target.inputs, -1});
    hardware().changed.notify_all();
}

// The outputs of `device` become `value` now, and its wires carry the
// lines that changed: at once to an input, as an edge to a grabber.
void drive(Device& device, unsigned int value, Edges& edges) {
    const unsigned int changed = device.outputs ^ value;
    device.outputs = value;
    if (changed == 0 || device.wires.empty()) return;
    const auto now = clock::now();
    for (const Wire& wire : device.wires) {
        const unsigned int bit = 1u << wire.line;
        if ((changed & bit) == 0) continue;
        const bool high = (value & bit) != 0;
        if (wire.board != nullptr) drive_input(*wire.board, wire.board_line, high, now);
        else if (high) edges.emplace_back(wire.trigger, now);
    }
}

}  // namespace

void write_outputs(Handle& handle, unsigned int value, const char* op) {
    Edges edges;
    {
        std::lock_guard<std::mutex> lock(hardware().mutex);
        drive(opened(handle, op), value, edges);
    }
    fire(edges);
}

void write_output(Handle& handle, int index, bool value, const char* op) {
    Edges edges;
    {
        std::lock_guard<std::mutex> lock(hardware().mutex);
        Device& device = opened(handle, op);
        check_line(index, op);
        const unsigned int bit = 1u << index;
        drive(device, value ? (device.outputs | bit) : (device.outputs & ~bit), edges);
    }
    fire(edges);
}

unsigned int read_outputs(Handle& handle, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    return opened(handle, op).outputs;
}

bool read_output(Handle& handle, int index, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    check_line(index, op);
    return (device.outputs >> index) & 1u;
}

// ---- waits ----------------------------------------------------------------------------

namespace {
// Marks `wait` as the board's wait in progress for as long as it lasts.
class WaitInProgress {
public:
    WaitInProgress(Device& device, WaitProgress& wait) : device_(device), wait_(wait) { device.waiting = &wait; }
    ~WaitInProgress() {
        if (device_.waiting == &wait_) device_.waiting = nullptr;
    }
    WaitInProgress(const WaitInProgress&) = delete;
    WaitInProgress& operator=(const WaitInProgress&) = delete;

private:
    Device& device_;
    WaitProgress& wait_;
};

WaitResult event_only(DIO::ExEventStatus event, const Device& device) {
    return WaitResult{static_cast<unsigned int>(event), 0, device.inputs};
}
}  // namespace

// Counts only the edges after the wait began: changes that fell due before
// were applied by opened().
WaitResult wait(Handle& handle, const char* op) {
    Hardware& hw = hardware();
    std::unique_lock<std::mutex> lock(hw.mutex);
    Device* device = &opened(handle, op);
    const auto deadline = clock::now() + std::chrono::milliseconds(device->settings["Timeout"].number);
    WaitProgress progress;
    const WaitInProgress in_progress(*device, progress);
    for (;;) {
        if (device->abort_pending) {
            device->abort_pending = false;
            return event_only(DIO::ExEventStatus::ABORT, *device);
        }
        const auto now = clock::now();
        catch_up(*device, now);
        if (progress.ended) return progress.result;
        if (now >= deadline) return event_only(DIO::ExEventStatus::TIMEOUT, *device);
        auto until = deadline;
        if (!device->schedule.empty()) until = std::min(until, device->schedule.front().at);
        clock::sleep_until(lock, hw.changed, until);
        // A reset while waiting closes the board under us.
        if (handle.device != device) fail(ExStatus::NotOpened, op, "the board was closed");
    }
}

void abort(Handle& handle, const char* op) {
    Hardware& hw = hardware();
    std::lock_guard<std::mutex> lock(hw.mutex);
    opened(handle, op).abort_pending = true;
    hw.changed.notify_all();
}

// ---- settings -------------------------------------------------------------------------

void get_param(Handle& handle, const char* name, void* value, TxModel kind, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    Setting& found = setting(device, name, op);
    check_pointer(value, op);
    check_kind(found, kind, name, op);
    if (found.kind == Kind::Text) {
        static_cast<CxStringA*>(value)->Assign(found.text.data(), static_cast<int>(found.text.size()));
    } else if (found.kind == Kind::UInt32) {
        *static_cast<unsigned int*>(value) = static_cast<unsigned int>(current(device, name, found));
    } else {
        *static_cast<int*>(value) = static_cast<int>(current(device, name, found));
    }
}

void set_param(Handle& handle, const char* name, const void* value, TxModel kind, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    Setting& found = setting(device, name, op);
    check_pointer(value, op);
    check_kind(found, kind, name, op);
    if (found.kind == Kind::Text) {
        if (!found.writable) fail(ExStatus::ReadOnly, op, std::string("'") + name + "' is read-only");
        const auto* text = static_cast<const CxStringA*>(value);
        found.text.assign(text->Address(), static_cast<std::size_t>(text->Length()));
    } else if (found.kind == Kind::UInt32) {
        store(name, found, *static_cast<const unsigned int*>(value), op);
    } else {
        store(name, found, *static_cast<const int*>(value), op);
    }
}

long long get_number(Handle& handle, const char* name, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    return current(device, name, setting(device, name, op));
}

void set_number(Handle& handle, const char* name, long long value, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    store(name, setting(device, name, op), value, op);
}

void set_register(Handle& handle, unsigned int address, unsigned int value, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    if (address >= kRegisterCount) fail(ExStatus::InvalidArgument, op, "no register there");
    device.registers[address] = value;
}

unsigned int get_register(Handle& handle, unsigned int address, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    if (address >= kRegisterCount) fail(ExStatus::InvalidArgument, op, "no register there");
    return device.registers[address];
}

// ---- settings files ------------------------------------------------------------------
//
// A board's settings file (core/settings_file.h) holds one "Name = value"
// line per writable number setting, and "Outputs = value" when the outputs
// are saved too.

namespace {

const char* const kSettingsFile = "settings file";

void check_scope(int scope, const char* op) {
    if (scope != 0 && scope != 1) fail(ExStatus::InvalidArgument, op, "scope must be 0 or 1");
}

// Every value of the file, checked against what `device` can load.
std::map<std::string, long long> loadable_values(const SettingsFile& file, const Device& device,
                                                 int scope) {
    std::map<std::string, long long> values;
    for (const SettingsLine& line : file.lines()) {
        if (line.section) file.refuse(line, "a board's settings file has no sections");
        const auto value = settings_number(line.value);
        if (!value || *value < -2147483648LL || *value > 4294967295LL) {
            file.refuse(line, "bad value '" + line.value + "'");
        }
        auto found = device.settings.find(line.name);
        const bool outputs = line.name == "Outputs" && scope == 1;
        if (!outputs && (found == device.settings.end() || !found->second.writable ||
                         found->second.kind == Kind::Text)) {
            file.refuse(line, "'" + line.name + "' cannot be loaded");
        }
        const Kind kind = outputs ? Kind::UInt32 : found->second.kind;
        const std::string problem = value_problem(line.name, kind, *value);
        if (!problem.empty()) file.refuse(line, problem + ", not " + line.value);
        values[line.name] = *value;
    }
    return values;
}

}  // namespace

void save(Handle& handle, const std::string& path, int scope, const char* op) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    check_scope(scope, op);
    std::ostringstream text;
    text << "# settings of a simulated board\n";
    for (const auto& [name, value] : device.settings) {
        if (value.writable && value.kind != Kind::Text) text << name << " = " << value.number << "\n";
    }
    if (scope == 1) text << "Outputs = " << device.outputs << "\n";
    try {
        write_settings_file(path, kSettingsFile, text.str());
    } catch (const SettingsFileError& error) {
        fail_with(error, op);
    }
}

namespace {
// Everything is checked before anything is applied; the edges of the
// outputs loaded are left to the caller.
void load_locked(Handle& handle, const std::string& path, int scope, const char* op, Edges& edges) {
    std::lock_guard<std::mutex> lock(hardware().mutex);
    Device& device = opened(handle, op);
    check_scope(scope, op);
    std::map<std::string, long long> values;
    try {
        values = loadable_values(SettingsFile(path, kSettingsFile), device, scope);
    } catch (const SettingsFileError& error) {
        fail_with(error, op);
    }
    for (const auto& [name, value] : values) {
        if (name == "Outputs") drive(device, static_cast<unsigned int>(value), edges);
        else device.settings[name].number = value;
    }
}
}  // namespace

void load(Handle& handle, const std::string& path, int scope, const char* op) {
    Edges edges;
    load_locked(handle, path, scope, op, edges);
    fire(edges);
}

// ---- the wires, from Python ---------------------------------------------------------

Model model_named(const std::string& name) {
    if (name == "SNR11") return Model::SNR11;
    if (name == "SN2200") return Model::SN2200;
    if (name == "TK560") return Model::TK560;
    throw std::invalid_argument("no digital-I/O model named '" + name + "'");
}

namespace {

const char* const kWireTargets =
    "a KTX21, KTX22 or MR250 board, a Video driving one, or an SNR11, SN2200 or TK560 board";

const char* model_name(Model model) {
    static const char* const names[] = {"SNR11", "SN2200", "TK560"};
    return names[static_cast<int>(model)];
}

std::string board_name(const Device& device) {
    return std::string(model_name(device.model)) + " board " + std::to_string(device.id);
}

std::string line_name(const char* kind, const Device& device, int line) {
    return std::string(kind) + " " + std::to_string(line) + " of " + board_name(device);
}

// The open board behind the board object at `object`; the caller holds the lock.
Device& wire_end(const void* object, const char* what) {
    auto found = hardware().boards.find(object);
    if (found == hardware().boards.end() || !found->second.handle ||
        found->second.ident != ident_of(object).value_or(0)) {
        throw WrongObject("an SNR11, SN2200 or TK560 board", "");
    }
    const Handle& handle = *found->second.handle;
    if (handle.disposed || handle.device == nullptr) {
        throw std::invalid_argument(std::string("the ") + what + model_name(handle.model) +
                                    " board is not open");
    }
    return *handle.device;
}

int wire_line(long long line, const char* what) {
    if (line < 0 || line >= kLines) {
        throw std::invalid_argument(std::string(what) + " " + std::to_string(line) +
                                    " is not 0 to 31");
    }
    return static_cast<int>(line);
}

std::vector<Wire>::iterator wire_from(Device& device, int line) {
    return std::find_if(device.wires.begin(), device.wires.end(),
                        [line](const Wire& wire) { return wire.line == line; });
}

// The source's output `line` wired to the input `target_line` of the board
// behind `target`, which takes the output's level at once. Nothing changes
// unless every check passes.
void wire_to_board(Device& from, int line, const void* target, long long target_line) {
    Device& to = wire_end(target, "target ");
    const int input = wire_line(target_line, "target_line");
    if (&to == &from) {
        throw std::invalid_argument("a wire from " + board_name(from) +
                                    " to its own inputs: wire it to another board");
    }
    const unsigned int bit = 1u << input;
    if ((to.wired_inputs & bit) != 0) {
        throw std::invalid_argument(line_name("input", to, input) + " is already wired");
    }
    to.wired_inputs |= bit;
    from.wires.push_back(Wire{line, &to, input, {}});
    drive_input(to, input, ((from.outputs >> line) & 1u) != 0, clock::now());
}

}  // namespace

namespace {
Device& wired_device(const std::string& model, int id) {
    const Model which = model_named(model);
    if (id < 0 || id >= kBoardsPerModel) {
        throw std::invalid_argument("board id must be 0 to " + std::to_string(kBoardsPerModel - 1));
    }
    return device_at(which, id);
}
}  // namespace

}  // namespace vkt::sim::dio

namespace vkt::sim {

// Changes set from Python come after every scheduled one that fell due.
void dio_set_inputs(const std::string& model, int id, unsigned int inputs) {
    dio::Device& device = dio::wired_device(model, id);
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    dio::catch_up(device, clock::now());
    dio::apply(device, dio::Change{{}, inputs, -1});
}

void dio_set_interrupt(const std::string& model, int id, bool level) {
    dio::Device& device = dio::wired_device(model, id);
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    dio::catch_up(device, clock::now());
    dio::apply(device, dio::Change{{}, device.inputs, level ? 1 : 0});
}

unsigned int dio_outputs(const std::string& model, int id) {
    dio::Device& device = dio::wired_device(model, id);
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    return device.outputs;
}

void dio_schedule(const std::string& model, int id,
                  const std::vector<std::tuple<int, unsigned int, int>>& changes) {
    dio::Device& device = dio::wired_device(model, id);
    for (const auto& [after_ms, inputs, level] : changes) {
        (void)inputs;
        if (after_ms < 0 || after_ms > dio::kMaxDelayMs) {
            throw std::invalid_argument("a change comes 0 to 60000 ms from now");
        }
        if (level < -1 || level > 1) throw std::invalid_argument("interrupt level is 0, 1 or -1");
    }
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    const auto now = clock::now();
    dio::catch_up(device, now);
    for (const auto& [after_ms, inputs, level] : changes) {
        device.schedule.push_back(dio::Change{now + std::chrono::milliseconds(after_ms), inputs, level});
    }
    std::stable_sort(device.schedule.begin(), device.schedule.end(),
                     [](const dio::Change& a, const dio::Change& b) { return a.at < b.at; });
    dio::hardware().changed.notify_all();
}

}  // namespace vkt::sim

namespace vkt::sim {

bool dio_is_board(const void* object) {
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    return dio::hardware().boards.count(object) != 0;
}

bool grabber_takes_triggers(const void* object) { return wires::is_grabber(object); }

void dio_wire(const void* board, long long line, const void* target,
              std::optional<long long> target_line) {
    // A grabber is looked up before the digital-I/O lock is taken: the two
    // are never held together.
    std::optional<wires::TriggerInput> trigger;
    if (!dio_is_board(target)) {
        if (!wires::is_grabber(target)) throw WrongObject(dio::kWireTargets, "");
        if (target_line) {
            throw std::invalid_argument(
                "a grabber has one trigger input: target_line is None for it");
        }
        trigger = wires::trigger_input_of(target);
    } else if (!target_line) {
        throw std::invalid_argument("target_line names the input of the target board: 0 to 31");
    }
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    dio::Device& from = dio::wire_end(board, "");
    const int output = dio::wire_line(line, "line");
    if (dio::wire_from(from, output) != from.wires.end()) {
        throw std::invalid_argument(dio::line_name("output", from, output) +
                                    " is already wired; unwire it first");
    }
    // A wire to a trigger input carries the edges that come after it is made.
    if (trigger) from.wires.push_back(dio::Wire{output, nullptr, 0, *trigger});
    else dio::wire_to_board(from, output, target, *target_line);
}

void dio_unwire(const void* board, long long line) {
    std::lock_guard<std::mutex> lock(dio::hardware().mutex);
    dio::Device& from = dio::wire_end(board, "");
    const int output = dio::wire_line(line, "line");
    const auto wire = dio::wire_from(from, output);
    if (wire == from.wires.end()) {
        throw std::invalid_argument(dio::line_name("output", from, output) + " is not wired");
    }
    // The input let go keeps its level until something else sets it.
    if (wire->board != nullptr) wire->board->wired_inputs &= ~(1u << wire->board_line);
    from.wires.erase(wire);
}

}  // namespace vkt::sim
