// Journal, scripts, object registry and reset of the simulated library.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cxxabi.h>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "core/clock.h"
#include "core/state.h"

namespace vkt::sim {
namespace {

struct Script {
    bool raises = false;
    int status = 0;
    Value value;
};

struct TrackedObject {
    std::uint64_t ident;
    InterfaceCaster caster;
    const std::type_info* type;
};

// The name a class has in the library's own code: the compiler's name for it
// spelt out, without the namespaces.
std::string class_name(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> spelt(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    const std::string name = status == 0 && spelt ? spelt.get() : type.name();
    const std::size_t scope = name.rfind("::");
    return scope == std::string::npos ? name : name.substr(scope + 2);
}

// The live library objects by address. Calls look up the identity of the
// object they act on every time, so the identities found last are kept in a
// small table indexed by address, which spares the hash map's division; an
// address leaves that table when its object is destroyed.
class ObjectRegistry {
public:
    void add(const void* address, InterfaceCaster caster, const std::type_info& type) {
        const std::uint64_t ident = next_ident_++;
        objects_[address] = TrackedObject{ident, caster, &type};
        recent_[slot_of(address)] = Recent{address, ident};
    }

    void remove(const void* address) {
        objects_.erase(address);
        Recent& recent = recent_[slot_of(address)];
        if (recent.address == address) recent = Recent{};
    }

    std::optional<std::uint64_t> ident(const void* address) {
        Recent& recent = recent_[slot_of(address)];
        if (recent.address == address && address != nullptr) return recent.ident;
        const TrackedObject* found = find(address);
        if (found == nullptr) return std::nullopt;
        recent = Recent{address, found->ident};
        return found->ident;
    }

    const TrackedObject* find(const void* address) const {
        auto found = objects_.find(address);
        return found == objects_.end() ? nullptr : &found->second;
    }

    std::size_t size() const { return objects_.size(); }

    // Identity and type of every object, oldest first.
    std::vector<std::pair<std::uint64_t, const std::type_info*>> by_ident() const {
        std::vector<std::pair<std::uint64_t, const std::type_info*>> found;
        found.reserve(objects_.size());
        for (const auto& [address, object] : objects_) found.emplace_back(object.ident, object.type);
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        return found;
    }

private:
    struct Recent {
        const void* address = nullptr;
        std::uint64_t ident = 0;
    };

    static constexpr std::size_t kRecent = 256;

    static std::size_t slot_of(const void* address) {
        const auto bits = reinterpret_cast<std::uintptr_t>(address);
        return ((bits >> 4) ^ (bits >> 12)) % kRecent;
    }

    std::unordered_map<const void*, TrackedObject> objects_;
    std::array<Recent, kRecent> recent_{};
    std::uint64_t next_ident_ = 1;
};

// An operation the library has seen or declared: its name as the journal
// shows it, the script values it accepts and the scripts queued for it.
struct Operation {
    std::string name;
    bool declared = false;     // listed by a family; only these take scripts
    unsigned accepts = 0;
    std::deque<Script> scripts;
};

// The journal keeps the newest entries only, so that a long-running program
// on the stand-in cannot grow without bound.
constexpr std::size_t kJournalLimit = 200000;

// The journal as a ring of slots that are overwritten in place: once a slot
// exists, recording a call into it copies the argument values into storage
// the slot already owns, so a call in a steady loop allocates nothing.
// Clearing keeps the slots for the calls to come.
class Journal {
public:
    void record(const Operation& operation, std::initializer_list<Value> args) {
        Slot& slot = next_slot();
        slot.operation = &operation;
        slot.args.resize(args.size());
        auto to = slot.args.begin();
        for (const Value& value : args) copy_value(*to++, value);
    }

    void clear() { first_ = size_ = 0; }

    // Gives the memory of the slots back too.
    void release() {
        clear();
        std::vector<Slot>().swap(slots_);
    }

    std::vector<JournalEntry> entries() const {
        std::vector<JournalEntry> entries;
        entries.reserve(size_);
        for (std::size_t i = 0; i < size_; ++i) {
            const Slot& slot = slots_[(first_ + i) % slots_.size()];
            entries.push_back(JournalEntry{slot.operation->name, slot.args});
        }
        return entries;
    }

private:
    // Copies a value over an older one, touching only the parts either uses:
    // most arguments are numbers, whose texts and lists stay empty.
    static void copy_value(Value& to, const Value& from) {
        to.kind = from.kind;
        to.integer = from.integer;
        if (!to.bytes.empty() || !from.bytes.empty()) to.bytes = from.bytes;
        if (!to.text.empty() || !from.text.empty()) to.text = from.text;
        if (!to.list.empty() || !from.list.empty()) to.list = from.list;
    }

    struct Slot {
        const Operation* operation = nullptr;
        std::vector<Value> args;
    };

    Slot& next_slot() {
        if (size_ < slots_.size()) return slots_[(first_ + size_++) % slots_.size()];
        if (slots_.size() < kJournalLimit) {   // still growing: first_ is 0
            ++size_;
            return slots_.emplace_back();
        }
        Slot& oldest = slots_[first_];         // full: the newest replaces the oldest
        first_ = (first_ + 1) % slots_.size();
        return oldest;
    }

    std::vector<Slot> slots_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

// Operations by name. Calls name their operation by a pointer to its text,
// almost always a string literal, so the operation found for a pointer is
// remembered; a remembered pointer counts only while its text still matches.
class OperationTable {
public:
    Operation& named(const char* text) {
        Remembered& entry = remembered_[slot_of(text)];
        if (entry.text == text && same_text(entry.operation->name, text)) return *entry.operation;
        Operation& operation = find_or_add(text);
        entry = Remembered{text, &operation};
        return operation;
    }

    Operation* find(std::string_view name) {
        auto found = operations_.find(name);
        return found == operations_.end() ? nullptr : &found->second;
    }

    Operation& find_or_add(std::string_view name) {
        auto found = operations_.find(name);
        if (found == operations_.end()) {
            found = operations_.emplace(std::string(name), Operation{}).first;
            found->second.name = found->first;
        }
        return found->second;
    }

    template <class Visit>
    void for_each(Visit visit) {
        for (auto& entry : operations_) visit(entry.second);
    }

private:
    struct Remembered {
        const char* text = nullptr;
        Operation* operation = nullptr;
    };

    static constexpr std::size_t kRemembered = 1024;

    // Stops at the first difference, so it never reads past either end.
    static bool same_text(const std::string& name, const char* text) {
        const char* known = name.c_str();
        std::size_t i = 0;
        for (; known[i] != '\0'; ++i) {
            if (known[i] != text[i]) return false;
        }
        return text[i] == '\0';
    }

    static std::size_t slot_of(const char* text) {
        const auto address = reinterpret_cast<std::uintptr_t>(text);
        return ((address >> 3) ^ (address >> 13)) % kRemembered;
    }

    // Ordered, so the names come out sorted; nodes never move, so the
    // journal and the remembered entries can point at them.
    std::map<std::string, Operation, std::less<>> operations_;
    std::array<Remembered, kRemembered> remembered_{};
};

// Two locks: the registry of live objects (which board threads hold while
// they write into an image) and the calls (journal, scripts, operations).
struct State {
    std::mutex objects_mutex;
    ObjectRegistry objects;

    std::mutex calls_mutex;
    Journal journal;
    bool recording = true;
    OperationTable operations;
    std::vector<std::function<void()>> reset_hooks;
};

// Built on first use, so families may register from their static initialisers
// in any order; never destroyed, so objects freed late at exit still find it.
State& state() {
    static State* instance = new State;
    return *instance;
}

}  // namespace

// ---- values -----------------------------------------------------------------

Value none() { return Value{}; }

Value flag(bool value) {
    Value v;
    v.kind = Value::Kind::Bool;
    v.integer = value ? 1 : 0;
    return v;
}

Value number(long long value) {
    Value v;
    v.kind = Value::Kind::Int;
    v.integer = value;
    return v;
}

Value bytes(const char* text) {
    if (text == nullptr) return none();
    return bytes(text, std::char_traits<char>::length(text));
}

Value bytes(const char* data, std::size_t size) {
    Value v;
    v.kind = Value::Kind::Bytes;
    v.bytes.assign(data, size);
    return v;
}

Value wide(const wchar_t* text) {
    if (text == nullptr) return none();
    Value v;
    v.kind = Value::Kind::Text;
    v.text = text;
    return v;
}

Value list(std::vector<Value> items) {
    Value v;
    v.kind = Value::Kind::List;
    v.list = std::move(items);
    return v;
}

Value buffer(const void* value, TxModel kind) {
    if (value == nullptr || kind.Count != (kind.Type == TxModel::kText ? 0u : 1u)) return none();
    switch (kind.Type) {
        case TxModel::kInt32: return number(*static_cast<const int*>(value));
        case TxModel::kUInt32: return number(*static_cast<const unsigned int*>(value));
        case TxModel::kText: {
            const auto* text = static_cast<const CxStringA*>(value);
            return bytes(text->Address(), static_cast<std::size_t>(text->Length()));
        }
        default: return none();
    }
}

Value model(TxModel kind) { return number(static_cast<long long>(kind.Value())); }

Value ident_value(const void* complete_object) {
    if (complete_object == nullptr) return none();
    // An address the library did not make is recorded as 0: it names no object.
    return number(static_cast<long long>(ident_of(complete_object).value_or(0)));
}

// ---- object tracking -----------------------------------------------------------

void track_address(const void* complete_object, InterfaceCaster caster,
                   const std::type_info& type) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    s.objects.add(complete_object, caster, type);
}

bool is_tracked(const void* address, const std::type_info& type) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    const TrackedObject* found = s.objects.find(address);
    return found != nullptr && *found->type == type;
}

void untrack(const void* complete_object) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    s.objects.remove(complete_object);
}

