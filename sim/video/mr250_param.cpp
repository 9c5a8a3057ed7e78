// The simulated MR250 settings companion (CxMR250Param): settings by name,
// three typed settings, registers and the "SelfCalibration" command. It
// works on the device of the board it is attached to, only while that board
// lives.
#include <iterator>

#include "video/grabber_companion.h"
#include "video/mr250_device.h"

namespace vkt::Video {

namespace {

const sim::grabber::Model& model() { return sim::grabber::mr250_model(); }

constexpr sim::grabber::Command kCommands[] = {
    {"SelfCalibration", &sim::mr250::self_calibrate},
};

}  // namespace

VKT_SIM_COMPANION(CxMR250Param, CxMR250, model())
VKT_SIM_SETTING(CxMR250Param, SetTriggerMode, GetTriggerMode, int, "TriggerMode", model())
VKT_SIM_SETTING(CxMR250Param, SetExposureTime, GetExposureTime, int, "ExposureTime", model())
VKT_SIM_SETTING(CxMR250Param, SetVideoOffset, GetVideoOffset, int, "VideoOffset", model())
VKT_SIM_PARAM_ACCESS(CxMR250Param, model())

void CxMR250Param::SendCommand(const char* name, void* value, TxModel kind) {
    sim::grabber::send_command(sim::Call("CxMR250Param::SendCommand",
                                         sim::object(this), sim::bytes(name),
                                          sim::grabber::buffer_value(value, kind), sim::model(kind)),
                               state_, model(), name, kind, kCommands, std::size(kCommands));
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
