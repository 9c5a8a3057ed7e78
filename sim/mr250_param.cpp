// The simulated MR250 settings companion (CxMR250Param): settings by name,
// three typed settings, registers and the "SelfCalibration" command. It
// works on the device of the board it is attached to, only while that board
// lives.
#include <cstring>

#include "grabber_companion.h"
#include "mr250_device.h"

namespace vkt::Video {

namespace grabber = sim::grabber;
using sim::ktx21::Access;

namespace {

Access linked(const void* state, const char* op) {
    return grabber::linked<CxMR250>(state, op, "MR250", true);
}

constexpr std::uint64_t kCommandModel = 0x100000006;

// Runs the named command on the attached board.
void run_command(const sim::Call& call, const void* state, const char* name, TxModel kind) {
    if (call.scripted()) return;
    Access board = linked(state, call.operation());
    if (name == nullptr) sim::fail(ExStatus::MissingObject, call.operation(), "no command name given");
    if (std::strcmp(name, "SelfCalibration") != 0) {
        sim::fail(ExStatus::NotFound, call.operation(), "no command named '" + std::string(name) + "'");
    }
    if (kind.Value() != kCommandModel) {
        sim::fail(ExStatus::WrongKind, call.operation(), "SelfCalibration is a command");
    }
    sim::mr250::self_calibrate(*board.device, call.operation());
}

}  // namespace

CxMR250Param::CxMR250Param() : state_(grabber::new_link(nullptr)) { sim::track(this); }

CxMR250Param::CxMR250Param(const CxMR250Param& other) : state_(grabber::new_link(other.state_)) {
    sim::track(this);
}

CxMR250Param::CxMR250Param(CxMR250Param&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
    sim::track(this);
}

CxMR250Param& CxMR250Param::operator=(const CxMR250Param& other) {
    grabber::copy_link(state_, other.state_);
    return *this;
}

CxMR250Param::~CxMR250Param() {
    sim::untrack(this);
    grabber::delete_link(state_);
}

bool CxMR250Param::operator==(const CxMR250Param& other) const {
    sim::Call call("CxMR250Param::operator==", {sim::object(this), sim::object(&other)});
    return call.scripted() ? call.number() != 0 : grabber::linked_to_same(state_, other.state_);
}

bool CxMR250Param::operator!=(const CxMR250Param& other) const {
    sim::Call call("CxMR250Param::operator!=", {sim::object(this), sim::object(&other)});
    return call.scripted() ? call.number() != 0 : !grabber::linked_to_same(state_, other.state_);
}

CxMR250Param CxMR250Param::From(IxModule* board) {
    sim::Call call("CxMR250Param::From", {sim::object(board)});
    CxMR250Param param;
    if (!call.scripted()) grabber::relink(param.state_, board);
    return param;
}

CxMR250* CxMR250Param::Controller() const {
    sim::Call call("CxMR250Param::Controller", {sim::object(this)});
    return call.scripted() ? nullptr : grabber::controller_of<CxMR250>(state_);
}

void CxMR250Param::Controller(IxModule* board) {
    sim::Call call("CxMR250Param::Controller", {sim::object(this), sim::object(board)});
    if (!call.scripted()) grabber::relink(state_, board);
}

bool CxMR250Param::IsValid() const {
    sim::Call call("CxMR250Param::IsValid", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : grabber::linked_valid<CxMR250>(state_);
}

// ---- typed settings -----------------------------------------------------------------------

void CxMR250Param::SetTriggerMode(int mode) {
    grabber::set_number(sim::Call("CxMR250Param::SetTriggerMode", {sim::object(this), sim::number(mode)}),
                        &linked, state_, "TriggerMode", mode);
}

int CxMR250Param::GetTriggerMode() const {
    return grabber::get_number(sim::Call("CxMR250Param::GetTriggerMode", {sim::object(this)}), &linked,
                               state_, "TriggerMode");
}

void CxMR250Param::SetExposureTime(int microseconds) {
    grabber::set_number(
        sim::Call("CxMR250Param::SetExposureTime", {sim::object(this), sim::number(microseconds)}),
        &linked, state_, "ExposureTime", microseconds);
}

int CxMR250Param::GetExposureTime() const {
    return grabber::get_number(sim::Call("CxMR250Param::GetExposureTime", {sim::object(this)}), &linked,
                               state_, "ExposureTime");
}

void CxMR250Param::SetVideoOffset(int offset) {
    grabber::set_number(sim::Call("CxMR250Param::SetVideoOffset", {sim::object(this), sim::number(offset)}),
                        &linked, state_, "VideoOffset", offset);
}

int CxMR250Param::GetVideoOffset() const {
    return grabber::get_number(sim::Call("CxMR250Param::GetVideoOffset", {sim::object(this)}), &linked,
                               state_, "VideoOffset");
}

// ---- by name --------------------------------------------------------------------------------

void CxMR250Param::GetParam(const char* name, void* value, TxModel kind) {
    sim::Call call("CxMR250Param::GetParam", {sim::object(this), sim::bytes(name),
                                              grabber::buffer_value(value, kind), sim::model(kind)});
    grabber::get_param(call, &linked, state_, name, value, kind, &grabber::any_setting);
}

void CxMR250Param::SetParam(const char* name, const void* value, TxModel kind) {
    sim::Call call("CxMR250Param::SetParam", {sim::object(this), sim::bytes(name),
                                              grabber::buffer_value(value, kind), sim::model(kind)});
    grabber::set_param(call, &linked, state_, name, value, kind, &grabber::any_setting);
}

// The one-byte buffer of a command is neither read nor written.
void CxMR250Param::SendCommand(const char* name, void* /*value*/, TxModel kind) {
    run_command(sim::Call("CxMR250Param::SendCommand",
                          {sim::object(this), sim::bytes(name), sim::none(), sim::model(kind)}),
                state_, name, kind);
}

void CxMR250Param::SetRegister(unsigned int address, unsigned int value) {
    grabber::set_register(sim::Call("CxMR250Param::SetRegister",
                                    {sim::object(this), sim::number(address), sim::number(value)}),
                          &linked, state_, address, value);
}

void CxMR250Param::GetRegister(unsigned int address, unsigned int* value) {
    grabber::get_register(sim::Call("CxMR250Param::GetRegister",
                                    {sim::object(this), sim::number(address), sim::out(value)}),
                          &linked, state_, address, value);
}

namespace {

sim::Operations mr250_param_operations{
    {"CxMR250Param::operator==", sim::AcceptsInt},   {"CxMR250Param::operator!=", sim::AcceptsInt},
    {"CxMR250Param::From", sim::AcceptsNone},        {"CxMR250Param::Controller", sim::AcceptsNone},
    {"CxMR250Param::IsValid", sim::AcceptsInt},
    {"CxMR250Param::SetTriggerMode", sim::AcceptsNone}, {"CxMR250Param::GetTriggerMode", sim::AcceptsInt},
    {"CxMR250Param::SetExposureTime", sim::AcceptsNone},
    {"CxMR250Param::GetExposureTime", sim::AcceptsInt},
    {"CxMR250Param::SetVideoOffset", sim::AcceptsNone}, {"CxMR250Param::GetVideoOffset", sim::AcceptsInt},
    {"CxMR250Param::GetParam", sim::AcceptsInt | sim::AcceptsBytes},
    {"CxMR250Param::SetParam", sim::AcceptsNone},    {"CxMR250Param::SendCommand", sim::AcceptsNone},
    {"CxMR250Param::SetRegister", sim::AcceptsNone}, {"CxMR250Param::GetRegister", sim::AcceptsInt},
};

}  // namespace
}  // namespace vkt::Video