std::optional<std::uint64_t> ident_of(const void* address) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    return s.objects.ident(address);
}

bool with_live_object(const void* complete_object, std::uint64_t ident,
                      const std::function<void()>& use) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    const TrackedObject* found = s.objects.find(complete_object);
    if (found == nullptr || found->ident != ident) return false;
    use();
    return true;
}

std::size_t live_objects() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    return s.objects.size();
}

std::vector<LiveObject> live_idents() {
    std::vector<std::pair<std::uint64_t, const std::type_info*>> found;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.objects_mutex);
        found = s.objects.by_ident();
    }
    // Names are spelt out after the lock is released: they allocate.
    std::vector<LiveObject> live;
    live.reserve(found.size());
    for (const auto& [ident, type] : found) live.push_back(LiveObject{ident, class_name(*type)});
    return live;
}

void* interface_of(const void* address, const std::type_info& interface) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.objects_mutex);
    const TrackedObject* found = s.objects.find(address);
    if (found == nullptr) return nullptr;
    return found->caster(const_cast<void*>(address), interface);
}

// ---- journal and scripts -------------------------------------------------------

std::vector<JournalEntry> journal() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    return s.journal.entries();
}

void clear_journal() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    s.journal.clear();
}

void set_journal(bool recording) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    s.recording = recording;
}

