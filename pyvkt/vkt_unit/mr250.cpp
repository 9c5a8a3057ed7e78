// The MR250 analog grabber family: the board MR250, its companion
// MR250Param and the record TxMR250CaptureStatus.
#include <memory>
#include <string>

#include "grabber_members.h"

namespace vkt_unit {

using vkt::Video::CxMR250;
using vkt::Video::CxMR250Param;
using vkt::Video::TxMR250CaptureStatus;

namespace {

using K = ValueKind;

// Every setting of the board by name, in matching order.
constexpr ParamRow kMr250Rows[] = {
    {"TriggerMode", K::Int32, K::Int32},
    {"VideoOffset", K::Int32, K::Int32},
    {"FieldDetection", K::Int32, K::Int32},
    {"ExposureTime", K::Int32, K::Int32},
    {"ShutterPrecision", K::Int32, K::Int32},
    {"DeviceID", K::Int32, K::None},
    {"DeviceType", K::Int32, K::None},
    {"Channel", K::Int32, K::None},
    {"Width", K::Int32, K::Int32},
    {"Height", K::Int32, K::Int32},
    {"OffsetW", K::Int32, K::Int32},
    {"OffsetH", K::Int32, K::Int32},
    {"OffsetTrgW", K::Int32, K::Int32},
    {"OffsetTrgH", K::Int32, K::Int32},
    {"Timeout", K::Int32, K::Int32},
    {"FpgaVersion", K::Int32, K::None},
    {"Version", K::Int32, K::Int32},
    {"NormalModeWaitTime", K::Int32, K::Int32},
    {"CameraTriggerSyncMode", K::Int32, K::Int32},
    {"TriggerSharingMode", K::Int32, K::Int32},
    {"TriggerSharingChannel", K::Int32, K::Int32},
    {"SyncMode", K::Int32, K::Int32},
    {"HCycle", K::Int32, K::Int32},
    {"VCycle", K::Int32, K::Int32},
    {"VCycleTrg", K::Int32, K::Int32},
    {"HDWidth", K::Int32, K::Int32},
    {"VDWidth", K::Int32, K::Int32},
    {"ClampStart", K::Int32, K::Int32},
    {"ClampEnd", K::Int32, K::Int32},
    {"VideoDelay", K::Int32, K::Int32},
    {"SyncPhase", K::Int32, K::Int32},
    {"SyncTerminate", K::Int32, K::Int32},
    {"PllVDW", K::Int32, K::Int32},
    {"PllRDW", K::Int32, K::Int32},
    {"PllOD", K::Int32, K::Int32},
    {"TriggerSyncMode", K::Int32, K::Int32},
    {"TriggerLogic", K::Int32, K::Int32},
    {"TriggerIndexLogic", K::Int32, K::Int32},
    {"TriggerInputPin", K::Int32, K::Int32},
    {"TriggerReadyWait", K::Int32, K::Int32},
    {"TriggerVDDelay", K::Int32, K::Int32},
    {"TriggerIndexTimeout", K::Int32, K::Int32},
    {"TriggerDelay", K::Int32, K::Int32},
    {"TriggerDelaySelect", K::Int32, K::Int32},
    {"ExtTriggerEnabled", K::Int32, K::None},
    {"ExpEnable", K::Int32, K::Int32},
    {"ExpLogic", K::Int32, K::Int32},
    {"ExpStop", K::Int32, K::Int32},
    {"SimTriggerIn", K::Int32, K::Int32},
    {"SimTriggerEx", K::Int32, K::Int32},
    {"ImageWidth", K::Int32, K::None},
    {"ImageHeight", K::Int32, K::None},
    {"FormatType", K::Int32, K::None},
    {"ImageType", K::Int32, K::None},
    {"ImagePack", K::Int32, K::None},
    {"ImageDepth", K::Int32, K::None},
    {"DriverVersion", K::Text, K::None},
    {"CameraName", K::Text, K::Text},
    {"CameraMaker", K::Text, K::Text},
    {"CameraMode", K::Text, K::Text},
    {"ImageSize", K::Text, K::None},
};

constexpr auto kMr250Table = indexed(kMr250Rows);

// The one command the board takes by name.
constexpr const char kSelfCalibration[] = "SelfCalibration";

}  // namespace

// ---- the MR250 name table --------------------------------------------------------------
// Real functions with these names: their name is the function text of the
// binding error they raise.

py::object mr250_get_param(CxMR250Param& param, std::string_view name) {
    const ParamRow* row = kMr250Table.find(name, Direction::Get);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    return read_param(param, *row);
}

void mr250_set_param(CxMR250Param& param, std::string_view name, py::handle value) {
    const ParamRow* row = kMr250Table.find(name, Direction::Set);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    write_param(param, *row, value);
}

namespace {

// ---- MR250 ------------------------------------------------------------------------------

using StatusOf = TxMR250CaptureStatus (CxMR250::*)();
using StatusAt = TxMR250CaptureStatus (CxMR250::*)(unsigned int);

// For the MR250 query_status comes before wait_status.
template <class... Options>
void def_capture(py::class_<CxMR250, Options...>& cls) {
    def_capture_control(cls);
    cls.def("query_status", checked(static_cast<StatusOf>(&CxMR250::QueryStatus)));
    cls.def("query_status", checked(static_cast<StatusAt>(&CxMR250::QueryStatus)));
    cls.def("wait_status", checked(static_cast<StatusOf>(&CxMR250::WaitStatus)));
    cls.def("wait_status", checked(static_cast<StatusAt>(&CxMR250::WaitStatus)));
    def_capture_tail(cls);
}

void init_board(py::module_& m) {
    py::class_<CxMR250> cls(m, "MR250");
    def_board_basics(cls);
    def_images(cls);
    def_capture(cls);
}

// ---- MR250Param ---------------------------------------------------------------------------

void init_param(py::module_& m) {
    using P = CxMR250Param;
    py::class_<P> cls(m, "MR250Param");
    def_companion_basics<CxMR250>(cls, Copyable::Yes);
    cls.def_property("trigger_mode", checked(&P::GetTriggerMode), checked(&P::SetTriggerMode));
    cls.def_property("exposure_time", checked(&P::GetExposureTime), checked(&P::SetExposureTime));
    cls.def_property("video_offset", checked(&P::GetVideoOffset), checked(&P::SetVideoOffset));
    cls.def("get_param", checked([](P& self, std::string_view name) {
        return mr250_get_param(self, name);
    }));
    cls.def("set_param", checked([](P& self, std::string_view name, py::object value) {
        mr250_set_param(self, name, value);
    }));
    cls.def("send_command", checked([](P& self, const std::string& name) {
        if (name != kSelfCalibration) VKT_UNIT_FAIL(kUnsupported);
        unsigned char scratch = 0;   // the command's buffer: neither set nor read here
        self.SendCommand(kSelfCalibration, &scratch, command_model());
    }));
    def_registers(cls);
}

}  // namespace

// Step 10 of the module's registration.
void init_mr250(py::module_& m) {
    init_board(m);
    init_param(m);
}

// Step 13: the capture-status record, the last of the records.
void init_mr250_records(py::module_& m) {
    def_capture_record<TxMR250CaptureStatus>(m, "TxMR250CaptureStatus");
}

}  // namespace vkt_unit
