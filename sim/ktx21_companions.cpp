// Companions of the simulated KTX21 board: settings (CxKTX21Param), encoder
// (CxKTX21Encoder) and camera serial line (CxKTX21Sio). Each works on the
// device of the board it is attached to, and only while that board lives.
#include <algorithm>
#include <cstring>

#include "grabber_companion.h"

namespace vkt::Video {

using sim::CompanionLink;
using sim::ktx21::Access;
using sim::ktx21::SettingInfo;
using sim::grabber::buffer_value;
using sim::grabber::linked_to_same;
using sim::grabber::new_link;
using sim::grabber::relink;

namespace {

// ---- attachment ----------------------------------------------------------------------

CxKTX21* controller_of(const void* state) { return sim::grabber::controller_of<CxKTX21>(state); }

bool linked_valid(const void* state) { return sim::grabber::linked_valid<CxKTX21>(state); }

// The attached board's device, locked, or the library's error naming why not.
Access linked(const void* state, const char* op, bool need_open = true) {
    return sim::grabber::linked<CxKTX21>(state, op, "KTX21", need_open);
}

Access linked_open(const void* state, const char* op) { return linked(state, op); }

// ---- settings ----------------------------------------------------------------------------

using sim::grabber::Filter;
using sim::grabber::any_setting;

bool encoder_setting(const SettingInfo& info) {
    return std::strncmp(info.name, "ENC", 3) == 0 || std::strcmp(info.name, "EncoderMode") == 0;
}

void get_param(const sim::Call& call, const void* state, const char* name, void* value,
               TxModel kind, Filter filter) {
    sim::grabber::get_param(call, &linked_open, state, name, value, kind, filter);
}

void set_param(const sim::Call& call, const void* state, const char* name, const void* value,
               TxModel kind, Filter filter) {
    sim::grabber::set_param(call, &linked_open, state, name, value, kind, filter);
}

int get_number(const sim::Call& call, const void* state, const char* name) {
    return sim::grabber::get_number(call, &linked_open, state, name);
}

void set_number(const sim::Call& call, void* state, const char* name, long long value) {
    sim::grabber::set_number(call, &linked_open, state, name, value);
}

}  // namespace

// ---- CxKTX21Param ---------------------------------------------------------------------------

CxKTX21Param::CxKTX21Param() : state_(new_link(nullptr)) { sim::track(this); }
CxKTX21Param::CxKTX21Param(const CxKTX21Param& other) : state_(new_link(other.state_)) { sim::track(this); }
CxKTX21Param::CxKTX21Param(CxKTX21Param&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
    sim::track(this);
}
CxKTX21Param& CxKTX21Param::operator=(const CxKTX21Param& other) {
    if (state_ != nullptr) *static_cast<CompanionLink*>(state_) = sim::link_of(other.state_);
    return *this;
}
CxKTX21Param::~CxKTX21Param() {
    sim::untrack(this);
    delete static_cast<CompanionLink*>(state_);
}

bool CxKTX21Param::operator==(const CxKTX21Param& other) const {
    sim::Call call("CxKTX21Param::operator==", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return linked_to_same(state_, other.state_);
}

bool CxKTX21Param::operator!=(const CxKTX21Param& other) const {
    sim::Call call("CxKTX21Param::operator!=", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return !linked_to_same(state_, other.state_);
}

CxKTX21Param CxKTX21Param::From(IxModule* board) {
    sim::Call call("CxKTX21Param::From", {sim::object(board)});
    CxKTX21Param param;
    if (!call.scripted()) relink(param.state_, board);
    return param;
}

CxKTX21* CxKTX21Param::Controller() const {
    sim::Call call("CxKTX21Param::Controller", {sim::object(this)});
    return call.scripted() ? nullptr : controller_of(state_);
}

void CxKTX21Param::Controller(IxModule* board) {
    sim::Call call("CxKTX21Param::Controller", {sim::object(this), sim::object(board)});
    if (!call.scripted()) relink(state_, board);
}

bool CxKTX21Param::IsValid() const {
    sim::Call call("CxKTX21Param::IsValid", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : linked_valid(state_);
}

void CxKTX21Param::SetTriggerMode(int mode) {
    set_number(sim::Call("CxKTX21Param::SetTriggerMode", {sim::object(this), sim::number(mode)}),
               state_, "TriggerMode", mode);
}

int CxKTX21Param::GetTriggerMode() const {
    return get_number(sim::Call("CxKTX21Param::GetTriggerMode", {sim::object(this)}), state_,
                      "TriggerMode");
}

void CxKTX21Param::SetExposureTime(int microseconds) {
    set_number(sim::Call("CxKTX21Param::SetExposureTime",
                         {sim::object(this), sim::number(microseconds)}),
               state_, "ExposureTime", microseconds);
}

int CxKTX21Param::GetExposureTime() const {
    return get_number(sim::Call("CxKTX21Param::GetExposureTime", {sim::object(this)}), state_,
                      "ExposureTime");
}

void CxKTX21Param::SetTriggerCycleTime(int microseconds) {
    set_number(sim::Call("CxKTX21Param::SetTriggerCycleTime",
                         {sim::object(this), sim::number(microseconds)}),
               state_, "TriggerCycleTime", microseconds);
}

int CxKTX21Param::GetTriggerCycleTime() const {
    return get_number(sim::Call("CxKTX21Param::GetTriggerCycleTime", {sim::object(this)}), state_,
                      "TriggerCycleTime");
}

void CxKTX21Param::GetParam(const char* name, void* value, TxModel kind) {
    sim::Call call("CxKTX21Param::GetParam", {sim::object(this), sim::bytes(name),
                                              buffer_value(value, kind), sim::model(kind)});
    get_param(call, state_, name, value, kind, &any_setting);
}

void CxKTX21Param::SetParam(const char* name, const void* value, TxModel kind) {
    sim::Call call("CxKTX21Param::SetParam", {sim::object(this), sim::bytes(name),
                                              buffer_value(value, kind), sim::model(kind)});
    set_param(call, state_, name, value, kind, &any_setting);
}

void CxKTX21Param::SetRegister(unsigned int address, unsigned int value) {
    sim::grabber::set_register(sim::Call("CxKTX21Param::SetRegister",
                                         {sim::object(this), sim::number(address), sim::number(value)}),
                               &linked_open, state_, address, value);
}

void CxKTX21Param::GetRegister(unsigned int address, unsigned int* value) {
    sim::grabber::get_register(sim::Call("CxKTX21Param::GetRegister",
                                         {sim::object(this), sim::number(address), sim::out(value)}),
                               &linked_open, state_, address, value);
}

// ---- CxKTX21Encoder -------------------------------------------------------------------------

CxKTX21Encoder::CxKTX21Encoder() : state_(new_link(nullptr)) { sim::track(this); }
CxKTX21Encoder::CxKTX21Encoder(const CxKTX21Encoder& other) : state_(new_link(other.state_)) {
    sim::track(this);
}
CxKTX21Encoder::CxKTX21Encoder(CxKTX21Encoder&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
    sim::track(this);
}
CxKTX21Encoder& CxKTX21Encoder::operator=(const CxKTX21Encoder& other) {
    if (state_ != nullptr) *static_cast<CompanionLink*>(state_) = sim::link_of(other.state_);
    return *this;
}
CxKTX21Encoder::~CxKTX21Encoder() {
    sim::untrack(this);
    delete static_cast<CompanionLink*>(state_);
}

bool CxKTX21Encoder::operator==(const CxKTX21Encoder& other) const {
    sim::Call call("CxKTX21Encoder::operator==", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return linked_to_same(state_, other.state_);
}

bool CxKTX21Encoder::operator!=(const CxKTX21Encoder& other) const {
    sim::Call call("CxKTX21Encoder::operator!=", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return !linked_to_same(state_, other.state_);
}

CxKTX21Encoder CxKTX21Encoder::From(IxModule* board) {
    sim::Call call("CxKTX21Encoder::From", {sim::object(board)});
    CxKTX21Encoder encoder;
    if (!call.scripted()) relink(encoder.state_, board);
    return encoder;
}

CxKTX21* CxKTX21Encoder::Controller() const {
    sim::Call call("CxKTX21Encoder::Controller", {sim::object(this)});
    return call.scripted() ? nullptr : controller_of(state_);
}

void CxKTX21Encoder::Controller(IxModule* board) {
    sim::Call call("CxKTX21Encoder::Controller", {sim::object(this), sim::object(board)});
    if (!call.scripted()) relink(state_, board);
}

bool CxKTX21Encoder::IsValid() const {
    sim::Call call("CxKTX21Encoder::IsValid", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : linked_valid(state_);
}

// The typed encoder settings are the board settings of the same names.
#define VKT_ENCODER_SETTING(Setter, Getter, Type, Setting)                                   \
    void CxKTX21Encoder::Setter(Type value) {                                                \
        set_number(sim::Call("CxKTX21Encoder::" #Setter, {sim::object(this), sim::number(value)}), \
                   state_, Setting, value);                                                  \
    }                                                                                        \
    Type CxKTX21Encoder::Getter() const {                                                    \
        return static_cast<Type>(get_number(                                                 \
            sim::Call("CxKTX21Encoder::" #Getter, {sim::object(this)}), state_, Setting));   \
    }

VKT_ENCODER_SETTING(SetEncoderMode, GetEncoderMode, int, "EncoderMode")
VKT_ENCODER_SETTING(SetSampling, GetSampling, int, "ENCSampling")
VKT_ENCODER_SETTING(SetStart, GetStart, int, "ENCStart")
VKT_ENCODER_SETTING(SetDir, GetDir, int, "ENCDir")
VKT_ENCODER_SETTING(SetComp1, GetComp1, int, "ENCComp1")
VKT_ENCODER_SETTING(SetComp2, GetComp2, unsigned int, "ENCComp2")
VKT_ENCODER_SETTING(SetInit, GetInit, int, "ENCInit")
VKT_ENCODER_SETTING(SetSwapAb, GetSwapAb, int, "ENCSwapAB")
#undef VKT_ENCODER_SETTING

namespace {

// Reads one counter of the attached board's encoder.
template <class T, class Read>
T read_counter(const char* op, const void* self, const void* state, Read read) {
    sim::Call call(op, {sim::object(self)});
    if (call.scripted()) return static_cast<T>(call.number());
    Access board = linked(state, op);
    return read(board.device->encoder);
}

// Changes the attached board's encoder counters.
template <class Change>
void change_counters(const char* op, const void* self, const void* state, Change change) {
    sim::Call call(op, {sim::object(self)});
    if (call.scripted()) return;
    Access board = linked(state, op);
    change(board.device->encoder);
}

int wrap32(long long value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

}  // namespace

int CxKTX21Encoder::TotalCounter() const {
    return read_counter<int>("CxKTX21Encoder::TotalCounter", this, state_,
                             [](const auto& e) { return wrap32(e.total); });
}

unsigned int CxKTX21Encoder::MatchCounter() const {
    return read_counter<unsigned int>("CxKTX21Encoder::MatchCounter", this, state_,
                                      [](const auto& e) { return e.match; });
}

unsigned int CxKTX21Encoder::RelCounter() const {
    return read_counter<unsigned int>("CxKTX21Encoder::RelCounter", this, state_,
                                      [](const auto& e) { return e.rel; });
}

void CxKTX21Encoder::ClearRelCounter() {
    change_counters("CxKTX21Encoder::ClearRelCounter", this, state_, [](auto& e) { e.rel = 0; });
}

void CxKTX21Encoder::StartAbs(bool start) {
    sim::Call call("CxKTX21Encoder::StartAbs", {sim::object(this), sim::flag(start)});
    if (call.scripted()) return;
    Access board = linked(state_, call.operation());
    board.device->start_abs(start);
}

int CxKTX21Encoder::AbsCounter() const {
    return read_counter<int>("CxKTX21Encoder::AbsCounter", this, state_,
                             [](const auto& e) { return wrap32(e.abs); });
}

bool CxKTX21Encoder::IsAbsOverflow() const {
    return read_counter<bool>("CxKTX21Encoder::IsAbsOverflow", this, state_,
                              [](const auto& e) { return e.overflow; });
}

bool CxKTX21Encoder::IsAbsUnderflow() const {
    return read_counter<bool>("CxKTX21Encoder::IsAbsUnderflow", this, state_,
                              [](const auto& e) { return e.underflow; });
}

void CxKTX21Encoder::ClearAbsCounter() {
    change_counters("CxKTX21Encoder::ClearAbsCounter", this, state_, [](auto& e) { e.abs = 0; });
}

void CxKTX21Encoder::ClearOverflow() {
    change_counters("CxKTX21Encoder::ClearOverflow", this, state_,
                    [](auto& e) { e.overflow = false; });
}

void CxKTX21Encoder::ClearUnderflow() {
    change_counters("CxKTX21Encoder::ClearUnderflow", this, state_,
                    [](auto& e) { e.underflow = false; });
}

void CxKTX21Encoder::ClearAllCounter() {
    change_counters("CxKTX21Encoder::ClearAllCounter", this, state_, [](auto& e) {
        const bool running = e.abs_running;
        e = sim::ktx21::EncoderCounters();
        e.abs_running = running;
    });
}

void CxKTX21Encoder::GetParam(const char* name, void* value, TxModel kind) {
    sim::Call call("CxKTX21Encoder::GetParam", {sim::object(this), sim::bytes(name),
                                                buffer_value(value, kind), sim::model(kind)});
    get_param(call, state_, name, value, kind, &encoder_setting);
}

void CxKTX21Encoder::SetParam(const char* name, const void* value, TxModel kind) {
    sim::Call call("CxKTX21Encoder::SetParam", {sim::object(this), sim::bytes(name),
                                                buffer_value(value, kind), sim::model(kind)});
    set_param(call, state_, name, value, kind, &encoder_setting);
}

// ---- CxKTX21Sio --------------------------------------------------------------------------------

CxKTX21Sio::CxKTX21Sio() : state_(new_link(nullptr)) { sim::track(this); }
CxKTX21Sio::CxKTX21Sio(const CxKTX21Sio& other) : state_(new_link(other.state_)) { sim::track(this); }
CxKTX21Sio::CxKTX21Sio(CxKTX21Sio&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
    sim::track(this);
}
CxKTX21Sio& CxKTX21Sio::operator=(const CxKTX21Sio& other) {
    if (state_ != nullptr) *static_cast<CompanionLink*>(state_) = sim::link_of(other.state_);
    return *this;
}
CxKTX21Sio::~CxKTX21Sio() {
    sim::untrack(this);
    delete static_cast<CompanionLink*>(state_);
}

bool CxKTX21Sio::operator==(const CxKTX21Sio& other) const {
    sim::Call call("CxKTX21Sio::operator==", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return linked_to_same(state_, other.state_);
}

bool CxKTX21Sio::operator!=(const CxKTX21Sio& other) const {
    sim::Call call("CxKTX21Sio::operator!=", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return !linked_to_same(state_, other.state_);
}

CxKTX21Sio CxKTX21Sio::From(IxModule* board) {
    sim::Call call("CxKTX21Sio::From", {sim::object(board)});
    CxKTX21Sio sio;
    if (!call.scripted()) relink(sio.state_, board);
    return sio;
}

CxKTX21* CxKTX21Sio::Controller() const {
    sim::Call call("CxKTX21Sio::Controller", {sim::object(this)});
    return call.scripted() ? nullptr : controller_of(state_);
}

void CxKTX21Sio::Controller(IxModule* board) {
    sim::Call call("CxKTX21Sio::Controller", {sim::object(this), sim::object(board)});
    if (!call.scripted()) relink(state_, board);
}

bool CxKTX21Sio::IsValid() const {
    sim::Call call("CxKTX21Sio::IsValid", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : linked_valid(state_);
}

namespace {

// The attached board's serial line, which must be open.
Access open_line(const void* state, const char* op) {
    Access board = linked(state, op);
    if (!board.device->serial.opened) sim::fail(ExStatus::NotOpened, op, "the serial line is not open");
    return board;
}

void set_line_open(const void* state, const char* op, bool open) {
    Access board = linked(state, op);
    board.device->serial.opened = open;
    board.device->settings.set_number_unchecked("SIOOpenFlag", open ? 1 : 0);
}

}  // namespace

void CxKTX21Sio::Open() {
    sim::Call call("CxKTX21Sio::Open", {sim::object(this)});
    if (!call.scripted()) set_line_open(state_, call.operation(), true);
}

void CxKTX21Sio::Close() {
    sim::Call call("CxKTX21Sio::Close", {sim::object(this)});
    if (!call.scripted()) set_line_open(state_, call.operation(), false);
}

bool CxKTX21Sio::IsOpened() const {
    sim::Call call("CxKTX21Sio::IsOpened", {sim::object(this)});
    if (call.scripted()) return call.number() != 0;
    Access board = linked(state_, call.operation());
    return board.device->serial.opened;
}

void CxKTX21Sio::SetTimeout(int milliseconds) {
    set_number(sim::Call("CxKTX21Sio::SetTimeout", {sim::object(this), sim::number(milliseconds)}),
               state_, "SIOTimeout", milliseconds);
}

int CxKTX21Sio::GetTimeout() const {
    return get_number(sim::Call("CxKTX21Sio::GetTimeout", {sim::object(this)}), state_,
                      "SIOTimeout");
}

void CxKTX21Sio::WriteByte(char byte) {
    sim::Call call("CxKTX21Sio::WriteByte", {sim::object(this), sim::number(static_cast<unsigned char>(byte))});
    if (call.scripted()) return;
    Access line = open_line(state_, call.operation());
    line.device->serial_send(&byte, 1);
}

char CxKTX21Sio::ReadByte() {
    sim::Call call("CxKTX21Sio::ReadByte", {sim::object(this)});
    if (call.scripted()) {
        const std::string& bytes = call.value().bytes;
        return bytes.empty() ? static_cast<char>(call.number()) : bytes.front();
    }
    Access line = open_line(state_, call.operation());
    char byte = 0;
    if (!line.device->serial_read_byte(line.lock, byte)) {
        sim::fail(ExStatus::Timeout, call.operation(), "no byte within the time-out");
    }
    return byte;
}

void CxKTX21Sio::Write(const char* text) {
    sim::Call call("CxKTX21Sio::Write", {sim::object(this), sim::bytes(text)});
    if (call.scripted()) return;
    if (text == nullptr) sim::fail(ExStatus::MissingObject, call.operation(), "no text given");
    Access line = open_line(state_, call.operation());
    line.device->serial_send(text, std::strlen(text));
}

namespace {

// The journal keeps at most this much of a read buffer's content on entry.
constexpr int kJournalledBuffer = 1 << 20;

sim::Value read_buffer(const char* buffer, int count) {
    if (buffer == nullptr || count < 0) return sim::none();
    return sim::bytes(buffer, static_cast<std::size_t>(std::min(count, kJournalledBuffer)));
}

}  // namespace

int CxKTX21Sio::Read(char* buffer, int count) {
    sim::Call call("CxKTX21Sio::Read", {sim::object(this), read_buffer(buffer, count), sim::number(count)});
    if (count < 0) sim::fail(ExStatus::InvalidArgument, call.operation(), "negative byte count");
    if (buffer == nullptr && count > 0) sim::fail(ExStatus::MissingObject, call.operation(), "no buffer given");
    if (call.scripted()) {
        const std::string& bytes = call.value().bytes;
        const std::size_t size = std::min(bytes.size(), static_cast<std::size_t>(count));
        std::copy_n(bytes.begin(), size, buffer);
        return static_cast<int>(size);
    }
    Access line = open_line(state_, call.operation());
    return line.device->serial_read(line.lock, buffer, count);
}

void CxKTX21Sio::SetCameraMode(const char* mode) {
    sim::Call call("CxKTX21Sio::SetCameraMode", {sim::object(this), sim::bytes(mode)});
    if (call.scripted()) return;
    if (mode == nullptr) sim::fail(ExStatus::MissingObject, call.operation(), "no camera mode given");
    Access line = open_line(state_, call.operation());
    // The library words the mode as the camera's own command.
    const std::string command = "MODE=" + std::string(mode) + "\r";
    line.device->serial_send(command.data(), command.size());
}

void CxKTX21Sio::Purge() {
    sim::Call call("CxKTX21Sio::Purge", {sim::object(this)});
    if (call.scripted()) return;
    Access line = open_line(state_, call.operation());
    line.device->serial.rx.clear();
    line.device->serial.command.clear();
}

namespace {

sim::Operations companion_operations{
    {"CxKTX21Param::operator==", sim::AcceptsInt}, {"CxKTX21Param::operator!=", sim::AcceptsInt},
    {"CxKTX21Param::From", sim::AcceptsNone}, {"CxKTX21Param::Controller", sim::AcceptsNone},
    {"CxKTX21Param::IsValid", sim::AcceptsInt},
    {"CxKTX21Param::SetTriggerMode", sim::AcceptsNone}, {"CxKTX21Param::GetTriggerMode", sim::AcceptsInt},
    {"CxKTX21Param::SetExposureTime", sim::AcceptsNone}, {"CxKTX21Param::GetExposureTime", sim::AcceptsInt},
    {"CxKTX21Param::SetTriggerCycleTime", sim::AcceptsNone},
    {"CxKTX21Param::GetTriggerCycleTime", sim::AcceptsInt},
    {"CxKTX21Param::GetParam", sim::AcceptsInt | sim::AcceptsBytes},
    {"CxKTX21Param::SetParam", sim::AcceptsNone},
    {"CxKTX21Param::SetRegister", sim::AcceptsNone}, {"CxKTX21Param::GetRegister", sim::AcceptsInt},

    {"CxKTX21Encoder::operator==", sim::AcceptsInt}, {"CxKTX21Encoder::operator!=", sim::AcceptsInt},
    {"CxKTX21Encoder::From", sim::AcceptsNone}, {"CxKTX21Encoder::Controller", sim::AcceptsNone},
    {"CxKTX21Encoder::IsValid", sim::AcceptsInt},
    {"CxKTX21Encoder::SetEncoderMode", sim::AcceptsNone}, {"CxKTX21Encoder::GetEncoderMode", sim::AcceptsInt},
    {"CxKTX21Encoder::SetSampling", sim::AcceptsNone}, {"CxKTX21Encoder::GetSampling", sim::AcceptsInt},
    {"CxKTX21Encoder::SetStart", sim::AcceptsNone}, {"CxKTX21Encoder::GetStart", sim::AcceptsInt},
    {"CxKTX21Encoder::SetDir", sim::AcceptsNone}, {"CxKTX21Encoder::GetDir", sim::AcceptsInt},
    {"CxKTX21Encoder::SetComp1", sim::AcceptsNone}, {"CxKTX21Encoder::GetComp1", sim::AcceptsInt},
    {"CxKTX21Encoder::SetComp2", sim::AcceptsNone}, {"CxKTX21Encoder::GetComp2", sim::AcceptsInt},
    {"CxKTX21Encoder::SetInit", sim::AcceptsNone}, {"CxKTX21Encoder::GetInit", sim::AcceptsInt},
    {"CxKTX21Encoder::SetSwapAb", sim::AcceptsNone}, {"CxKTX21Encoder::GetSwapAb", sim::AcceptsInt},
    {"CxKTX21Encoder::TotalCounter", sim::AcceptsInt}, {"CxKTX21Encoder::MatchCounter", sim::AcceptsInt},
    {"CxKTX21Encoder::RelCounter", sim::AcceptsInt}, {"CxKTX21Encoder::ClearRelCounter", sim::AcceptsNone},
    {"CxKTX21Encoder::StartAbs", sim::AcceptsNone}, {"CxKTX21Encoder::AbsCounter", sim::AcceptsInt},
    {"CxKTX21Encoder::IsAbsOverflow", sim::AcceptsInt}, {"CxKTX21Encoder::IsAbsUnderflow", sim::AcceptsInt},
    {"CxKTX21Encoder::ClearAbsCounter", sim::AcceptsNone}, {"CxKTX21Encoder::ClearOverflow", sim::AcceptsNone},
    {"CxKTX21Encoder::ClearUnderflow", sim::AcceptsNone}, {"CxKTX21Encoder::ClearAllCounter", sim::AcceptsNone},
    {"CxKTX21Encoder::GetParam", sim::AcceptsInt}, {"CxKTX21Encoder::SetParam", sim::AcceptsNone},

    {"CxKTX21Sio::operator==", sim::AcceptsInt}, {"CxKTX21Sio::operator!=", sim::AcceptsInt},
    {"CxKTX21Sio::From", sim::AcceptsNone}, {"CxKTX21Sio::Controller", sim::AcceptsNone},
    {"CxKTX21Sio::IsValid", sim::AcceptsInt}, {"CxKTX21Sio::Open", sim::AcceptsNone},
    {"CxKTX21Sio::Close", sim::AcceptsNone}, {"CxKTX21Sio::IsOpened", sim::AcceptsInt},
    {"CxKTX21Sio::SetTimeout", sim::AcceptsNone}, {"CxKTX21Sio::GetTimeout", sim::AcceptsInt},
    {"CxKTX21Sio::WriteByte", sim::AcceptsNone},
    {"CxKTX21Sio::ReadByte", sim::AcceptsInt | sim::AcceptsBytes},
    {"CxKTX21Sio::Write", sim::AcceptsNone}, {"CxKTX21Sio::Read", sim::AcceptsNone | sim::AcceptsBytes},
    {"CxKTX21Sio::SetCameraMode", sim::AcceptsNone}, {"CxKTX21Sio::Purge", sim::AcceptsNone},
};

}  // namespace
}  // namespace vkt::Video