std::vector<std::string> operations() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    std::vector<std::string> names;
    s.operations.for_each([&](const Operation& operation) {
        if (operation.declared) names.push_back(operation.name);
    });
    return names;
}

std::optional<unsigned> accepted_values(const std::string& operation) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    const Operation* found = s.operations.find(operation);
    if (found == nullptr || !found->declared) return std::nullopt;
    return found->accepts;
}

namespace {

unsigned mask_of(const Value& value) {
    switch (value.kind) {
        case Value::Kind::None: return AcceptsNone;
        case Value::Kind::Bool:
        case Value::Kind::Int: return AcceptsInt;
        case Value::Kind::Bytes: return AcceptsBytes;
        case Value::Kind::List: return AcceptsTuple;
        case Value::Kind::Text: return 0;
    }
    return 0;
}

void queue(const std::string& operation, Script script) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    Operation* found = s.operations.find(operation);
    if (found == nullptr || !found->declared) {
        throw std::invalid_argument("unknown operation '" + operation + "'");
    }
    if (!script.raises && (mask_of(script.value) & found->accepts) == 0) {
        throw std::invalid_argument("operation '" + operation +
                                    "' cannot answer with a value of that type");
    }
    found->scripts.push_back(std::move(script));
}

}  // namespace

void script_value(const std::string& operation, const Value& value) {
    Script script;
    script.value = value;
    queue(operation, std::move(script));
}

