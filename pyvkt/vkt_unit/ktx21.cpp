// The KTX21 Camera Link grabber family: the board KTX21, its companions
// KTX21Encoder, KTX21Param and KTX21Sio, and the record TxKTX21CaptureStatus.
#include <memory>
#include <string>

#include "grabber_members.h"

namespace vkt_unit {

using vkt::Video::CxKTX21;
using vkt::Video::CxKTX21Encoder;
using vkt::Video::CxKTX21Param;
using vkt::Video::CxKTX21Sio;
using vkt::Video::TxKTX21CaptureStatus;

namespace {

using K = ValueKind;

// Every setting of the board by name, in matching order.
constexpr ParamRow kKtx21Rows[] = {
    {"DeviceID", K::Int32, K::None},
    {"DeviceType", K::Int32, K::None},
    {"BoardType", K::Int32, K::None},
    {"CameraConnect", K::Int32, K::None},
    {"DetectTrigger", K::Int32, K::None},
    {"Channel", K::Int32, K::None},
    {"Width", K::Int32, K::Int32},
    {"Height", K::Int32, K::Int32},
    {"OffsetW", K::Int32, K::Int32},
    {"OffsetH", K::Int32, K::Int32},
    {"OffsetMode", K::Int32, K::Int32},
    {"OffsetTrgW", K::Int32, K::Int32},
    {"OffsetTrgH", K::Int32, K::Int32},
    {"Timeout", K::Int32, K::Int32},
    {"FpgaVersion", K::Int32, K::None},
    {"Version", K::Int32, K::Int32},
    {"SendCommandEnable", K::Int32, K::Int32},
    {"SendCommandWaitTime", K::Int32, K::Int32},
    {"Configuration", K::Int32, K::Int32},
    {"BitWidth", K::Int32, K::Int32},
    {"RBReverse", K::Int32, K::Int32},
    {"TapCount", K::Int32, K::Int32},
    {"Force8", K::Int32, K::Int32},
    {"LineSensorEnable", K::Int32, K::Int32},
    {"EncoderMode", K::Int32, K::Int32},
    {"ScanMode", K::Int32, K::Int32},
    {"DvalEnable", K::Int32, K::Int32},
    {"PackingMode", K::Int32, K::Int32},
    {"Alignment16", K::Int32, K::Int32},
    {"FormatType", K::Int32, K::Int32},
    {"XReverse", K::Int32, K::Int32},
    {"YReverse", K::Int32, K::Int32},
    {"YStep", K::Int32, K::Int32},
    {"Arrangement", K::Int32, K::Int32},
    {"HighSpeed", K::Int32, K::Int32},
    {"BlankingTime", K::Int32, K::Int32},
    {"CC1Enable", K::Int32, K::Int32},
    {"CC1Mode", K::Int32, K::Int32},
    {"CC1Positive", K::Int32, K::Int32},
    {"CC2Enable", K::Int32, K::Int32},
    {"CC2Mode", K::Int32, K::Int32},
    {"CC2Positive", K::Int32, K::Int32},
    {"CC3Enable", K::Int32, K::Int32},
    {"CC3Mode", K::Int32, K::Int32},
    {"CC3Positive", K::Int32, K::Int32},
    {"CC4Enable", K::Int32, K::Int32},
    {"CC4Mode", K::Int32, K::Int32},
    {"CC4Positive", K::Int32, K::Int32},
    {"EXPEnable", K::Int32, K::Int32},
    {"EXPMode", K::Int32, K::Int32},
    {"EXPPositive", K::Int32, K::Int32},
    {"AutoTrigger", K::Int32, K::Int32},
    {"ExternalTrigger", K::Int32, K::Int32},
    {"InTriggerOrEnable", K::Int32, K::Int32},
    {"ExTriggerOrEnable", K::Int32, K::Int32},
    {"ExposureTime", K::Int32, K::Int32},
    {"TriggerBetaTime", K::Int32, K::Int32},
    {"TriggerDelayTime", K::Int32, K::Int32},
    {"TriggerCycleTime", K::Int32, K::Int32},
    {"TriggerRetry", K::Int32, K::Int32},
    {"TriggerMaskTime", K::Int32, K::Int32},
    {"ExtTriggerSrc", K::Int32, K::Int32},
    {"MaskedTrigger", K::Int32, K::None},
    {"ExTriggerRef", K::Int32, K::None},
    {"Assert", K::Int32, K::Int32},
    {"Negate", K::Int32, K::Int32},
    {"TriggerMaskTimeMode", K::Int32, K::Int32},
    {"TriggerMaskLineNum", K::Int32, K::None},
    {"TriggerMode", K::Int32, K::Int32},
    {"SimTrigger", K::Int32, K::Int32},
    {"ENCSampling", K::Int32, K::Int32},
    {"ENCStart", K::Int32, K::Int32},
    {"ENCComp1", K::Int32, K::Int32},
    {"ENCInit", K::Int32, K::Int32},
    {"ENCDir", K::Int32, K::Int32},
    {"ENCSwapAB", K::Int32, K::Int32},
    {"SIORxMode", K::Int32, K::Int32},
    {"SIOTxMode", K::Int32, K::Int32},
    {"SIOBaudRate", K::Int32, K::Int32},
    {"SIORxBufSize", K::Int32, K::Int32},
    {"SIOTxBufSize", K::Int32, K::Int32},
    {"SIOOption", K::Int32, K::Int32},
    {"SIOSendMode", K::Int32, K::Int32},
    {"SIOOpenFlag", K::Int32, K::None},
    {"SIOTimeout", K::Int32, K::Int32},
    {"BayerMode", K::Int32, K::None},
    {"ImageWidth", K::Int32, K::None},
    {"ImageHeight", K::Int32, K::None},
    {"ImageChannels", K::Int32, K::None},
    {"ImageDepth", K::Int32, K::None},
    {"ImageType", K::Int32, K::None},
    {"ImagePack", K::Int32, K::None},
    {"ENCInputCH", K::Int32, K::Int32},
    {"PGRunMode", K::Int32, K::Int32},
    {"PGStart", K::Int32, K::Int32},
    {"ENCComp2", K::UInt32, K::UInt32},
    {"DriverVersion", K::Text, K::None},
    {"CameraName", K::Text, K::Text},
    {"CameraMaker", K::Text, K::Text},
    {"CameraMode", K::Text, K::Text},
    {"SIOSTX", K::Text, K::Text},
    {"SIOETX", K::Text, K::Text},
    {"SIORETX", K::Text, K::Text},
};

constexpr auto kKtx21Table = indexed(kKtx21Rows);

// The encoder's own short table.
constexpr ParamRow kEncoderRows[] = {
    {"EncoderMode", K::Int32, K::Int32}, {"ENCSampling", K::Int32, K::Int32},
    {"ENCStart", K::Int32, K::Int32},    {"ENCComp1", K::Int32, K::Int32},
    {"ENCInit", K::Int32, K::Int32},     {"ENCDir", K::Int32, K::Int32},
    {"ENCSwapAB", K::Int32, K::Int32},   {"ENCInputCH", K::Int32, K::Int32},
    {"ENCComp2", K::UInt32, K::UInt32},
};

constexpr auto kEncoderTable = indexed(kEncoderRows);

}  // namespace

// ---- the KTX21 name table ------------------------------------------------------------
// Real functions with these names: their name is the function text of the
// binding error they raise.

py::object ktx21_get_param(CxKTX21Param& param, std::string_view name) {
    const ParamRow* row = kKtx21Table.find(name, Direction::Get);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    return read_param(param, *row);
}

void ktx21_set_param(CxKTX21Param& param, std::string_view name, py::handle value) {
    const ParamRow* row = kKtx21Table.find(name, Direction::Set);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    write_param(param, *row, value);
}

namespace {

// ---- KTX21 ------------------------------------------------------------------------------

using StatusOf = TxKTX21CaptureStatus (CxKTX21::*)();
using StatusAt = TxKTX21CaptureStatus (CxKTX21::*)(unsigned int);

// For the KTX21 the argument-less wait_status comes first.
template <class... Options>
void def_capture(py::class_<CxKTX21, Options...>& cls) {
    def_capture_control(cls);
    cls.def("wait_status", checked(static_cast<StatusOf>(&CxKTX21::WaitStatus)));
    cls.def("query_status", checked(static_cast<StatusOf>(&CxKTX21::QueryStatus)));
    cls.def("query_status", checked(static_cast<StatusAt>(&CxKTX21::QueryStatus)));
    cls.def("wait_status", checked(static_cast<StatusAt>(&CxKTX21::WaitStatus)));
    def_capture_tail(cls);
}

void init_board(py::module_& m) {
    py::class_<CxKTX21> cls(m, "KTX21");
    def_board_basics(cls);
    def_images(cls);
    def_capture(cls);
}

// ---- KTX21Encoder ---------------------------------------------------------------------------

template <class... Options>
void def_encoder_settings(py::class_<CxKTX21Encoder, Options...>& cls) {
    using E = CxKTX21Encoder;
    def_encoder_basics(cls);
    cls.def_property("init", checked(&E::GetInit), checked(&E::SetInit));
    cls.def_property("swap_ab", checked(&E::GetSwapAb), checked(&E::SetSwapAb));
}

template <class... Options>
void def_encoder_counters(py::class_<CxKTX21Encoder, Options...>& cls) {
    using E = CxKTX21Encoder;
    cls.def("total_counter", checked(&E::TotalCounter));
    cls.def("match_counter", checked(&E::MatchCounter));
    cls.def("rel_counter", checked(&E::RelCounter));
    cls.def("clear_rel_counter", checked(&E::ClearRelCounter));
    cls.def("start_abs", checked(&E::StartAbs));
    cls.def("abs_counter", checked(&E::AbsCounter));
    cls.def_property_readonly("is_abs_overflow", checked(&E::IsAbsOverflow));
    cls.def_property_readonly("is_abs_underflow", checked(&E::IsAbsUnderflow));
    cls.def("clear_abs_counter", checked(&E::ClearAbsCounter));
    cls.def("clear_overflow", checked(&E::ClearOverflow));
    cls.def("clear_underflow", checked(&E::ClearUnderflow));
    cls.def("clear_all_counter", checked(&E::ClearAllCounter));
}

void init_encoder(py::module_& m) {
    py::class_<CxKTX21Encoder> cls(m, "KTX21Encoder");
    def_companion_basics<CxKTX21>(cls, Copyable::Yes);
    def_encoder_settings(cls);
    def_encoder_counters(cls);
    def_encoder_by_name(cls, kEncoderTable);
}

// ---- KTX21Param -------------------------------------------------------------------------------

void init_param(py::module_& m) {
    using P = CxKTX21Param;
    py::class_<P> cls(m, "KTX21Param");
    def_companion_basics<CxKTX21>(cls, Copyable::Yes);
    def_trigger_properties(cls);
    cls.def("get_param", checked([](P& self, std::string_view name) {
        return ktx21_get_param(self, name);
    }));
    cls.def("set_param", checked([](P& self, std::string_view name, py::object value) {
        ktx21_set_param(self, name, value);
    }));
    // The board takes no commands by name.
    cls.def("send_command", checked([](P&, const std::string&) -> void {
        VKT_UNIT_FAIL(kUnsupported);
    }));
    def_registers(cls);
}

// ---- KTX21Sio ------------------------------------------------------------------------------------

void init_sio(py::module_& m) {
    using S = CxKTX21Sio;
    py::class_<S> cls(m, "KTX21Sio");
    def_companion_basics<CxKTX21>(cls, Copyable::Yes);
    def_serial_members(cls);
}

}  // namespace

// Step 8 of the module's registration.
void init_ktx21(py::module_& m) {
    init_board(m);
    init_encoder(m);
    init_param(m);
    init_sio(m);
}

// Step 13: the capture-status record.
void init_ktx21_records(py::module_& m) {
    def_capture_record<TxKTX21CaptureStatus>(m, "TxKTX21CaptureStatus");
}

}  // namespace vkt_unit
