// Shared machinery of the simulated device library: object tracking, the call
// journal, scripted answers, reset hooks and failures. Every simulated
// operation goes through here so that tests see it the same way.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "core/control.h"
#include "vkt/vkt.h"

namespace vkt::sim {

// ---- journal values -------------------------------------------------------

static_assert(std::is_nothrow_move_constructible_v<Value>, "a call's values move without failing");

Value none();
Value flag(bool value);
Value number(long long value);
Value bytes(const char* text);                      // None for null
Value bytes(const char* data, std::size_t size);
Value wide(const wchar_t* text);                    // None for null
Value list(std::vector<Value> items);
Value model(TxModel kind);                          // its 64-bit value

// What a by-name value buffer holds on entry, read as `kind` says: a number,
// the bytes of a CxStringA, or None (command scratch bytes, null, unknown).
Value buffer(const void* value, TxModel kind);

// Content of an out-parameter on entry (None for a null pointer).
template <class T>
Value out(const T* pointer) {
    if (pointer == nullptr) return none();
    if constexpr (std::is_same_v<T, bool>) return flag(*pointer);
    else return number(static_cast<long long>(*pointer));
}

Value ident_value(const void* complete_object);

// The identity number of a library object (None for null). Interfaces are
// followed to their complete object first.
template <class T>
Value object(const T* pointer) {
    if (pointer == nullptr) return none();
    // The cast tests its operand for null once more, which the line above
    // already ruled out: that branch cannot be taken.
    if constexpr (std::is_polymorphic_v<T>) {
        return ident_value(dynamic_cast<const void*>(pointer));  // GCOVR_EXCL_BR_LINE
    } else {
        return ident_value(pointer);
    }
}

// ---- object tracking ------------------------------------------------------

using InterfaceCaster = void* (*)(void* complete_object, const std::type_info& interface);

void track_address(const void* complete_object, InterfaceCaster caster, const std::type_info& type);
void untrack(const void* complete_object);

template <class Interface, class T>
void* cast_if(T* self, const std::type_info& interface) {
    if constexpr (std::is_base_of_v<Interface, T>) {
        if (interface == typeid(Interface)) return static_cast<Interface*>(self);
    }
    return nullptr;
}

template <class T>
void* cast_to_interface(void* complete_object, const std::type_info& interface) {
    T* self = static_cast<T*>(complete_object);
    for (void* cast : {cast_if<IxModule>(self, interface), cast_if<IxDeviceModule>(self, interface),
                       cast_if<IxRegister>(self, interface),
                       cast_if<Video::IxVideoControl>(self, interface),
                       cast_if<DIO::IxDIO>(self, interface),
                       cast_if<DIO::IxIndexedDIO>(self, interface)}) {
        if (cast != nullptr) return cast;
    }
    return nullptr;
}

// Called by the constructors of complete objects (never of a base part), so
// that the address registered is the one callers hold.
template <class T>
void track(T* self) {
    track_address(self, &cast_to_interface<T>, typeid(T));
}

// True when a library object of exactly type T lives at `address`.
bool is_tracked(const void* address, const std::type_info& type);

template <class T>
T* tracked_as(void* address) {
    return is_tracked(address, typeid(T)) ? static_cast<T*>(address) : nullptr;
}

// Runs `use` if the object with identity `ident` still lives at
// `complete_object`, and returns whether it ran. While `use` runs no library
// object can be destroyed, so a board thread can safely write into an image
// that its Python owner may free at any moment. `use` must not call back
// into the simulated library (the registry lock is held).
bool with_live_object(const void* complete_object, std::uint64_t ident,
                      const std::function<void()>& use);

// ---- calls ----------------------------------------------------------------

// One call that reached the library. Constructing it journals the call and
// takes the script queued for the operation, if any: a scripted failure is
// thrown right here; a scripted value is offered through answer(). The
// arguments are copied into the journal's own storage, so a braced list of
// values costs no allocation.
class Call {
public:
    Call(const char* operation, std::initializer_list<Value> args);
    // The usual form, each argument a Value of its own. Their list is made
    // here, in one place for every operation, from values that move without
    // failing: no call site has a half-made list to unwind when making one
    // of its values fails.
    template <class... Values, class = std::enable_if_t<(std::is_same_v<Values, Value> && ...)>>
    Call(const char* operation, Value first, Values... rest)
        : Call(operation, {std::move(first), std::move(rest)...}) {}

    // True when a value was scripted: the call must then do nothing else.
    bool scripted() const { return scripted_; }
    const Value& value() const { return value_; }

    // When scripted, store the scripted value in *out (if out is not null)
    // and return true; otherwise return false and leave *out alone.
    bool answer(int* out) const;
    bool answer(unsigned int* out) const;
    bool answer(bool* out) const;
    bool answer(CxStringA* out) const;
    // A by-name value buffer of `kind`; a scripted value that does not fit
    // the kind is the library's WrongKind error.
    bool answer(void* buffer, TxModel kind) const;

    // The scripted value as a number, for operations that return one.
    long long number() const { return value_.integer; }

    const char* operation() const { return operation_; }

private:
    const char* operation_;
    bool scripted_ = false;
    Value value_;
};

// A wide text (one code point per wchar_t) as UTF-8, for paths; nothing if
// it holds a value that is no code point (a surrogate or one past U+10FFFF).
std::optional<std::string> narrow(const wchar_t* text);

// Throws the library's exception for `operation`, naming the problem.
[[noreturn]] void fail(ExStatus status, const char* operation, const std::string& problem = {});

// ---- registration of a family's operations and power-on state ------------

struct OperationInfo {
    const char* name;
    unsigned accepts;
};

// Declared once per family, at namespace scope, listing its operations.
struct Operations {
    Operations(std::initializer_list<OperationInfo> operations);
};

// Declared once per family: brings its simulated boards back to power-on.
struct ResetHook {
    explicit ResetHook(std::function<void()> hook);
};

}  // namespace vkt::sim