void script_raise(const std::string& operation, int status) {
    Script script;
    script.raises = true;
    script.status = status;
    queue(operation, std::move(script));
}

// Power-on: no scripts, an empty journal that records again, every board
// back to its first state.
void reset(const std::string& clock) {
    const bool virtual_clock = clock::is_virtual_name(clock);
    State& s = state();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> lock(s.calls_mutex);
        s.journal.release();
        s.recording = true;
        s.operations.for_each([](Operation& operation) { operation.scripts.clear(); });
        hooks = s.reset_hooks;
    }
    // Hooks stop board threads that may journal, so they run unlocked.
    for (auto& hook : hooks) hook();
    clock::reset(virtual_clock);
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    s.journal.clear();
}

void raise_exception(int status, const char* function, const char* file, int line) {
    throw CxException(static_cast<ExStatus>(status), function, file, line);
}

// ---- calls ------------------------------------------------------------------------

Call::Call(const char* operation, std::initializer_list<Value> args) : operation_(operation) {
    Script script;
    bool has_script = false;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.calls_mutex);
        Operation& called = s.operations.named(operation);
        if (s.recording) s.journal.record(called, args);
        if (!called.scripts.empty()) {
            script = std::move(called.scripts.front());
            called.scripts.pop_front();
            has_script = true;
        }
    }
    if (!has_script) return;
    if (script.raises) {
        throw CxException(static_cast<ExStatus>(script.status), operation, __FILE__, __LINE__);
    }
    scripted_ = true;
    value_ = std::move(script.value);
}

bool Call::answer(int* out) const {
    if (!scripted_) return false;
    if (out != nullptr) *out = static_cast<int>(value_.integer);
    return true;
}

bool Call::answer(unsigned int* out) const {
    if (!scripted_) return false;
    if (out != nullptr) *out = static_cast<unsigned int>(value_.integer);
    return true;
}

bool Call::answer(bool* out) const {
    if (!scripted_) return false;
    if (out != nullptr) *out = value_.integer != 0;
    return true;
}

bool Call::answer(CxStringA* out) const {
    if (!scripted_) return false;
    if (out != nullptr) out->Assign(value_.bytes.data(), static_cast<int>(value_.bytes.size()));
    return true;
}

std::optional<std::string> narrow(const wchar_t* text) {
    std::string utf8;
    for (; text != nullptr && *text != L'\0'; ++text) {
        const auto code = static_cast<std::uint32_t>(*text);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (code >> 12));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (code >> 18));
            utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

bool Call::answer(void* buffer, TxModel kind) const {
    if (!scripted_) return false;
    if (buffer == nullptr) return true;
    const bool text = kind.Type == TxModel::kText && kind.Count == 0;
    const bool fits = text ? value_.kind == Value::Kind::Bytes
                           : (value_.kind == Value::Kind::Int || value_.kind == Value::Kind::Bool);
    if (!fits) fail(ExStatus::WrongKind, operation_, "scripted value does not fit the value kind");
    if (text) return answer(static_cast<CxStringA*>(buffer));
    if (kind.Type == TxModel::kInt32) return answer(static_cast<int*>(buffer));
    if (kind.Type == TxModel::kUInt32) return answer(static_cast<unsigned int*>(buffer));
    return true;  // a command's scratch byte is left alone
}

void fail(ExStatus status, const char* operation, const std::string& problem) {
    std::string function = operation;
    if (!problem.empty()) function += ": " + problem;
    throw CxException(status, function.c_str(), __FILE__, __LINE__);
}

// ---- registration -------------------------------------------------------------------

Operations::Operations(std::initializer_list<OperationInfo> operations) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    for (const auto& info : operations) {
        Operation& operation = s.operations.find_or_add(info.name);
        operation.declared = true;
        operation.accepts = info.accepts;
    }
}

ResetHook::ResetHook(std::function<void()> hook) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.calls_mutex);
    s.reset_hooks.push_back(std::move(hook));
}

}  // namespace vkt::sim
