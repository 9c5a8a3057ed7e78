// Shared work of the simulated grabber companions.
#include "video/grabber_companion.h"

#include <algorithm>
#include <string>

namespace vkt::sim::grabber {

// ---- attachment ----------------------------------------------------------------------

void* new_link(const void* from) { return new CompanionLink(link_of(from)); }

void relink(void* state, IxModule* board) {
    if (state != nullptr) *static_cast<CompanionLink*>(state) = CompanionLink::to(board);
}

bool linked_to_same(const void* a, const void* b) { return link_of(a) == link_of(b); }

Access linked(const void* state, const Model& model, const char* op, bool need_open) {
    const CompanionLink& link = link_of(state);
    // As for the digital-I/O companions: a companion without a living board
    // works on no open board.
    if (!link.attached()) fail(ExStatus::NotOpened, op, "no board is attached");
    if (!link.alive()) fail(ExStatus::NotOpened, op, "the attached board no longer exists");
    if (model_of_board(link.complete) != &model) {
        fail(ExStatus::NotSupported, op, std::string("the attached board is not a ") + model.name);
    }
    return access_device(device_of(link.complete), op, need_open);
}

bool linked_valid(const void* state, const Model& model) {
    const CompanionLink& link = link_of(state);
    return link.alive() && model_of_board(link.complete) == &model &&
           device_of(link.complete) != nullptr;
}

// ---- settings by name -------------------------------------------------------------------

namespace {

constexpr std::uint64_t kInt32Model = 0x100000008;
constexpr std::uint64_t kUInt32Model = 0x100000004;
constexpr std::uint64_t kTextModel = 0;
constexpr std::uint64_t kCommandModel = 0x100000006;

std::uint64_t model_for(Kind kind) {
    return kind == Kind::Int32 ? kInt32Model : kind == Kind::UInt32 ? kUInt32Model : kTextModel;
}

// The setting `name` of the kind `kind`, or the library's error.
const SettingInfo& setting_for(const Settings& settings, const char* name, const void* value,
                               TxModel kind, Filter filter, const char* op) {
    if (name == nullptr) fail(ExStatus::InvalidArgument, op, "no setting name given");
    const SettingInfo* info = settings.find(name);
    if (info == nullptr || !filter(*info)) {
        fail(ExStatus::NotFound, op, "no setting named '" + std::string(name) + "'");
    }
    if (value == nullptr) fail(ExStatus::InvalidArgument, op, "no value buffer given");
    if (kind.Value() != model_for(info->kind)) {
        static const char* const kinds[] = {"int32", "uint32", "text"};
        fail(ExStatus::WrongKind, op,
             std::string(name) + " is a " + kinds[static_cast<int>(info->kind)] + " setting");
    }
    return *info;
}

void read_setting(const Device& device, const SettingInfo& info, void* value) {
    if (info.kind == Kind::Text) {
        const std::string& text = device.settings.text(info);
        static_cast<CxStringA*>(value)->Assign(text.data(), static_cast<int>(text.size()));
    } else if (info.kind == Kind::UInt32) {
        *static_cast<unsigned int*>(value) = static_cast<unsigned int>(device.settings.number(info));
    } else {
        *static_cast<int*>(value) = static_cast<int>(device.settings.number(info));
    }
}

// A running capture keeps the settings it started with, as a camera file
// applied then would be refused: the settings always describe the frames.
void write_setting(Device& device, const SettingInfo& info, const void* value, const char* op) {
    if (!info.writable) fail(ExStatus::ReadOnly, op, std::string(info.name) + " is read-only");
    if (device.running()) {
        fail(ExStatus::DeviceBusy, op, std::string(info.name) + " cannot change while a capture runs");
    }
    if (info.kind == Kind::Text) {
        const auto* text = static_cast<const CxStringA*>(value);
        device.settings.set_text(info, std::string(text->Address(), static_cast<std::size_t>(text->Length())));
        return;
    }
    const long long number = info.kind == Kind::UInt32
                                 ? static_cast<long long>(*static_cast<const unsigned int*>(value))
                                 : static_cast<long long>(*static_cast<const int*>(value));
    const std::string problem = device.settings.set_number(info, number);
    if (!problem.empty()) fail(ExStatus::InvalidArgument, op, problem);
    device.drop_unfitting_frames();
}

}  // namespace

bool any_setting(const SettingInfo&) { return true; }

bool encoder_setting(const SettingInfo& info) {
    return std::strncmp(info.name, "ENC", 3) == 0 || std::strcmp(info.name, "EncoderMode") == 0 ||
           std::strcmp(info.name, "EncoderActMode") == 0;
}

Value buffer_value(const void* value, TxModel kind) {
    if (value == nullptr) return none();
    switch (kind.Value()) {
        case kInt32Model: return out(static_cast<const int*>(value));
        case kUInt32Model: return out(static_cast<const unsigned int*>(value));
        case kTextModel: {
            const auto* text = static_cast<const CxStringA*>(value);
            return bytes(text->Address(), static_cast<std::size_t>(text->Length()));
        }
        default: return none();
    }
}

void get_param(const Call& call, const void* state, const Model& model, const char* name,
               void* value, TxModel kind, Filter filter) {
    // A scripted value that does not fit the kind is the library's WrongKind
    // error, as a text scripted for a number setting.
    if (call.answer(value, kind)) return;
    Access board = linked(state, model, call.operation());
    const Settings& settings = board.device->settings;
    read_setting(*board.device, setting_for(settings, name, value, kind, filter, call.operation()),
                 value);
}

void set_param(const Call& call, const void* state, const Model& model, const char* name,
               const void* value, TxModel kind, Filter filter) {
    if (call.scripted()) return;
    Access board = linked(state, model, call.operation());
    const Settings& settings = board.device->settings;
    write_setting(*board.device, setting_for(settings, name, value, kind, filter, call.operation()),
                  value, call.operation());
}

int get_number(const Call& call, const void* state, const Model& model, const char* name) {
    if (call.scripted()) return static_cast<int>(call.number());
    Access board = linked(state, model, call.operation());
    return static_cast<int>(board.device->settings.number(name));
}

void set_number(const Call& call, void* state, const Model& model, const char* name,
                long long value) {
    if (call.scripted()) return;
    Access board = linked(state, model, call.operation());
    unsigned int as_unsigned = static_cast<unsigned int>(value);
    int as_int = static_cast<int>(value);
    const SettingInfo& info = board.device->settings.info(name);
    write_setting(*board.device, info, info.kind == Kind::UInt32 ? static_cast<const void*>(&as_unsigned)
                                                                  : static_cast<const void*>(&as_int),
                  call.operation());
}

// ---- registers ---------------------------------------------------------------------------

namespace {

// The board's registers: 32-bit words at addresses 0 to 0xFFFC.
void check_register(unsigned int address, const char* op) {
    if (address > 0xFFFC || address % 4 != 0) {
        fail(ExStatus::InvalidArgument, op, "no register at address " + std::to_string(address));
    }
}

}  // namespace

void set_register(const Call& call, const void* state, const Model& model, unsigned int address,
                  unsigned int value) {
    if (call.scripted()) return;
    Access board = linked(state, model, call.operation());
    check_register(address, call.operation());
    board.device->registers[address] = value;
}

void get_register(const Call& call, const void* state, const Model& model, unsigned int address,
                  unsigned int* value) {
    if (call.answer(value)) return;
    Access board = linked(state, model, call.operation());
    check_register(address, call.operation());
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "no value buffer given");
    const auto found = board.device->registers.find(address);
    *value = found == board.device->registers.end() ? 0u : found->second;
}

