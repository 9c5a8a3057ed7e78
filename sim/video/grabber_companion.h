// What the simulated grabber companions (settings, encoder, serial line of
// the KTX21, KTX22 and MR250) share. Each works on the device of the board it is
// attached to, and only while that board lives.
#pragma once

#include <cstring>

#include "core/companion_link.h"
#include "video/grabber_device.h"

namespace vkt::sim::grabber {

// ---- attachment ---------------------------------------------------------------------

void* new_link(const void* from);
void relink(void* state, IxModule* board);
bool linked_to_same(const void* a, const void* b);

// The attached board's device, locked, or the library's error naming why
// not: no board, a board that is gone, a board of another model, a board
// that is not open (where `need_open`).
Access linked(const void* state, const Model& model, const char* op, bool need_open = true);
bool linked_valid(const void* state, const Model& model);

template <class Board>
Board* controller_of(const void* state) {
    return link_of(state).as<Board>();
}

// ---- settings by name -----------------------------------------------------------------

using Filter = bool (*)(const SettingInfo&);
bool any_setting(const SettingInfo&);
bool encoder_setting(const SettingInfo& info);

// The content of a value buffer as the journal records it.
Value buffer_value(const void* value, TxModel kind);

void get_param(const Call& call, const void* state, const Model& model, const char* name,
               void* value, TxModel kind, Filter filter);
void set_param(const Call& call, const void* state, const Model& model, const char* name,
               const void* value, TxModel kind, Filter filter);

// A typed setting property.
int get_number(const Call& call, const void* state, const Model& model, const char* name);
void set_number(const Call& call, void* state, const Model& model, const char* name,
                long long value);

// ---- registers ---------------------------------------------------------------------------

void set_register(const Call& call, const void* state, const Model& model, unsigned int address,
                  unsigned int value);
void get_register(const Call& call, const void* state, const Model& model, unsigned int address,
                  unsigned int* value);

// ---- commands by name ---------------------------------------------------------------------

struct Command {
    const char* name;
    void (*run)(Device& device, const char* op);
};

// SendCommand of a companion: runs the command called `name`, one of
// `count` at `commands`, on the attached board. The command's value buffer
// is scratch: it is neither read nor written.
void send_command(const Call& call, const void* state, const Model& model, const char* name,
                  TxModel kind, const Command* commands, std::size_t count);

// ---- encoder counters --------------------------------------------------------------------

// Reads one counter of the attached board's encoder.
template <class T, class Read>
T read_counter(const char* op, Value self, const void* state, const Model& model, Read read) {
    Call call(op, std::move(self));
    if (call.scripted()) return static_cast<T>(call.number());
    Access board = linked(state, model, op);
    return read(board.device->encoder);
}

// Changes the attached board's encoder counters.
template <class Change>
void change_counters(const char* op, Value self, const void* state, const Model& model,
                     Change change) {
    Call call(op, std::move(self));
    if (call.scripted()) return;
    Access board = linked(state, model, op);
    change(board.device->encoder);
}

int wrap32(long long value);

// ---- the camera serial line (operations named "<class>::<operation>") -------------------

struct SerialCompanion {
    const char* class_name;   // "CxKTX21Sio"
    const Model& model;
};

void serial_open(const SerialCompanion& sio, Value self, const void* state, bool open);
bool serial_is_opened(const SerialCompanion& sio, Value self, const void* state);
void serial_write_byte(const SerialCompanion& sio, Value self, const void* state, char byte);
char serial_read_byte(const SerialCompanion& sio, Value self, const void* state);
void serial_write(const SerialCompanion& sio, Value self, const void* state, const char* text);
int serial_read(const SerialCompanion& sio, Value self, const void* state, char* buffer,
                int count);
void serial_set_camera_mode(const SerialCompanion& sio, Value self, const void* state,
                            const char* mode);
void serial_purge(const SerialCompanion& sio, Value self, const void* state);

}  // namespace vkt::sim::grabber

