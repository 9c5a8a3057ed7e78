// Companions of the simulated KTX21 board: settings (CxKTX21Param), encoder
// (CxKTX21Encoder) and camera serial line (CxKTX21Sio). Each works on the
// device of the board it is attached to, and only while that board lives.
#include "video/grabber_companion.h"

namespace vkt::Video {

namespace {

const sim::grabber::Model& model() { return sim::grabber::ktx21_model(); }

}  // namespace

// ---- CxKTX21Param ---------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX21Param, CxKTX21, model())
VKT_SIM_SETTING(CxKTX21Param, SetTriggerMode, GetTriggerMode, int, "TriggerMode", model())
VKT_SIM_SETTING(CxKTX21Param, SetExposureTime, GetExposureTime, int, "ExposureTime", model())
VKT_SIM_SETTING(CxKTX21Param, SetTriggerCycleTime, GetTriggerCycleTime, int, "TriggerCycleTime",
                model())

VKT_SIM_PARAM_ACCESS(CxKTX21Param, model())

// ---- CxKTX21Encoder -------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX21Encoder, CxKTX21, model())

// The typed encoder settings are the board settings of the same names.
VKT_SIM_SETTING(CxKTX21Encoder, SetEncoderMode, GetEncoderMode, int, "EncoderMode", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetSampling, GetSampling, int, "ENCSampling", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetStart, GetStart, int, "ENCStart", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetDir, GetDir, int, "ENCDir", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetComp1, GetComp1, int, "ENCComp1", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetComp2, GetComp2, unsigned int, "ENCComp2", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetInit, GetInit, int, "ENCInit", model())
VKT_SIM_SETTING(CxKTX21Encoder, SetSwapAb, GetSwapAb, int, "ENCSwapAB", model())

namespace {

using sim::grabber::change_counters;
using sim::grabber::read_counter;
using sim::grabber::wrap32;

}  // namespace

int CxKTX21Encoder::TotalCounter() const {
    return read_counter<int>("CxKTX21Encoder::TotalCounter", sim::object(this), state_, model(),
                             [](const auto& e) { return wrap32(e.total); });
}

unsigned int CxKTX21Encoder::MatchCounter() const {
    return read_counter<unsigned int>("CxKTX21Encoder::MatchCounter", sim::object(this), state_,
                                      model(), [](const auto& e) { return e.match; });
}

unsigned int CxKTX21Encoder::RelCounter() const {
    return read_counter<unsigned int>("CxKTX21Encoder::RelCounter", sim::object(this), state_,
                                      model(), [](const auto& e) { return e.rel; });
}

void CxKTX21Encoder::ClearRelCounter() {
    change_counters("CxKTX21Encoder::ClearRelCounter", sim::object(this), state_, model(),
                    [](auto& e) { e.rel = 0; });
}

void CxKTX21Encoder::StartAbs(bool start) {
    sim::Call call("CxKTX21Encoder::StartAbs", sim::object(this), sim::flag(start));
    if (call.scripted()) return;
    sim::grabber::Access board = sim::grabber::linked(state_, model(), call.operation());
    board.device->start_abs(start, board.device->settings.number("ENCInit"));
}

int CxKTX21Encoder::AbsCounter() const {
    return read_counter<int>("CxKTX21Encoder::AbsCounter", sim::object(this), state_, model(),
                             [](const auto& e) { return wrap32(e.abs); });
}

bool CxKTX21Encoder::IsAbsOverflow() const {
    return read_counter<bool>("CxKTX21Encoder::IsAbsOverflow", sim::object(this), state_, model(),
                              [](const auto& e) { return e.overflow; });
}

bool CxKTX21Encoder::IsAbsUnderflow() const {
    return read_counter<bool>("CxKTX21Encoder::IsAbsUnderflow", sim::object(this), state_, model(),
                              [](const auto& e) { return e.underflow; });
}

void CxKTX21Encoder::ClearAbsCounter() {
    change_counters("CxKTX21Encoder::ClearAbsCounter", sim::object(this), state_, model(),
                    [](auto& e) { e.abs = 0; });
}

void CxKTX21Encoder::ClearOverflow() {
    change_counters("CxKTX21Encoder::ClearOverflow", sim::object(this), state_, model(),
                    [](auto& e) { e.overflow = false; });
}

void CxKTX21Encoder::ClearUnderflow() {
    change_counters("CxKTX21Encoder::ClearUnderflow", sim::object(this), state_, model(),
                    [](auto& e) { e.underflow = false; });
}

void CxKTX21Encoder::ClearAllCounter() {
    change_counters("CxKTX21Encoder::ClearAllCounter", sim::object(this), state_, model(),
                    [](auto& e) {
                        const bool running = e.abs_running;
                        e = sim::grabber::EncoderCounters();
                        e.abs_running = running;
                    });
}

void CxKTX21Encoder::GetParam(const char* name, void* value, TxModel kind) {
    sim::Call call("CxKTX21Encoder::GetParam", sim::object(this), sim::bytes(name),
                                                sim::grabber::buffer_value(value, kind), sim::model(kind));
    sim::grabber::get_param(call, state_, model(), name, value, kind, &sim::grabber::encoder_setting);
}

void CxKTX21Encoder::SetParam(const char* name, const void* value, TxModel kind) {
    sim::Call call("CxKTX21Encoder::SetParam", sim::object(this), sim::bytes(name),
                                                sim::grabber::buffer_value(value, kind), sim::model(kind));
    sim::grabber::set_param(call, state_, model(), name, value, kind, &sim::grabber::encoder_setting);
}

// ---- CxKTX21Sio --------------------------------------------------------------------------------

VKT_SIM_COMPANION(CxKTX21Sio, CxKTX21, model())
VKT_SIM_SETTING(CxKTX21Sio, SetTimeout, GetTimeout, int, "SIOTimeout", model())

namespace {

const sim::grabber::SerialCompanion& line() {
    static const sim::grabber::SerialCompanion sio{"CxKTX21Sio", model()};
    return sio;
}

}  // namespace

void CxKTX21Sio::Open() { sim::grabber::serial_open(line(), sim::object(this), state_, true); }
void CxKTX21Sio::Close() { sim::grabber::serial_open(line(), sim::object(this), state_, false); }

bool CxKTX21Sio::IsOpened() const {
    return sim::grabber::serial_is_opened(line(), sim::object(this), state_);
}

void CxKTX21Sio::WriteByte(char byte) {
    sim::grabber::serial_write_byte(line(), sim::object(this), state_, byte);
}

char CxKTX21Sio::ReadByte() { return sim::grabber::serial_read_byte(line(), sim::object(this), state_); }

void CxKTX21Sio::Write(const char* text) {
    sim::grabber::serial_write(line(), sim::object(this), state_, text);
}

int CxKTX21Sio::Read(char* buffer, int count) {
    return sim::grabber::serial_read(line(), sim::object(this), state_, buffer, count);
}

void CxKTX21Sio::SetCameraMode(const char* mode) {
    sim::grabber::serial_set_camera_mode(line(), sim::object(this), state_, mode);
}

void CxKTX21Sio::Purge() { sim::grabber::serial_purge(line(), sim::object(this), state_); }

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
