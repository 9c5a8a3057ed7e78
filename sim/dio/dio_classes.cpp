// The library classes of the digital-I/O boards over the simulated hardware:
// every call is journaled and may be scripted before the board acts.
#include "core/companion_link.h"
#include "dio/dio_board.h"

namespace vkt::DIO {
namespace {

namespace dio = sim::dio;
using sim::Call;

// ---- boards -------------------------------------------------------------------
//
// A board object holds a shared handle; copies of it share the handle and so
// the open board.

using HandlePtr = std::shared_ptr<dio::Handle>;

void* make_handle(dio::Model model) { return new HandlePtr(dio::new_handle(model)); }
void* copy_handle(void* handle) { return new HandlePtr(*static_cast<HandlePtr*>(handle)); }
void free_handle(void* handle) { delete static_cast<HandlePtr*>(handle); }
dio::Handle& handle_of(void* handle) { return **static_cast<HandlePtr*>(handle); }

template <class Board>
void board_made(Board* board, void* handle) {
    sim::track(board);
    dio::register_board(board, *static_cast<HandlePtr*>(handle));
}

template <class Board>
void board_gone(Board* board, void* handle) {
    dio::unregister_board(board);
    sim::untrack(board);
    free_handle(handle);
}

// `equal` tells operator== from operator!=: a scripted answer is the
// operator's own result either way.
template <class Board>
bool board_compare(const char* op, bool equal, const Board* self, const Board& other, void* a,
                   void* b) {
    Call call(op, sim::object(self), sim::object(&other));
    if (call.scripted()) return call.number() != 0;
    return dio::same_board(handle_of(a), handle_of(b)) == equal;
}

template <class Record>
Record wait_record(const char* op, const void* self, void* handle) {
    Call call(op, sim::object(self));
    Record record;
    if (call.scripted()) {
        const auto& fields = call.value().list;
        if (fields.size() != 3) sim::fail(ExStatus::WrongKind, op, "a wait record has 3 fields");
        record.event_status = static_cast<unsigned int>(fields[0].integer);
        record.di_event_status = static_cast<unsigned int>(fields[1].integer);
        record.di = static_cast<unsigned int>(fields[2].integer);
        return record;
    }
    const dio::WaitResult result = dio::wait(handle_of(handle), op);
    record.event_status = result.event;
    record.di_event_status = result.lines;
    record.di = result.inputs;
    return record;
}

template <class Text>
std::string path_of(const Text* path, const char* op) {
    if (path == nullptr) sim::fail(ExStatus::InvalidArgument, op, "null path");
    if constexpr (std::is_same_v<Text, wchar_t>) {
        std::optional<std::string> utf8 = sim::narrow(path);
        if (!utf8) sim::fail(ExStatus::InvalidArgument, op, "path is not valid text");
        return *utf8;
    } else {
        return path;
    }
}

}  // namespace

// The operations all three boards share, written once for each class.
#define VKT_SIM_DIO_BOARD(Board, MODEL)                                                        \
    Board::Board() : handle_(make_handle(dio::Model::MODEL)) { board_made(this, handle_); }  \
    Board::Board(const Board& other)                                                          \
        : CxModule(), IxModule(), IxDIO(), IxIndexedDIO(), handle_(copy_handle(other.handle_)) { \
        board_made(this, handle_);                                                            \
    }                                                                                         \
    Board::~Board() { board_gone(this, handle_); }                                            \
    bool Board::operator==(const Board& other) const {                                        \
        return board_compare(#Board "::operator==", true, this, other, handle_, other.handle_); \
    }                                                                                         \
    bool Board::operator!=(const Board& other) const {                                        \
        return board_compare(#Board "::operator!=", false, this, other, handle_, other.handle_); \
    }                                                                                         \
    void Board::Dispose() {                                                                   \
        Call call(#Board "::Dispose", sim::object(this));                                     \
        if (!call.scripted()) dio::dispose(handle_of(handle_));                               \
    }                                                                                         \
    bool Board::IsValid() const {                                                             \
        Call call(#Board "::IsValid", sim::object(this));                                     \
        return call.scripted() ? call.number() != 0 : dio::is_valid(handle_of(handle_));      \
    }                                                                                         \
    void Board::Open(int id) {                                                                \
        Call call(#Board "::Open", sim::object(this), sim::number(id));                       \
        if (!call.scripted()) dio::open(handle_of(handle_), id, call.operation());            \
    }                                                                                         \
    void Board::Close() {                                                                     \
        Call call(#Board "::Close", sim::object(this));                                       \
        if (!call.scripted()) dio::close(handle_of(handle_));                                 \
    }                                                                                         \
    bool Board::IsOpened() const {                                                            \
        Call call(#Board "::IsOpened", sim::object(this));                                    \
        return call.scripted() ? call.number() != 0 : dio::is_opened(handle_of(handle_));     \
    }                                                                                         \
    void Board::Read(unsigned int* value) {                                                   \
        Call call(#Board "::Read", sim::object(this), sim::out(value));                       \
        if (call.answer(value)) return;                                                       \
        const unsigned int word = dio::read_inputs(handle_of(handle_), call.operation());     \
        if (value != nullptr) *value = word;                                                  \
    }                                                                                         \
    void Board::Write(unsigned int value) {                                                   \
        Call call(#Board "::Write", sim::object(this), sim::number(value));                   \
        if (!call.scripted()) dio::write_outputs(handle_of(handle_), value, call.operation());\
    }                                                                                         \
    void Board::WriteStatus(unsigned int* value) {                                            \
        Call call(#Board "::WriteStatus", sim::object(this), sim::out(value));                \
        if (call.answer(value)) return;                                                       \
        const unsigned int word = dio::read_outputs(handle_of(handle_), call.operation());    \
        if (value != nullptr) *value = word;                                                  \
    }                                                                                         \
    void Board::Read(int index, bool* value) {                                                \
        Call call(#Board "::Read", sim::object(this), sim::number(index), sim::out(value));   \
        if (call.answer(value)) return;                                                       \
        const bool line = dio::read_input(handle_of(handle_), index, call.operation());       \
        if (value != nullptr) *value = line;                                                  \
    }                                                                                         \
    void Board::Write(int index, bool value) {                                                \
        Call call(#Board "::Write", sim::object(this), sim::number(index), sim::flag(value));  \
        if (!call.scripted()) {                                                               \
            dio::write_output(handle_of(handle_), index, value, call.operation());            \
        }                                                                                     \
    }                                                                                         \
    void Board::WriteStatus(int index, bool* value) {                                         \
        Call call(#Board "::WriteStatus",                                                     \
                  sim::object(this), sim::number(index), sim::out(value));                    \
        if (call.answer(value)) return;                                                       \
        const bool line = dio::read_output(handle_of(handle_), index, call.operation());      \
        if (value != nullptr) *value = line;                                                  \
    }                                                                                         \
    void Board::Abort() {                                                                     \
        Call call(#Board "::Abort", sim::object(this));                                       \
        if (!call.scripted()) dio::abort(handle_of(handle_), call.operation());               \
    }

VKT_SIM_DIO_BOARD(CxSNR11, SNR11)
VKT_SIM_DIO_BOARD(CxSN2200, SN2200)
VKT_SIM_DIO_BOARD(CxTK560, TK560)

void CxSNR11::Wait(unsigned int* event) {
    Call call("CxSNR11::Wait", sim::object(this), sim::out(event));
    if (call.answer(event)) return;
    const dio::WaitResult result = dio::wait(handle_of(handle_), call.operation());
    if (event != nullptr) *event = result.event;
}

TxSN2200WaitStatus CxSN2200::Wait() {
    return wait_record<TxSN2200WaitStatus>("CxSN2200::Wait", this, handle_);
}

TxTK560WaitStatus CxTK560::Wait() {
    return wait_record<TxTK560WaitStatus>("CxTK560::Wait", this, handle_);
}

void CxTK560::Load(const char* path, int scope) {
    Call call("CxTK560::Load", sim::object(this), sim::bytes(path), sim::number(scope));
    if (!call.scripted()) dio::load(handle_of(handle_), path_of(path, call.operation()), scope, call.operation());
}

void CxTK560::LoadW(const wchar_t* path, int scope) {
    Call call("CxTK560::LoadW", sim::object(this), sim::wide(path), sim::number(scope));
    if (!call.scripted()) dio::load(handle_of(handle_), path_of(path, call.operation()), scope, call.operation());
}

void CxTK560::Save(const char* path, int scope) const {
    Call call("CxTK560::Save", sim::object(this), sim::bytes(path), sim::number(scope));
    if (!call.scripted()) dio::save(handle_of(handle_), path_of(path, call.operation()), scope, call.operation());
}

void CxTK560::SaveW(const wchar_t* path, int scope) const {
    Call call("CxTK560::SaveW", sim::object(this), sim::wide(path), sim::number(scope));
    if (!call.scripted()) dio::save(handle_of(handle_), path_of(path, call.operation()), scope, call.operation());
}

// ---- wait records ----------------------------------------------------------------

namespace {

template <class Record>
sim::Value fields_of(const Record& record) {
    return sim::list({sim::number(record.event_status), sim::number(record.di_event_status),
                      sim::number(record.di)});
}

// As board_compare: `equal` tells the two operators apart.
template <class Record>
bool record_compare(const char* op, bool equal, const Record& a, const Record& b) {
    Call call(op, fields_of(a), fields_of(b));
    if (call.scripted()) return call.number() != 0;
    const bool same = a.event_status == b.event_status &&
                      a.di_event_status == b.di_event_status && a.di == b.di;
    return same == equal;
}

}  // namespace

#define VKT_SIM_DIO_WAIT_RECORD(Record)                                                       \
    Record::Record() : event_status(0), di_event_status(0), di(0) {}                          \
    Record::Record(unsigned int event, unsigned int lines, unsigned int inputs)               \
        : event_status(event), di_event_status(lines), di(inputs) {                           \
        Call call(#Record "::" #Record,                                                       \
                  sim::number(event), sim::number(lines), sim::number(inputs));               \
    }                                                                                         \
    bool Record::operator==(const Record& other) const {                                      \
        return record_compare(#Record "::operator==", true, *this, other);                    \
    }                                                                                         \
    bool Record::operator!=(const Record& other) const {                                      \
        return record_compare(#Record "::operator!=", false, *this, other);                   \
    }

VKT_SIM_DIO_WAIT_RECORD(TxSN2200WaitStatus)
VKT_SIM_DIO_WAIT_RECORD(TxTK560WaitStatus)

// ---- Param companions -------------------------------------------------------------
//
// A Param links to a board object by address and identity (as every
// companion does), and reaches the board only while that object is alive.

namespace {

using ParamState = sim::CompanionLink;

ParamState& state_of(void* state) { return *static_cast<ParamState*>(state); }

template <class Board>
void attach(void* state, IxModule* module, const char* op) {
    if (module != nullptr && dynamic_cast<Board*>(module) == nullptr) {
        sim::fail(ExStatus::InvalidArgument, op, "that module is not a board of this model");
    }
    state_of(state) = sim::CompanionLink::to(module);
}

std::shared_ptr<dio::Handle> handle_of_link(const ParamState& link) {
    return link.attached() ? dio::board_handle(link.complete, link.ident) : nullptr;
}

template <class Board>
Board* controller(void* state) {
    return handle_of_link(state_of(state)) ? state_of(state).as<Board>() : nullptr;
}

dio::Handle& board_of(void* state, const char* op) {
    const ParamState& link = state_of(state);
    if (!link.attached()) sim::fail(ExStatus::NotOpened, op, "no board attached");
    auto handle = handle_of_link(link);
    if (!handle) sim::fail(ExStatus::NotOpened, op, "the board object is gone");
    // Board objects keep their handle alive for as long as they live, and a
    // call runs while its board object is alive.
    return *handle;
}

bool param_valid(void* state) {
    auto handle = handle_of_link(state_of(state));
    return handle && dio::is_valid(*handle);
}

}  // namespace

#define VKT_SIM_DIO_PARAM(Param, Board)                                                        \
    Param::Param() : state_(new ParamState) { sim::track(this); }                             \
    Param::Param(const Param& other) : CxModule(), state_(new ParamState(state_of(other.state_))) { \
        sim::track(this);                                                                     \
    }                                                                                         \
    Param::Param(Param&& other) noexcept                                                      \
        : CxModule(), state_(new ParamState(state_of(other.state_))) {                        \
        sim::track(this);                                                                     \
    }                                                                                         \
    Param& Param::operator=(const Param& other) {                                             \
        state_of(state_) = state_of(other.state_);                                            \
        return *this;                                                                         \
    }                                                                                         \
    Param::~Param() {                                                                         \
        sim::untrack(this);                                                                   \
        delete static_cast<ParamState*>(state_);                                              \
    }                                                                                         \
    bool Param::operator==(const Param& other) const {                                        \
        Call call(#Param "::operator==", sim::object(this), sim::object(&other));             \
        if (call.scripted()) return call.number() != 0;                                       \
        return state_of(state_) == state_of(other.state_);                                    \
    }                                                                                         \
    bool Param::operator!=(const Param& other) const {                                        \
        Call call(#Param "::operator!=", sim::object(this), sim::object(&other));             \
        if (call.scripted()) return call.number() != 0;                                       \
        return !(state_of(state_) == state_of(other.state_));                                 \
    }                                                                                         \
    Param Param::From(IxModule* board) {                                                      \
        Call call(#Param "::From", sim::object(board));                                       \
        Param made;                                                                           \
        attach<Board>(made.state_, board, call.operation());                                  \
        return made;                                                                          \
    }                                                                                         \
    Board* Param::Controller() const {                                                        \
        Call call(#Param "::Controller", sim::object(this));                                  \
        if (call.scripted()) return nullptr;                                                  \
        return controller<Board>(state_);                                                     \
    }                                                                                         \
    void Param::Controller(IxModule* board) {                                                 \
        Call call(#Param "::Controller", sim::object(this), sim::object(board));              \
        if (!call.scripted()) attach<Board>(state_, board, call.operation());                 \
    }                                                                                         \
    bool Param::IsValid() const {                                                             \
        Call call(#Param "::IsValid", sim::object(this));                                     \
        return call.scripted() ? call.number() != 0 : param_valid(state_);                    \
    }                                                                                         \
    void Param::GetParam(const char* name, void* value, TxModel kind) {                       \
        Call call(#Param "::GetParam",                                                        \
                  sim::object(this), sim::bytes(name), sim::buffer(value, kind), sim::model(kind));   \
        if (call.answer(value, kind)) return;                                                 \
        dio::get_param(board_of(state_, call.operation()), name, value, kind, call.operation()); \
    }                                                                                         \
    void Param::SetParam(const char* name, const void* value, TxModel kind) {                 \
        Call call(#Param "::SetParam",                                                        \
                  sim::object(this), sim::bytes(name), sim::buffer(value, kind), sim::model(kind));   \
        if (call.scripted()) return;                                                          \
        dio::set_param(board_of(state_, call.operation()), name, value, kind, call.operation()); \
    }                                                                                         \
    void Param::Reserved1() {                                                                 \
        sim::fail(ExStatus::NotSupported, #Param "::Reserved1");                              \
    }                                                                                         \
    void Param::SetRegister(unsigned int address, unsigned int value) {                       \
        Call call(#Param "::SetRegister",                                                     \
                  sim::object(this), sim::number(address), sim::number(value));               \
        if (call.scripted()) return;                                                          \
        dio::set_register(board_of(state_, call.operation()), address, value, call.operation()); \
    }                                                                                         \
    void Param::GetRegister(unsigned int address, unsigned int* value) {                      \
        Call call(#Param "::GetRegister", sim::object(this), sim::number(address), sim::out(value));   \
        if (call.answer(value)) return;                                                       \
        const unsigned int read =                                                             \
            dio::get_register(board_of(state_, call.operation()), address, call.operation()); \
        if (value != nullptr) *value = read;                                                  \
    }

// A property backed by a board setting: Set<Name>(Type) and Get<Name>() const.
#define VKT_SIM_DIO_PROPERTY(Param, Name, Type, Setting)                                       \
    void Param::Set##Name(Type value) {                                                       \
        Call call(#Param "::Set" #Name, sim::object(this), sim::number(value));               \
        if (call.scripted()) return;                                                          \
        dio::set_number(board_of(state_, call.operation()), Setting, value, call.operation()); \
    }                                                                                         \
    Type Param::Get##Name() const {                                                           \
        Call call(#Param "::Get" #Name, sim::object(this));                                   \
        if (call.scripted()) return static_cast<Type>(call.number());                         \
        return static_cast<Type>(                                                             \
            dio::get_number(board_of(state_, call.operation()), Setting, call.operation()));  \
    }

VKT_SIM_DIO_PARAM(CxSNR11Param, CxSNR11)
VKT_SIM_DIO_PROPERTY(CxSNR11Param, Timeout, int, "Timeout")
VKT_SIM_DIO_PROPERTY(CxSNR11Param, IntEdge, int, "INTEdge")

VKT_SIM_DIO_PARAM(CxSN2200Param, CxSN2200)
VKT_SIM_DIO_PROPERTY(CxSN2200Param, Timeout, int, "Timeout")
VKT_SIM_DIO_PROPERTY(CxSN2200Param, DiEnable, unsigned int, "DIEnable")
VKT_SIM_DIO_PROPERTY(CxSN2200Param, DiEdge, unsigned int, "DIEdge")
VKT_SIM_DIO_PROPERTY(CxSN2200Param, DiWaitEnable, unsigned int, "DIWaitEnable")

VKT_SIM_DIO_PARAM(CxTK560Param, CxTK560)
VKT_SIM_DIO_PROPERTY(CxTK560Param, Timeout, int, "Timeout")
VKT_SIM_DIO_PROPERTY(CxTK560Param, IntEnable, int, "INTEnable")
VKT_SIM_DIO_PROPERTY(CxTK560Param, IntEdge, int, "INTEdge")
VKT_SIM_DIO_PROPERTY(CxTK560Param, IntWaitEnable, int, "INTWaitEnable")
VKT_SIM_DIO_PROPERTY(CxTK560Param, DiEnable, unsigned int, "DIEnable")
VKT_SIM_DIO_PROPERTY(CxTK560Param, DiEdge, unsigned int, "DIEdge")
VKT_SIM_DIO_PROPERTY(CxTK560Param, DiWaitEnable, unsigned int, "DIWaitEnable")
VKT_SIM_DIO_PROPERTY(CxTK560Param, DiWaitMode, int, "DIWaitMode")

// ---- operations that tests may script -----------------------------------------------

namespace {

constexpr unsigned kNone = sim::AcceptsNone;
constexpr unsigned kInt = sim::AcceptsInt;

#define VKT_SIM_DIO_BOARD_OPERATIONS(Board)                                                    \
    {#Board "::Dispose", kNone}, {#Board "::IsValid", kInt}, {#Board "::Open", kNone},        \
        {#Board "::Close", kNone}, {#Board "::IsOpened", kInt}, {#Board "::Read", kInt},      \
        {#Board "::Write", kNone}, {#Board "::WriteStatus", kInt}, {#Board "::Abort", kNone}, \
        {#Board "::operator==", kInt}, {#Board "::operator!=", kInt}

#define VKT_SIM_DIO_PARAM_OPERATIONS(Param)                                                    \
    {#Param "::From", 0}, {#Param "::Controller", kNone}, {#Param "::IsValid", kInt},         \
        {#Param "::GetParam", kInt | sim::AcceptsBytes}, {#Param "::SetParam", kNone},        \
        {#Param "::SetRegister", kNone}, {#Param "::GetRegister", kInt},                      \
        {#Param "::SetTimeout", kNone}, {#Param "::GetTimeout", kInt},                        \
        {#Param "::operator==", kInt}, {#Param "::operator!=", kInt}

const sim::Operations operations{
    VKT_SIM_DIO_BOARD_OPERATIONS(CxSNR11),
    VKT_SIM_DIO_BOARD_OPERATIONS(CxSN2200),
    VKT_SIM_DIO_BOARD_OPERATIONS(CxTK560),
    {"CxSNR11::Wait", kInt},
    {"CxSN2200::Wait", sim::AcceptsTuple},
    {"CxTK560::Wait", sim::AcceptsTuple},
    {"CxTK560::Load", kNone}, {"CxTK560::LoadW", kNone},
    {"CxTK560::Save", kNone}, {"CxTK560::SaveW", kNone},
    {"TxSN2200WaitStatus::operator==", kInt}, {"TxSN2200WaitStatus::operator!=", kInt},
    {"TxTK560WaitStatus::operator==", kInt}, {"TxTK560WaitStatus::operator!=", kInt},
    VKT_SIM_DIO_PARAM_OPERATIONS(CxSNR11Param),
    VKT_SIM_DIO_PARAM_OPERATIONS(CxSN2200Param),
    VKT_SIM_DIO_PARAM_OPERATIONS(CxTK560Param),
    {"CxSNR11Param::SetIntEdge", kNone}, {"CxSNR11Param::GetIntEdge", kInt},
    {"CxSN2200Param::SetDiEnable", kNone}, {"CxSN2200Param::GetDiEnable", kInt},
    {"CxSN2200Param::SetDiEdge", kNone}, {"CxSN2200Param::GetDiEdge", kInt},
    {"CxSN2200Param::SetDiWaitEnable", kNone}, {"CxSN2200Param::GetDiWaitEnable", kInt},
    {"CxTK560Param::SetIntEnable", kNone}, {"CxTK560Param::GetIntEnable", kInt},
    {"CxTK560Param::SetIntEdge", kNone}, {"CxTK560Param::GetIntEdge", kInt},
    {"CxTK560Param::SetIntWaitEnable", kNone}, {"CxTK560Param::GetIntWaitEnable", kInt},
    {"CxTK560Param::SetDiEnable", kNone}, {"CxTK560Param::GetDiEnable", kInt},
    {"CxTK560Param::SetDiEdge", kNone}, {"CxTK560Param::GetDiEdge", kInt},
    {"CxTK560Param::SetDiWaitEnable", kNone}, {"CxTK560Param::GetDiWaitEnable", kInt},
    {"CxTK560Param::SetDiWaitMode", kNone}, {"CxTK560Param::GetDiWaitMode", kInt},
};

}  // namespace
}  // namespace vkt::DIO
