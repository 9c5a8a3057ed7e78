// Journal, scripts, object registry and reset of the simulated library.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
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

// The journal keeps the newest entries only, so that a long-running program
// on the stand-in cannot grow without bound.
constexpr std::size_t kJournalLimit = 200000;

struct State {
    std::mutex mutex;
    std::deque<JournalEntry> journal;
    std::map<std::string, std::deque<Script>> scripts;
    std::map<std::string, unsigned> operations;
    std::unordered_map<const void*, TrackedObject> objects;
    std::uint64_t next_ident = 1;
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
    std::lock_guard<std::mutex> lock(s.mutex);
    s.objects[complete_object] = TrackedObject{s.next_ident++, caster, &type};
}

bool is_tracked(const void* address, const std::type_info& type) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.objects.find(address);
    return found != s.objects.end() && *found->second.type == type;
}

void untrack(const void* complete_object) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.objects.erase(complete_object);
}

std::optional<std::uint64_t> ident_of(const void* address) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.objects.find(address);
    if (found == s.objects.end()) return std::nullopt;
    return found->second.ident;
}

bool with_live_object(const void* complete_object, std::uint64_t ident,
                      const std::function<void()>& use) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.objects.find(complete_object);
    if (found == s.objects.end() || found->second.ident != ident) return false;
    use();
    return true;
}

std::size_t live_objects() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.objects.size();
}

void* interface_of(const void* address, const std::type_info& interface) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.objects.find(address);
    if (found == s.objects.end()) return nullptr;
    return found->second.caster(const_cast<void*>(address), interface);
}

// ---- journal and scripts -------------------------------------------------------

std::vector<JournalEntry> journal() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::vector<JournalEntry>(s.journal.begin(), s.journal.end());
}

void clear_journal() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.journal.clear();
}

std::vector<std::string> operations() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<std::string> names;
    for (const auto& entry : s.operations) names.push_back(entry.first);
    return names;
}

std::optional<unsigned> accepted_values(const std::string& operation) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.operations.find(operation);
    if (found == s.operations.end()) return std::nullopt;
    return found->second;
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
    std::lock_guard<std::mutex> lock(s.mutex);
    auto found = s.operations.find(operation);
    if (found == s.operations.end()) {
        throw std::invalid_argument("unknown operation '" + operation + "'");
    }
    if (!script.raises && (mask_of(script.value) & found->second) == 0) {
        throw std::invalid_argument("operation '" + operation +
                                    "' cannot answer with a value of that type");
    }
    s.scripts[operation].push_back(std::move(script));
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

void reset() {
    State& s = state();
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.journal.clear();
        s.scripts.clear();
        hooks = s.reset_hooks;
    }
    // Hooks stop board threads that may journal, so they run unlocked.
    for (auto& hook : hooks) hook();
    clock::reset();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.journal.clear();
}

void raise_exception(int status, const char* function, const char* file, int line) {
    throw CxException(static_cast<ExStatus>(status), function, file, line);
}

// ---- calls ------------------------------------------------------------------------

Call::Call(const char* operation, std::vector<Value> args) : operation_(operation) {
    Script script;
    bool has_script = false;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.journal.size() >= kJournalLimit) s.journal.pop_front();
        s.journal.push_back(JournalEntry{operation, std::move(args)});
        auto found = s.scripts.find(operation);
        if (found != s.scripts.end() && !found->second.empty()) {
            script = std::move(found->second.front());
            found->second.pop_front();
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
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const auto& info : operations) s.operations[info.name] = info.accepts;
}

ResetHook::ResetHook(std::function<void()> hook) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.reset_hooks.push_back(std::move(hook));
}

}  // namespace vkt::sim
