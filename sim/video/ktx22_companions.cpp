// Companions of the simulated KTX22 board: settings and named commands
// (CxKTX22Param), encoder (CxKTX22Encoder) with its status record, and the
// camera serial line (CxKTX22Sio). They share the KTX21's companion work.
#include <iterator>
#include <string>

#include "video/grabber_board.h"
#include "video/grabber_companion.h"

namespace vkt::Video {

using sim::grabber::Device;

// ---- TxKTX22EncoderStatus ---------------------------------------------------------------

TxKTX22EncoderStatus::TxKTX22EncoderStatus()
    : TxKTX22EncoderStatus(false, false, 0, 0, 0, 0, 0, 0, 0) {}

TxKTX22EncoderStatus::TxKTX22EncoderStatus(bool is_abs_overflow_, bool is_abs_underflow_,
                                           int a_state_, int b_state_, int z_state_,
                                           int encoder_state_, int encoder_counter_,
                                           unsigned int rel_counter_, unsigned int match_counter_)
    : is_abs_overflow(is_abs_overflow_),
      is_abs_underflow(is_abs_underflow_),
      a_state(a_state_),
      b_state(b_state_),
      z_state(z_state_),
      encoder_state(encoder_state_),
      encoder_counter(encoder_counter_),
      rel_counter(rel_counter_),
      match_counter(match_counter_) {}

bool TxKTX22EncoderStatus::operator==(const TxKTX22EncoderStatus& other) const {
    return is_abs_overflow == other.is_abs_overflow &&
           is_abs_underflow == other.is_abs_underflow && a_state == other.a_state &&
           b_state == other.b_state && z_state == other.z_state &&
           encoder_state == other.encoder_state && encoder_counter == other.encoder_counter &&
           rel_counter == other.rel_counter && match_counter == other.match_counter;
}

bool TxKTX22EncoderStatus::operator!=(const TxKTX22EncoderStatus& other) const {
    return !(*this == other);
}

namespace {

const sim::grabber::Model& model() { return sim::grabber::ktx22_model(); }

}  // namespace

// ---- CxKTX22Param ---------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX22Param, CxKTX22, model())
VKT_SIM_SETTING(CxKTX22Param, SetTriggerMode, GetTriggerMode, int, "TriggerMode", model())
VKT_SIM_SETTING(CxKTX22Param, SetExposureTime, GetExposureTime, int, "ExposureTime", model())
VKT_SIM_SETTING(CxKTX22Param, SetTriggerCycleTime, GetTriggerCycleTime, int, "TriggerCycleTime",
                model())

VKT_SIM_PARAM_ACCESS(CxKTX22Param, model())

namespace {

// The board's commands by name; per-channel ones act on the channel the
// attached board object drives.
constexpr sim::grabber::Command kCommands[] = {
    {"ClearTriggerMask", [](Device& device, const char*) { device.clear_trigger_mask(); }},
    {"ResetPG", [](Device& device, const char*) { device.reset_pg(); }},
    {"StopPG", [](Device& device, const char*) { device.stop_pg(); }},
    {"ResetPLLReconfig", [](Device& device, const char*) { device.reset_pll(); }},
    {"ExecutePLLReconfig", [](Device& device, const char* op) { device.pll_reconfig(op); }},
    {"PLLReconfig", [](Device& device, const char* op) { device.pll_reconfig(op); }},
};

}  // namespace

void CxKTX22Param::SendCommand(const char* name, void* value, TxModel kind) {
    sim::grabber::send_command(sim::Call("CxKTX22Param::SendCommand",
                                         sim::object(this), sim::bytes(name),
                                          sim::grabber::buffer_value(value, kind), sim::model(kind)),
                               state_, model(), name, kind, kCommands, std::size(kCommands));
}

// ---- CxKTX22Encoder -------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX22Encoder, CxKTX22, model())

// The typed encoder settings are the board settings of the same names.
VKT_SIM_SETTING(CxKTX22Encoder, SetEncoderMode, GetEncoderMode, int, "EncoderMode", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetSampling, GetSampling, int, "ENCSampling", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetStart, GetStart, int, "ENCStart", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetDir, GetDir, int, "ENCDir", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetComp1, GetComp1, int, "ENCComp1", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetComp2, GetComp2, unsigned int, "ENCComp2", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetResetSource, GetResetSource, int, "ENCResetSource", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetSwapAb, GetSwapAb, int, "ENCSwapAB", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetSignalSource, GetSignalSource, int, "ENCSignalSource", model())
VKT_SIM_SETTING(CxKTX22Encoder, SetEncoderActMode, GetEncoderActMode, int, "EncoderActMode",
                model())

namespace {

using sim::grabber::change_counters;
using sim::grabber::EncoderCounters;
using sim::grabber::read_counter;
using sim::grabber::wrap32;

// Edges per revolution of the simulated encoder: the index input Z is high
// once a revolution.
constexpr long long kEdgesPerTurn = 4000;

// The encoder as its status record shows it. A and B are the quadrature
// inputs: their levels follow the position, a quarter period apart.
TxKTX22EncoderStatus status_of(const EncoderCounters& e) {
    const long long phase = ((e.position % 4) + 4) % 4;
    const int a = phase == 1 || phase == 2 ? 1 : 0;
    const int b = phase >= 2 ? 1 : 0;
    const int z = e.position % kEdgesPerTurn == 0 ? 1 : 0;
    return TxKTX22EncoderStatus(e.overflow, e.underflow, a, b, z, e.counting ? 1 : 0,
                                wrap32(e.abs), e.rel, e.match);
}

TxKTX22EncoderStatus scripted_encoder_status(const sim::Call& call) {
    const auto& f = sim::grabber::scripted_fields(call, 9);
    return TxKTX22EncoderStatus(f[0].integer != 0, f[1].integer != 0, static_cast<int>(f[2].integer),
                                static_cast<int>(f[3].integer), static_cast<int>(f[4].integer),
                                static_cast<int>(f[5].integer), static_cast<int>(f[6].integer),
                                static_cast<unsigned>(f[7].integer),
                                static_cast<unsigned>(f[8].integer));
}

sim::Value fields_of(const TxKTX22EncoderStatus* s) {
    if (s == nullptr) return sim::none();
    return sim::list({sim::flag(s->is_abs_overflow), sim::flag(s->is_abs_underflow),
                      sim::number(s->a_state), sim::number(s->b_state), sim::number(s->z_state),
                      sim::number(s->encoder_state), sim::number(s->encoder_counter),
                      sim::number(s->rel_counter), sim::number(s->match_counter)});
}

}  // namespace

// The counters move only between StartEncoder and StopEncoder; the encoder
// counter follows ENCComp2 like an absolute counter.
void CxKTX22Encoder::StartEncoder() {
    change_counters("CxKTX22Encoder::StartEncoder", sim::object(this), state_, model(),
                    [](EncoderCounters& e) { e.counting = e.abs_running = true; });
}

void CxKTX22Encoder::StopEncoder() {
    change_counters("CxKTX22Encoder::StopEncoder", sim::object(this), state_, model(),
                    [](EncoderCounters& e) { e.counting = e.abs_running = false; });
}

void CxKTX22Encoder::ResetEncoder() {
    change_counters("CxKTX22Encoder::ResetEncoder", sim::object(this), state_, model(),
                    [](EncoderCounters& e) {
                        EncoderCounters fresh;
                        fresh.counting = fresh.abs_running = e.counting;
                        fresh.position = e.position;
                        e = fresh;
                    });
}

void CxKTX22Encoder::EncoderStatus(TxKTX22EncoderStatus* status) {
    sim::Call call("CxKTX22Encoder::EncoderStatus", sim::object(this), fields_of(status));
    if (status == nullptr) sim::fail(ExStatus::InvalidArgument, call.operation(), "no status record given");
    if (call.scripted()) {
        *status = scripted_encoder_status(call);
        return;
    }
    sim::grabber::Access board = sim::grabber::linked(state_, model(), call.operation());
    *status = status_of(board.device->encoder);
}

int CxKTX22Encoder::EncoderCounter() const {
    return read_counter<int>("CxKTX22Encoder::EncoderCounter", sim::object(this), state_, model(),
                             [](const EncoderCounters& e) { return wrap32(e.abs); });
}

unsigned int CxKTX22Encoder::MatchCounter() const {
    return read_counter<unsigned int>("CxKTX22Encoder::MatchCounter", sim::object(this), state_,
                                      model(), [](const EncoderCounters& e) { return e.match; });
}

unsigned int CxKTX22Encoder::RelCounter() const {
    return read_counter<unsigned int>("CxKTX22Encoder::RelCounter", sim::object(this), state_,
                                      model(), [](const EncoderCounters& e) { return e.rel; });
}

void CxKTX22Encoder::GetParam(const char* name, void* value, TxModel kind) {
    sim::Call call("CxKTX22Encoder::GetParam", sim::object(this), sim::bytes(name),
                                                sim::grabber::buffer_value(value, kind), sim::model(kind));
    sim::grabber::get_param(call, state_, model(), name, value, kind, &sim::grabber::encoder_setting);
}

void CxKTX22Encoder::SetParam(const char* name, const void* value, TxModel kind) {
    sim::Call call("CxKTX22Encoder::SetParam", sim::object(this), sim::bytes(name),
                                                sim::grabber::buffer_value(value, kind), sim::model(kind));
    sim::grabber::set_param(call, state_, model(), name, value, kind, &sim::grabber::encoder_setting);
}

// ---- CxKTX22Sio --------------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX22Sio, CxKTX22, model())
VKT_SIM_SETTING(CxKTX22Sio, SetTimeout, GetTimeout, int, "SIOTimeout", model())

namespace {

const sim::grabber::SerialCompanion& line() {
    static const sim::grabber::SerialCompanion sio{"CxKTX22Sio", model()};
    return sio;
}

}  // namespace

void CxKTX22Sio::Open() { sim::grabber::serial_open(line(), sim::object(this), state_, true); }
void CxKTX22Sio::Close() { sim::grabber::serial_open(line(), sim::object(this), state_, false); }
void CxKTX22Sio::Purge() { sim::grabber::serial_purge(line(), sim::object(this), state_); }

bool CxKTX22Sio::IsOpened() const {
    return sim::grabber::serial_is_opened(line(), sim::object(this), state_);
}

void CxKTX22Sio::WriteByte(char byte) {
    sim::grabber::serial_write_byte(line(), sim::object(this), state_, byte);
}

char CxKTX22Sio::ReadByte() { return sim::grabber::serial_read_byte(line(), sim::object(this), state_); }

void CxKTX22Sio::Write(const char* text) {
    sim::grabber::serial_write(line(), sim::object(this), state_, text);
}

int CxKTX22Sio::Read(char* buffer, int count) {
    return sim::grabber::serial_read(line(), sim::object(this), state_, buffer, count);
}

void CxKTX22Sio::SetCameraMode(const char* mode) {
    sim::grabber::serial_set_camera_mode(line(), sim::object(this), state_, mode);
}

namespace {

sim::Operations companion_operations{
    {"CxKTX22Param::operator==", sim::AcceptsInt}, {"CxKTX22Param::operator!=", sim::AcceptsInt},
    {"CxKTX22Param::From", sim::AcceptsNone}, {"CxKTX22Param::Controller", sim::AcceptsNone},
    {"CxKTX22Param::IsValid", sim::AcceptsInt},
    {"CxKTX22Param::SetTriggerMode", sim::AcceptsNone}, {"CxKTX22Param::GetTriggerMode", sim::AcceptsInt},
    {"CxKTX22Param::SetExposureTime", sim::AcceptsNone}, {"CxKTX22Param::GetExposureTime", sim::AcceptsInt},
    {"CxKTX22Param::SetTriggerCycleTime", sim::AcceptsNone},
    {"CxKTX22Param::GetTriggerCycleTime", sim::AcceptsInt},
    {"CxKTX22Param::GetParam", sim::AcceptsInt | sim::AcceptsBytes},
    {"CxKTX22Param::SetParam", sim::AcceptsNone}, {"CxKTX22Param::SendCommand", sim::AcceptsNone},
    {"CxKTX22Param::SetRegister", sim::AcceptsNone}, {"CxKTX22Param::GetRegister", sim::AcceptsInt},

    {"CxKTX22Encoder::operator==", sim::AcceptsInt}, {"CxKTX22Encoder::operator!=", sim::AcceptsInt},
    {"CxKTX22Encoder::From", sim::AcceptsNone}, {"CxKTX22Encoder::Controller", sim::AcceptsNone},
    {"CxKTX22Encoder::IsValid", sim::AcceptsInt},
    {"CxKTX22Encoder::SetEncoderMode", sim::AcceptsNone}, {"CxKTX22Encoder::GetEncoderMode", sim::AcceptsInt},
    {"CxKTX22Encoder::SetSampling", sim::AcceptsNone}, {"CxKTX22Encoder::GetSampling", sim::AcceptsInt},
    {"CxKTX22Encoder::SetStart", sim::AcceptsNone}, {"CxKTX22Encoder::GetStart", sim::AcceptsInt},
    {"CxKTX22Encoder::SetDir", sim::AcceptsNone}, {"CxKTX22Encoder::GetDir", sim::AcceptsInt},
    {"CxKTX22Encoder::SetComp1", sim::AcceptsNone}, {"CxKTX22Encoder::GetComp1", sim::AcceptsInt},
    {"CxKTX22Encoder::SetComp2", sim::AcceptsNone}, {"CxKTX22Encoder::GetComp2", sim::AcceptsInt},
    {"CxKTX22Encoder::SetResetSource", sim::AcceptsNone}, {"CxKTX22Encoder::GetResetSource", sim::AcceptsInt},
    {"CxKTX22Encoder::SetSwapAb", sim::AcceptsNone}, {"CxKTX22Encoder::GetSwapAb", sim::AcceptsInt},
    {"CxKTX22Encoder::SetSignalSource", sim::AcceptsNone},
    {"CxKTX22Encoder::GetSignalSource", sim::AcceptsInt},
    {"CxKTX22Encoder::StartEncoder", sim::AcceptsNone}, {"CxKTX22Encoder::StopEncoder", sim::AcceptsNone},
    {"CxKTX22Encoder::ResetEncoder", sim::AcceptsNone},
    {"CxKTX22Encoder::EncoderStatus", sim::AcceptsTuple},
    {"CxKTX22Encoder::EncoderCounter", sim::AcceptsInt}, {"CxKTX22Encoder::MatchCounter", sim::AcceptsInt},
    {"CxKTX22Encoder::RelCounter", sim::AcceptsInt},
    {"CxKTX22Encoder::SetEncoderActMode", sim::AcceptsNone},
    {"CxKTX22Encoder::GetEncoderActMode", sim::AcceptsInt},
    {"CxKTX22Encoder::GetParam", sim::AcceptsInt}, {"CxKTX22Encoder::SetParam", sim::AcceptsNone},

    {"CxKTX22Sio::operator==", sim::AcceptsInt}, {"CxKTX22Sio::operator!=", sim::AcceptsInt},
    {"CxKTX22Sio::From", sim::AcceptsNone}, {"CxKTX22Sio::Controller", sim::AcceptsNone},
    {"CxKTX22Sio::IsValid", sim::AcceptsInt}, {"CxKTX22Sio::Open", sim::AcceptsNone},
    {"CxKTX22Sio::Close", sim::AcceptsNone}, {"CxKTX22Sio::Purge", sim::AcceptsNone},
    {"CxKTX22Sio::IsOpened", sim::AcceptsInt},
    {"CxKTX22Sio::SetTimeout", sim::AcceptsNone}, {"CxKTX22Sio::GetTimeout", sim::AcceptsInt},
    {"CxKTX22Sio::WriteByte", sim::AcceptsNone},
    {"CxKTX22Sio::ReadByte", sim::AcceptsInt | sim::AcceptsBytes},
    {"CxKTX22Sio::Write", sim::AcceptsNone}, {"CxKTX22Sio::Read", sim::AcceptsNone | sim::AcceptsBytes},
    {"CxKTX22Sio::SetCameraMode", sim::AcceptsNone},
};

}  // namespace
}  // namespace vkt::Video
