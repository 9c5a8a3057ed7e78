// Simulated single-interface objects.
#include "core/sim_objects.h"

#include <string>

#include "core/state.h"

namespace vkt::sim {
namespace {

constexpr int kLines = 32;

void check_line(int index, const char* op) {
    if (index < 0 || index >= kLines) {
        fail(ExStatus::InvalidArgument, op, "line " + std::to_string(index) + " is not 0 to 31");
    }
}

}  // namespace

// ---- SimDIO -------------------------------------------------------------------

SimDIO::SimDIO() { track(this); }
SimDIO::~SimDIO() { untrack(this); }

void SimDIO::Read(unsigned int* value) {
    Call call("SimDIO::Read", object(this), out(value));
    if (call.answer(value)) return;
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "null pointer");
    *value = inputs;
}

void SimDIO::Write(unsigned int value) {
    Call call("SimDIO::Write", object(this), number(value));
    if (!call.scripted()) outputs = value;
}

void SimDIO::WriteStatus(unsigned int* value) {
    Call call("SimDIO::WriteStatus", object(this), out(value));
    if (call.answer(value)) return;
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "null pointer");
    *value = outputs;
}

// ---- SimIndexedDIO ------------------------------------------------------------------

SimIndexedDIO::SimIndexedDIO() { track(this); }
SimIndexedDIO::~SimIndexedDIO() { untrack(this); }

void SimIndexedDIO::Read(int index, bool* value) {
    Call call("SimIndexedDIO::Read", object(this), number(index), out(value));
    if (call.answer(value)) return;
    check_line(index, call.operation());
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "null pointer");
    *value = (inputs >> index) & 1u;
}

void SimIndexedDIO::Write(int index, bool value) {
    Call call("SimIndexedDIO::Write", object(this), number(index), flag(value));
    if (call.scripted()) return;
    check_line(index, call.operation());
    const unsigned int bit = 1u << index;
    outputs = value ? (outputs | bit) : (outputs & ~bit);
}

void SimIndexedDIO::WriteStatus(int index, bool* value) {
    Call call("SimIndexedDIO::WriteStatus", object(this), number(index), out(value));
    if (call.answer(value)) return;
    check_line(index, call.operation());
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "null pointer");
    *value = (outputs >> index) & 1u;
}

// ---- SimRegister ----------------------------------------------------------------------

SimRegister::SimRegister() { track(this); }
SimRegister::~SimRegister() { untrack(this); }

void SimRegister::SetRegister(unsigned int address, unsigned int value) {
    Call call("SimRegister::SetRegister", object(this), number(address), number(value));
    if (call.scripted()) return;
    if (address >= 256) fail(ExStatus::InvalidArgument, call.operation(), "no register there");
    registers[address] = value;
}

void SimRegister::GetRegister(unsigned int address, unsigned int* value) {
    Call call("SimRegister::GetRegister", object(this), number(address), out(value));
    if (call.answer(value)) return;
    if (address >= 256) fail(ExStatus::InvalidArgument, call.operation(), "no register there");
    if (value == nullptr) fail(ExStatus::InvalidArgument, call.operation(), "null pointer");
    *value = registers[address];
}

// ---- SimModule and SimDeviceModule --------------------------------------------------------

SimModule::SimModule() { track(this); }
SimModule::~SimModule() { untrack(this); }

SimDeviceModule::SimDeviceModule() : SimDeviceModule(nullptr) {}

SimDeviceModule::SimDeviceModule(IxModule* module)
    : given_(module),
      given_object_(module ? dynamic_cast<const void*>(module) : nullptr),
      given_ident_(module ? ident_of(given_object_).value_or(0) : 0) {
    track(this);
}

SimDeviceModule::~SimDeviceModule() { untrack(this); }

IxModule* SimDeviceModule::GetDeviceModule() const {
    Call call("SimDeviceModule::GetDeviceModule", object(this));
    if (call.scripted()) return nullptr;
    if (given_ == nullptr) return const_cast<SimModule*>(&own_);
    // The module given may be gone by now (then there is none): it is looked
    // up by the address and identity it had, never touched.
    if (ident_of(given_object_) != given_ident_) return nullptr;
    return given_;
}

// ---- SimVideoControl ----------------------------------------------------------------------

SimVideoControl::SimVideoControl() { track(this); }
SimVideoControl::~SimVideoControl() { untrack(this); }

void SimVideoControl::Start() {
    Call call("SimVideoControl::Start", object(this));
    if (call.scripted()) return;
    if (running_) fail(ExStatus::DeviceBusy, call.operation(), "already running");
    running_ = true;
}

void SimVideoControl::Stop() {
    Call call("SimVideoControl::Stop", object(this));
    if (!call.scripted()) running_ = false;
}

void SimVideoControl::Abort() {
    Call call("SimVideoControl::Abort", object(this));
    if (!call.scripted()) running_ = false;
}

void SimVideoControl::Wait() {
    Call call("SimVideoControl::Wait", object(this));
    if (call.scripted()) return;
    if (!running_) fail(ExStatus::NotRunning, call.operation(), "nothing is running");
    running_ = false;   // the one frame asked for has arrived
}

bool SimVideoControl::IsRunning() const {
    Call call("SimVideoControl::IsRunning", object(this));
    return call.scripted() ? call.number() != 0 : running_;
}

namespace {
const Operations operations{
    {"SimDIO::Read", AcceptsInt},
    {"SimDIO::Write", AcceptsNone},
    {"SimDIO::WriteStatus", AcceptsInt},
    {"SimIndexedDIO::Read", AcceptsInt},
    {"SimIndexedDIO::Write", AcceptsNone},
    {"SimIndexedDIO::WriteStatus", AcceptsInt},
    {"SimRegister::SetRegister", AcceptsNone},
    {"SimRegister::GetRegister", AcceptsInt},
    {"SimDeviceModule::GetDeviceModule", AcceptsNone},
    {"SimVideoControl::Start", AcceptsNone},
    {"SimVideoControl::Stop", AcceptsNone},
    {"SimVideoControl::Abort", AcceptsNone},
    {"SimVideoControl::Wait", AcceptsNone},
    {"SimVideoControl::IsRunning", AcceptsInt},
};
}  // namespace

}  // namespace vkt::sim