// ---- commands by name ---------------------------------------------------------------------

void send_command(const Call& call, const void* state, const Model& model, const char* name,
                  TxModel kind, const Command* commands, std::size_t count) {
    if (call.scripted()) return;
    Access board = linked(state, model, call.operation());
    if (name == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "no command name given");
    if (kind.Value() != kCommandModel) {
        fail(ExStatus::WrongKind, call.operation(), "a command is sent with the command kind");
    }
    for (const Command* command = commands; command != commands + count; ++command) {
        if (std::strcmp(command->name, name) == 0) return command->run(*board.device, call.operation());
    }
    fail(ExStatus::NotFound, call.operation(), "no command named '" + std::string(name) + "'");
}

int wrap32(long long value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

// ---- the camera serial line ---------------------------------------------------------------

namespace {

// The journal keeps at most this much of a read buffer's content on entry.
constexpr int kJournalledBuffer = 1 << 20;

Value read_buffer(const char* buffer, int count) {
    if (buffer == nullptr || count < 0) return none();
    return bytes(buffer, static_cast<std::size_t>(std::min(count, kJournalledBuffer)));
}

// "<class>::<operation>", kept for the call (the journal copies it).
struct OperationName {
    std::string text;
    OperationName(const SerialCompanion& sio, const char* operation)
        : text(std::string(sio.class_name) + "::" + operation) {}
    const char* c_str() const { return text.c_str(); }
};

// The attached board's serial line, which must be open.
Access open_line(const SerialCompanion& sio, const void* state, const char* op) {
    Access board = linked(state, sio.model, op);
    if (!board.device->serial.opened) fail(ExStatus::NotOpened, op, "the serial line is not open");
    return board;
}

}  // namespace

void serial_open(const SerialCompanion& sio, Value self, const void* state, bool open) {
    const OperationName op(sio, open ? "Open" : "Close");
    Call call(op.c_str(), std::move(self));
    if (call.scripted()) return;
    Access board = linked(state, sio.model, op.c_str());
    board.device->serial.opened = open;
    board.device->settings.set_number_unchecked("SIOOpenFlag", open ? 1 : 0);
}

bool serial_is_opened(const SerialCompanion& sio, Value self, const void* state) {
    const OperationName op(sio, "IsOpened");
    Call call(op.c_str(), std::move(self));
    if (call.scripted()) return call.number() != 0;
    Access board = linked(state, sio.model, op.c_str());
    return board.device->serial.opened;
}

void serial_write_byte(const SerialCompanion& sio, Value self, const void* state, char byte) {
    const OperationName op(sio, "WriteByte");
    Call call(op.c_str(), std::move(self), number(static_cast<unsigned char>(byte)));
    if (call.scripted()) return;
    Access line = open_line(sio, state, op.c_str());
    line.device->serial_send(line.lock, &byte, 1);
}

char serial_read_byte(const SerialCompanion& sio, Value self, const void* state) {
    const OperationName op(sio, "ReadByte");
    Call call(op.c_str(), std::move(self));
    if (call.scripted()) {
        const std::string& scripted = call.value().bytes;
        return scripted.empty() ? static_cast<char>(call.number()) : scripted.front();
    }
    Access line = open_line(sio, state, op.c_str());
    char byte = 0;
    if (!line.device->serial_read_byte(line.lock, byte)) {
        fail(ExStatus::Timeout, op.c_str(), "no byte within the time-out");
    }
    return byte;
}

void serial_write(const SerialCompanion& sio, Value self, const void* state, const char* text) {
    const OperationName op(sio, "Write");
    Call call(op.c_str(), std::move(self), bytes(text));
    if (call.scripted()) return;
    if (text == nullptr) fail(ExStatus::InvalidArgument, op.c_str(), "no text given");
    Access line = open_line(sio, state, op.c_str());
    line.device->serial_send(line.lock, text, std::strlen(text));
}

int serial_read(const SerialCompanion& sio, Value self, const void* state, char* buffer,
                int count) {
    const OperationName op(sio, "Read");
    Call call(op.c_str(), std::move(self), read_buffer(buffer, count), number(count));
    if (count < 0) fail(ExStatus::InvalidArgument, op.c_str(), "negative byte count");
    if (buffer == nullptr && count > 0) fail(ExStatus::InvalidArgument, op.c_str(), "no buffer given");
    if (call.scripted()) {
        const std::string& scripted = call.value().bytes;
        const std::size_t size = std::min(scripted.size(), static_cast<std::size_t>(count));
        std::copy_n(scripted.begin(), size, buffer);
        return static_cast<int>(size);
    }
    Access line = open_line(sio, state, op.c_str());
    return line.device->serial_read(line.lock, buffer, count);
}

void serial_set_camera_mode(const SerialCompanion& sio, Value self, const void* state,
                            const char* mode) {
    const OperationName op(sio, "SetCameraMode");
    Call call(op.c_str(), std::move(self), bytes(mode));
    if (call.scripted()) return;
    if (mode == nullptr) fail(ExStatus::InvalidArgument, op.c_str(), "no camera mode given");
    Access line = open_line(sio, state, op.c_str());
    // The library words the mode as the camera's own command.
    const std::string command = "MODE=" + std::string(mode) + "\r";
    line.device->serial_send(line.lock, command.data(), command.size());
}

void serial_purge(const SerialCompanion& sio, Value self, const void* state) {
    const OperationName op(sio, "Purge");
    Call call(op.c_str(), std::move(self));
    if (call.scripted()) return;
    Access line = open_line(sio, state, op.c_str());
    line.device->serial.rx.clear();
    line.device->serial.command.clear();
}

}  // namespace vkt::sim::grabber