// The members every companion class has: constructors, assignment,
// destructor, equality, From, Controller and IsValid. `state_` holds a
// CompanionLink.
#define VKT_SIM_COMPANION(Class, Board, Model)                                                \
    Class::Class() : state_(sim::grabber::new_link(nullptr)) { sim::track(this); }              \
    Class::Class(const Class& other) : state_(sim::grabber::new_link(other.state_)) {          \
        sim::track(this);                                                                        \
    }                                                                                            \
    Class::Class(Class&& other) noexcept : state_(other.state_) {                              \
        other.state_ = nullptr;                                                                  \
        sim::track(this);                                                                        \
    }                                                                                            \
    Class& Class::operator=(const Class& other) {                                              \
        if (state_ != nullptr) {                                                                 \
            *static_cast<sim::CompanionLink*>(state_) = sim::link_of(other.state_);             \
        }                                                                                        \
        return *this;                                                                            \
    }                                                                                            \
    Class::~Class() {                                                                            \
        sim::untrack(this);                                                                      \
        delete static_cast<sim::CompanionLink*>(state_);                                         \
    }                                                                                            \
    bool Class::operator==(const Class& other) const {                                          \
        sim::Call call(#Class "::operator==", sim::object(this), sim::object(&other));          \
        if (call.scripted()) return call.number() != 0;                                          \
        return sim::grabber::linked_to_same(state_, other.state_);                               \
    }                                                                                            \
    bool Class::operator!=(const Class& other) const {                                          \
        sim::Call call(#Class "::operator!=", sim::object(this), sim::object(&other));          \
        if (call.scripted()) return call.number() != 0;                                          \
        return !sim::grabber::linked_to_same(state_, other.state_);                              \
    }                                                                                            \
    Class Class::From(IxModule* board) {                                                        \
        sim::Call call(#Class "::From", sim::object(board));                                     \
        Class companion;                                                                         \
        if (!call.scripted()) sim::grabber::relink(companion.state_, board);                     \
        return companion;                                                                        \
    }                                                                                            \
    Board* Class::Controller() const {                                                           \
        sim::Call call(#Class "::Controller", sim::object(this));                                \
        return call.scripted() ? nullptr : sim::grabber::controller_of<Board>(state_);           \
    }                                                                                            \
    void Class::Controller(IxModule* board) {                                                    \
        sim::Call call(#Class "::Controller", sim::object(this), sim::object(board));            \
        if (!call.scripted()) sim::grabber::relink(state_, board);                               \
    }                                                                                            \
    bool Class::IsValid() const {                                                                \
        sim::Call call(#Class "::IsValid", sim::object(this));                                   \
        return call.scripted() ? call.number() != 0 : sim::grabber::linked_valid(state_, Model); \
    }

// A Param class's settings by name and its registers: GetParam, SetParam,
// SetRegister and GetRegister.
#define VKT_SIM_PARAM_ACCESS(Class, Model)                                                       \
    void Class::GetParam(const char* name, void* value, TxModel kind) {                         \
        sim::Call call(#Class "::GetParam", sim::object(this), sim::bytes(name),                \
                                             sim::grabber::buffer_value(value, kind),           \
                                             sim::model(kind));                                  \
        sim::grabber::get_param(call, state_, Model, name, value, kind, &sim::grabber::any_setting); \
    }                                                                                            \
    void Class::SetParam(const char* name, const void* value, TxModel kind) {                   \
        sim::Call call(#Class "::SetParam", sim::object(this), sim::bytes(name),                \
                                             sim::grabber::buffer_value(value, kind),           \
                                             sim::model(kind));                                  \
        sim::grabber::set_param(call, state_, Model, name, value, kind, &sim::grabber::any_setting); \
    }                                                                                            \
    void Class::SetRegister(unsigned int address, unsigned int value) {                         \
        sim::grabber::set_register(                                                              \
            sim::Call(#Class "::SetRegister",                                                    \
                      sim::object(this), sim::number(address), sim::number(value)),              \
            state_, Model, address, value);                                                      \
    }                                                                                            \
    void Class::GetRegister(unsigned int address, unsigned int* value) {                        \
        sim::grabber::get_register(                                                              \
            sim::Call(#Class "::GetRegister",                                                    \
                      sim::object(this), sim::number(address), sim::out(value)),                 \
            state_, Model, address, value);                                                      \
    }

// A typed setting property: the setting of the same name on the board.
#define VKT_SIM_SETTING(Class, Setter, Getter, Type, Setting, Model)                             \
    void Class::Setter(Type value) {                                                             \
        sim::grabber::set_number(                                                                \
            sim::Call(#Class "::" #Setter, sim::object(this), sim::number(value)), state_,       \
            Model, Setting, value);                                                              \
    }                                                                                            \
    Type Class::Getter() const {                                                                 \
        return static_cast<Type>(sim::grabber::get_number(                                       \
            sim::Call(#Class "::" #Getter, sim::object(this)), state_, Model, Setting));         \
    }
