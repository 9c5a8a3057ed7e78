// The KTX22 Camera Link grabber family: the board KTX22, its companions
// KTX22Encoder, KTX22Param and KTX22Sio, and the records
// TxKTX22CaptureStatus and TxKTX22EncoderStatus.
#include <cstring>
#include <memory>
#include <string>

#include "grabber_members.h"

namespace vkt_unit {

using vkt::Video::CxKTX22;
using vkt::Video::CxKTX22Encoder;
using vkt::Video::CxKTX22Param;
using vkt::Video::CxKTX22Sio;
using vkt::Video::TxKTX22CaptureStatus;
using vkt::Video::TxKTX22EncoderStatus;

namespace {

using K = ValueKind;

constexpr ParamRow readable(const char* name, ValueKind kind) { return {name, kind, K::None}; }
constexpr ParamRow writable(const char* name, ValueKind kind) { return {name, K::None, kind}; }

// The board's readable settings, in matching order.
constexpr ParamRow kKtx22GetRows[] = {
    readable("DeviceID", K::Int32), readable("DeviceType", K::Int32),
    readable("CameraConnect", K::Int32), readable("PGStatus", K::Int32),
    readable("Channel", K::Int32), readable("Width", K::Int32), readable("Height", K::Int32),
    readable("OffsetW", K::Int32), readable("OffsetH", K::Int32), readable("OffsetMode", K::Int32),
    readable("OffsetTrgW", K::Int32), readable("OffsetTrgH", K::Int32),
    readable("Timeout", K::Int32), readable("Version", K::Int32),
    readable("SendCommandEnable", K::Int32), readable("SendCommandWaitTime", K::Int32),
    readable("Configuration", K::Int32), readable("BitWidth", K::Int32),
    readable("RBReverse", K::Int32), readable("TapCount", K::Int32), readable("Force8", K::Int32),
    readable("LineSensorEnable", K::Int32), readable("ScanMode", K::Int32),
    readable("DvalEnable", K::Int32), readable("PackingMode", K::Int32),
    readable("Alignment16", K::Int32), readable("TapSwap", K::Int32),
    readable("FormatType", K::Int32), readable("XReverse", K::Int32),
    readable("YReverse", K::Int32), readable("YStep", K::Int32), readable("Arrangement", K::Int32),
    readable("BlankingTime", K::Int32), readable("CC1Enable", K::Int32),
    readable("CC1Mode", K::Int32), readable("CC1Positive", K::Int32),
    readable("CC2Enable", K::Int32), readable("CC2Mode", K::Int32),
    readable("CC2Positive", K::Int32), readable("CC3Enable", K::Int32),
    readable("CC3Mode", K::Int32), readable("CC3Positive", K::Int32),
    readable("CC4Enable", K::Int32), readable("CC4Mode", K::Int32),
    readable("CC4Positive", K::Int32), readable("EXPEnable", K::Int32),
    readable("EXPMode", K::Int32), readable("EXPPositive", K::Int32),
    readable("ExternalTrigger", K::Int32), readable("IntTriggerChSel", K::Int32),
    readable("ExtTriggerChSel", K::Int32), readable("ExtTriggerSrc", K::Int32),
    readable("ExtInControlMode", K::Int32), readable("Assert", K::Int32),
    readable("Negate", K::Int32), readable("EncoderMode", K::Int32),
    readable("ExposureTime", K::Int32), readable("TriggerBetaTime", K::Int32),
    readable("TriggerDelayTime", K::Int32), readable("TriggerCycleTime", K::Int32),
    readable("TriggerRetry", K::Int32), readable("TriggerMaskTime", K::Int32),
    readable("TriggerRetryMode", K::Int32), readable("TriggerMaskMode", K::Int32),
    readable("TriggerMode", K::Int32), readable("BayerMode", K::Int32),
    readable("CameraClock", K::Int32), readable("PLLReconfig", K::Int32),
    readable("ENCSampling", K::Int32), readable("ENCStart", K::Int32),
    readable("ENCComp1", K::Int32), readable("ENCResetSource", K::Int32),
    readable("ENCDir", K::Int32), readable("ENCSwapAB", K::Int32),
    readable("ENCSignalSource", K::Int32), readable("SIOBaudRate", K::Int32),
    readable("SIOOption", K::Int32), readable("SIOSendMode", K::Int32),
    readable("SIOOpenFlag", K::Int32), readable("SIOTimeout", K::Int32),
    readable("PoCLControl", K::Int32), readable("ENCIn0Termination", K::Int32),
    readable("ENCIn1Termination", K::Int32), readable("EncoderActMode", K::Int32),
    readable("ClearTriggerMaskMode", K::Int32), readable("GrabEnableSelector", K::Int32),
    readable("PLLReconfigStatus", K::Int32), readable("ImageWidth", K::Int32),
    readable("ImageHeight", K::Int32), readable("ImageChannels", K::Int32),
    readable("ImageDepth", K::Int32), readable("ImageType", K::Int32),
    readable("ImagePack", K::Int32), readable("ENCComp2", K::UInt32),
    readable("DriverVersion", K::Text), readable("FpgaVersion", K::Text),
    readable("CameraName", K::Text), readable("CameraMaker", K::Text),
    readable("CameraMode", K::Text), readable("SIOSTX", K::Text), readable("SIOETX", K::Text),
    readable("SIORETX", K::Text),
};

// The writable settings, in their own matching order.
constexpr ParamRow kKtx22SetRows[] = {
    writable("Width", K::Int32), writable("Height", K::Int32), writable("OffsetMode", K::Int32),
    writable("OffsetW", K::Int32), writable("OffsetH", K::Int32), writable("OffsetTrgW", K::Int32),
    writable("OffsetTrgH", K::Int32), writable("Timeout", K::Int32), writable("Version", K::Int32),
    writable("SendCommandEnable", K::Int32), writable("SendCommandWaitTime", K::Int32),
    writable("Configuration", K::Int32), writable("BitWidth", K::Int32),
    writable("RBReverse", K::Int32), writable("TapCount", K::Int32), writable("Force8", K::Int32),
    writable("LineSensorEnable", K::Int32), writable("ScanMode", K::Int32),
    writable("DvalEnable", K::Int32), writable("PackingMode", K::Int32),
    writable("Alignment16", K::Int32), writable("FormatType", K::Int32),
    writable("XReverse", K::Int32), writable("YReverse", K::Int32), writable("YStep", K::Int32),
    writable("Arrangement", K::Int32), writable("CC1Enable", K::Int32),
    writable("CC1Mode", K::Int32), writable("CC1Positive", K::Int32),
    writable("CC2Enable", K::Int32), writable("CC2Mode", K::Int32),
    writable("CC2Positive", K::Int32), writable("CC3Enable", K::Int32),
    writable("CC3Mode", K::Int32), writable("CC3Positive", K::Int32),
    writable("CC4Enable", K::Int32), writable("CC4Mode", K::Int32),
    writable("CC4Positive", K::Int32), writable("EXPEnable", K::Int32),
    writable("EXPMode", K::Int32), writable("EXPPositive", K::Int32),
    writable("ExternalTrigger", K::Int32), writable("IntTriggerChSel", K::Int32),
    writable("ExtTriggerChSel", K::Int32), writable("ExtTriggerSrc", K::Int32),
    writable("ExtInControlMode", K::Int32), writable("Assert", K::Int32),
    writable("Negate", K::Int32), writable("EncoderMode", K::Int32),
    writable("ExposureTime", K::Int32), writable("TriggerBetaTime", K::Int32),
    writable("TriggerDelayTime", K::Int32), writable("TriggerCycleTime", K::Int32),
    writable("TriggerRetry", K::Int32), writable("TriggerMaskTime", K::Int32),
    writable("TriggerRetryMode", K::Int32), writable("TriggerMaskMode", K::Int32),
    writable("TriggerMode", K::Int32), writable("ENCSampling", K::Int32),
    writable("ENCStart", K::Int32), writable("ENCComp1", K::Int32),
    writable("ENCResetSource", K::Int32), writable("ENCDir", K::Int32),
    writable("ENCSwapAB", K::Int32), writable("ENCSignalSource", K::Int32),
    writable("SIOBaudRate", K::Int32), writable("SIOOption", K::Int32),
    writable("SIOSendMode", K::Int32), writable("SIOTimeout", K::Int32),
    writable("PoCLControl", K::Int32), writable("ENCIn0Termination", K::Int32),
    writable("ENCIn1Termination", K::Int32), writable("EncoderActMode", K::Int32),
    writable("PLLReconfig", K::Int32), writable("ClearTriggerMaskMode", K::Int32),
    writable("GrabEnableSelector", K::Int32), writable("ENCComp2", K::UInt32),
    writable("CameraName", K::Text), writable("CameraMaker", K::Text),
    writable("CameraMode", K::Text), writable("SIOSTX", K::Text), writable("SIOETX", K::Text),
    writable("SIORETX", K::Text),
};

constexpr auto kKtx22GetTable = indexed(kKtx22GetRows);
constexpr auto kKtx22SetTable = indexed(kKtx22SetRows);

// The commands send_command passes on, in matching order.
constexpr const char* kKtx22Commands[] = {
    "ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig", "ExecutePLLReconfig", "PLLReconfig",
};

bool is_command(const std::string& name) {
    for (const char* command : kKtx22Commands) {
        if (name == command) return true;
    }
    return false;
}

// The encoder's own table.
constexpr ParamRow kEncoderRows[] = {
    {"EncoderMode", K::Int32, K::Int32},    {"ENCSampling", K::Int32, K::Int32},
    {"ENCStart", K::Int32, K::Int32},       {"ENCComp1", K::Int32, K::Int32},
    {"ENCResetSource", K::Int32, K::Int32}, {"ENCDir", K::Int32, K::Int32},
    {"ENCSwapAB", K::Int32, K::Int32},      {"ENCSignalSource", K::Int32, K::Int32},
    {"EncoderActMode", K::Int32, K::Int32}, {"ENCComp2", K::UInt32, K::UInt32},
};

constexpr auto kEncoderTable = indexed(kEncoderRows);

}  // namespace

// ---- the KTX22 name tables -----------------------------------------------------------
// Real functions with these names: their name is the function text of the
// binding error they raise.

py::object ktx22_get_param(CxKTX22Param& param, std::string_view name) {
    const ParamRow* row = kKtx22GetTable.find(name, Direction::Get);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    return read_param(param, *row);
}

void ktx22_set_param(CxKTX22Param& param, std::string_view name, py::handle value) {
    const ParamRow* row = kKtx22SetTable.find(name, Direction::Set);
    if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
    write_param(param, *row, value);
}

namespace {

// ---- KTX22 ------------------------------------------------------------------------------

// validate and lock: one image, a list of images, a library module.
template <class... Options>
void def_images(py::class_<CxKTX22, Options...>& cls) {
    def_validate_forms(cls);
    cls.def("validate", checked(static_cast<void (CxKTX22::*)(vkt::IxModule*)>(&CxKTX22::Validate)));
    def_lock_forms(cls);
    cls.def("lock", checked(static_cast<void (CxKTX22::*)(vkt::IxModule*, int)>(&CxKTX22::Lock)),
            py::arg("image"), py::arg("option") = 0);
    cls.def("unlock", checked(&CxKTX22::Unlock));
}

using StatusOf = TxKTX22CaptureStatus (CxKTX22::*)();

// The record the library fills is the one inside the caller's Python
// object; None is refused before the library could write through null.
template <class... Options>
void def_status(py::class_<CxKTX22, Options...>& cls) {
    cls.def("query_status", checked(static_cast<StatusOf>(&CxKTX22::QueryStatus)));
    cls.def("query_status", checked([](CxKTX22& self, TxKTX22CaptureStatus* result) {
        if (result == nullptr) VKT_UNIT_FAIL(kMissingObject);
        self.QueryStatus(result);
    }), py::arg("result"));
    cls.def("wait_status", checked(static_cast<StatusOf>(&CxKTX22::WaitStatus)));
    cls.def("wait_status", checked([](CxKTX22& self, TxKTX22CaptureStatus* result, int timeout) {
        if (result == nullptr) VKT_UNIT_FAIL(kMissingObject);
        return self.WaitStatus(result, timeout);
    }), py::arg("result"), py::arg("timeout") = 5000);
    cls.def("status", checked(&CxKTX22::Status));
}

template <class... Options>
void def_capture(py::class_<CxKTX22, Options...>& cls) {
    cls.def("start", checked(&CxKTX22::Start));
    cls.def("stop", checked(&CxKTX22::Stop));
    cls.def("abort", checked(&CxKTX22::Abort));
    cls.def("wait", checked(static_cast<void (CxKTX22::*)()>(&CxKTX22::Wait)));
    cls.def_property_readonly("is_running", checked(&CxKTX22::IsRunning));
    def_status(cls);
    cls.def("wait", checked(static_cast<bool (CxKTX22::*)(int)>(&CxKTX22::Wait)));
}

// Event waits and the per-channel units; -1 is the board object's channel.
template <class... Options>
void def_events_and_channels(py::class_<CxKTX22, Options...>& cls) {
    // The third value only seeds the integer the library may write; what it
    // writes there does not come back.
    cls.def("wait_event", checked([](CxKTX22& self, int event, int timeout, int initial) {
        int count = initial;
        return self.WaitEvent(event, timeout, &count);
    }));
    cls.def("cancel_wait_event", checked(&CxKTX22::CancelWaitEvent));
    cls.def("force_trigger", checked(&CxKTX22::ForceTrigger), py::arg("ch") = -1);
    cls.def("stop_pg", checked(&CxKTX22::StopPg), py::arg("ch") = -1);
    cls.def("reset_pg", checked(&CxKTX22::ResetPg), py::arg("ch") = -1);
    cls.def("clear_trigger_mask", checked(&CxKTX22::ClearTriggerMask), py::arg("ch") = -1);
    cls.def("pll_reconfig", checked(&CxKTX22::PllReconfig));
    cls.def_property("num", checked(&CxKTX22::GetNum), checked(&CxKTX22::SetNum));
    cls.def_property("lock_id", checked(&CxKTX22::GetLockId), checked(&CxKTX22::SetLockId));
}

void init_board(py::module_& m) {
    py::class_<CxKTX22> cls(m, "KTX22");
    def_board_basics(cls);
    def_images(cls);
    def_capture(cls);
    def_events_and_channels(cls);
}

// ---- KTX22Encoder ---------------------------------------------------------------------------

template <class... Options>
void def_encoder_settings(py::class_<CxKTX22Encoder, Options...>& cls) {
    using E = CxKTX22Encoder;
    def_encoder_basics(cls);
    cls.def_property("reset_source", checked(&E::GetResetSource), checked(&E::SetResetSource));
    cls.def_property("swap_ab", checked(&E::GetSwapAb), checked(&E::SetSwapAb));
    cls.def_property("signal_source", checked(&E::GetSignalSource), checked(&E::SetSignalSource));
}

template <class... Options>
void def_encoder_counters(py::class_<CxKTX22Encoder, Options...>& cls) {
    using E = CxKTX22Encoder;
    cls.def("start_encoder", checked(&E::StartEncoder));
    cls.def("stop_encoder", checked(&E::StopEncoder));
    cls.def("reset_encoder", checked(&E::ResetEncoder));
    // Fills the caller's record in place; None is refused before the call.
    cls.def("encoder_status", checked([](E& self, TxKTX22EncoderStatus* status) {
        if (status == nullptr) VKT_UNIT_FAIL(kMissingObject);
        self.EncoderStatus(status);
    }));
    cls.def("encoder_counter", checked(&E::EncoderCounter));
    cls.def("match_counter", checked(&E::MatchCounter));
    cls.def("rel_counter", checked(&E::RelCounter));
    cls.def_property("encoder_act_mode", checked(&E::GetEncoderActMode),
                     checked(&E::SetEncoderActMode));
}

void init_encoder(py::module_& m) {
    py::class_<CxKTX22Encoder> cls(m, "KTX22Encoder");
    def_companion_basics<CxKTX22>(cls, Copyable::Yes);
    def_encoder_settings(cls);
    def_encoder_counters(cls);
    def_encoder_by_name(cls, kEncoderTable);
}

// ---- KTX22Param -------------------------------------------------------------------------------

void init_param(py::module_& m) {
    using P = CxKTX22Param;
    py::class_<P> cls(m, "KTX22Param");
    def_companion_basics<CxKTX22>(cls, Copyable::Yes);
    def_trigger_properties(cls);
    cls.def("get_param", checked([](P& self, std::string_view name) {
        return ktx22_get_param(self, name);
    }));
    cls.def("set_param", checked([](P& self, std::string_view name, py::object value) {
        ktx22_set_param(self, name, value);
    }));
    // A command's value buffer is scratch the library may use; it is
    // neither set nor read here.
    cls.def("send_command", checked([](P& self, const std::string& name) {
        if (!is_command(name)) VKT_UNIT_FAIL(kUnsupported);
        unsigned char scratch = 0;
        self.SendCommand(name.c_str(), &scratch, command_model());
    }));
    def_registers(cls);
}

// ---- KTX22Sio ------------------------------------------------------------------------------------

void init_sio(py::module_& m) {
    py::class_<CxKTX22Sio> cls(m, "KTX22Sio");
    def_companion_basics<CxKTX22>(cls, Copyable::Yes);
    def_serial_members(cls);
}

}  // namespace

// Step 9 of the module's registration.
void init_ktx22(py::module_& m) {
    init_board(m);
    init_encoder(m);
    init_param(m);
    init_sio(m);
}

// Step 13: the capture-status and encoder-status records.
void init_ktx22_records(py::module_& m) {
    using R = TxKTX22CaptureStatus;
    py::class_<R> capture(m, "TxKTX22CaptureStatus");
    capture.def_property_readonly("total_frame_count", checked([](const R& r) { return r.total_frame_count; }));
    capture.def_property_readonly("amount_in_frame", checked([](const R& r) { return r.amount_in_frame; }));
    capture.def_property_readonly("last_frame_no", checked([](const R& r) { return r.last_frame_no; }));
    capture.def_property_readonly("line_count", checked([](const R& r) { return r.line_count; }));
    capture.def_property_readonly("capture_state", checked([](const R& r) { return r.capture_state; }));
    capture.def(py::init<>());
    capture.def(py::init<unsigned int, unsigned int, unsigned int, int, int>());
    def_equality(capture);

    using S = TxKTX22EncoderStatus;
    py::class_<S> encoder(m, "TxKTX22EncoderStatus");
    encoder.def_property_readonly("is_abs_overflow", checked([](const S& s) { return s.is_abs_overflow; }));
    encoder.def_property_readonly("is_abs_underflow", checked([](const S& s) { return s.is_abs_underflow; }));
    encoder.def_property_readonly("a_state", checked([](const S& s) { return s.a_state; }));
    encoder.def_property_readonly("b_state", checked([](const S& s) { return s.b_state; }));
    encoder.def_property_readonly("z_state", checked([](const S& s) { return s.z_state; }));
    encoder.def_property_readonly("encoder_state", checked([](const S& s) { return s.encoder_state; }));
    encoder.def_property_readonly("encoder_counter", checked([](const S& s) { return s.encoder_counter; }));
    encoder.def_property_readonly("rel_counter", checked([](const S& s) { return s.rel_counter; }));
    encoder.def_property_readonly("match_counter", checked([](const S& s) { return s.match_counter; }));
    encoder.def(py::init<>());
    encoder.def(py::init<bool, bool, int, int, int, int, int, unsigned int, unsigned int>());
    def_equality(encoder);
}

}  // namespace vkt_unit
