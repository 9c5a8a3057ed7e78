// What the simulated grabber companions of every model share
// (grabber_companion.h).
#include "grabber_companion.h"

namespace vkt::sim::grabber {

using ktx21::Device;
using ktx21::Kind;

// ---- the link to the board ------------------------------------------------------

void* new_link(const void* from) { return new CompanionLink(link_of(from)); }

void delete_link(void* state) { delete static_cast<CompanionLink*>(state); }

void copy_link(void* state, const void* from) {
    if (state != nullptr) *static_cast<CompanionLink*>(state) = link_of(from);
}

void relink(void* state, IxModule* board) {
    if (state != nullptr) *static_cast<CompanionLink*>(state) = CompanionLink::to(board);
}

bool linked_to_same(const void* a, const void* b) { return link_of(a) == link_of(b); }

// ---- settings by name -----------------------------------------------------------

namespace {

constexpr std::uint64_t kInt32Model = 0x100000008;
constexpr std::uint64_t kUInt32Model = 0x100000004;
constexpr std::uint64_t kTextModel = 0;

std::uint64_t model_for(Kind kind) {
    return kind == Kind::Int32 ? kInt32Model : kind == Kind::UInt32 ? kUInt32Model : kTextModel;
}

bool answer_buffer(const Call& call, void* value, TxModel kind) {
    switch (kind.Value()) {
        case kInt32Model: return call.answer(static_cast<int*>(value));
        case kUInt32Model: return call.answer(static_cast<unsigned int*>(value));
        case kTextModel: return call.answer(static_cast<CxStringA*>(value));
        default: return call.scripted();
    }
}

// The setting `name` of the board's model, of the kind `kind`, or the
// library's error.
const SettingInfo& setting_for(const Device& device, const char* name, const void* value,
                               TxModel kind, Filter filter, const char* op) {
    if (name == nullptr) fail(ExStatus::MissingObject, op, "no setting name given");
    const SettingInfo* info = device.settings.find(name);
    if (info == nullptr || !filter(*info)) {
        fail(ExStatus::NotFound, op, "no setting named '" + std::string(name) + "'");
    }
    if (value == nullptr) fail(ExStatus::MissingObject, op, "no value buffer given");
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

void write_setting(Device& device, const SettingInfo& info, const void* value, const char* op) {
    if (!info.writable) fail(ExStatus::ReadOnly, op, std::string(info.name) + " is read-only");
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
}

}  // namespace

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

bool any_setting(const SettingInfo&) { return true; }

void get_param(const Call& call, Linker linked, const void* state, const char* name, void* value,
               TxModel kind, Filter filter) {
    if (answer_buffer(call, value, kind)) return;
    Access board = linked(state, call.operation());
    read_setting(*board.device, setting_for(*board.device, name, value, kind, filter, call.operation()),
                 value);
}

void set_param(const Call& call, Linker linked, const void* state, const char* name,
               const void* value, TxModel kind, Filter filter) {
    if (call.scripted()) return;
    Access board = linked(state, call.operation());
    write_setting(*board.device, setting_for(*board.device, name, value, kind, filter, call.operation()),
                  value, call.operation());
}

int get_number(const Call& call, Linker linked, const void* state, const char* name) {
    if (call.scripted()) return static_cast<int>(call.number());
    Access board = linked(state, call.operation());
    return static_cast<int>(board.device->settings.number(name));
}

void set_number(const Call& call, Linker linked, const void* state, const char* name, long long value) {
    if (call.scripted()) return;
    Access board = linked(state, call.operation());
    unsigned int as_unsigned = static_cast<unsigned int>(value);
    int as_int = static_cast<int>(value);
    const SettingInfo& info = *board.device->settings.find(name);
    write_setting(*board.device, info, info.kind == Kind::UInt32 ? static_cast<const void*>(&as_unsigned)
                                                                  : static_cast<const void*>(&as_int),
                  call.operation());
}

// ---- registers ----------------------------------------------------------------------

namespace {

// The board's registers: 32-bit words at addresses 0 to 0xFFFC.
void check_register(unsigned int address, const char* op) {
    if (address > 0xFFFC || address % 4 != 0) {
        fail(ExStatus::InvalidArgument, op, "no register at address " + std::to_string(address));
    }
}

}  // namespace

void set_register(const Call& call, Linker linked, const void* state, unsigned int address,
                  unsigned int value) {
    if (call.scripted()) return;
    Access board = linked(state, call.operation());
    check_register(address, call.operation());
    board.device->registers[address] = value;
}

void get_register(const Call& call, Linker linked, const void* state, unsigned int address,
                  unsigned int* value) {
    if (call.answer(value)) return;
    Access board = linked(state, call.operation());
    check_register(address, call.operation());
    if (value == nullptr) fail(ExStatus::MissingObject, call.operation(), "no value buffer given");
    const auto found = board.device->registers.find(address);
    *value = found == board.device->registers.end() ? 0u : found->second;
}

}  // namespace vkt::sim::grabber
