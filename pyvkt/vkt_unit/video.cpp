// The board-independent Video class. Parameters by name go to the table of
// the model the object is, through a companion made for the one call.
#include "by_name.h"

namespace vkt_unit {
namespace {

using vkt::ExDevice;
using vkt::Video::CxVideo;

// The seven commands, in the order they are compared.
constexpr const char* kVideoCommands[] = {
    "SelfCalibration", "ClearTriggerMask", "ResetPG",           "StopPG",
    "ResetPLLReconfig", "ExecutePLLReconfig", "PLLReconfig",
};

bool is_video_command(const std::string& name) {
    for (const char* command : kVideoCommands) {
        if (name == command) return true;
    }
    return false;
}

// Runs `use` on a companion of `Param` attached to `video`; the companion is
// destroyed when the call ends, whether `use` returns or raises.
template <class Param, class Use>
auto with_companion(CxVideo& video, Use&& use) {
    Param param = Param::From(&video);
    return use(param);
}

template <class... Options>
void def_from_file(py::class_<CxVideo, Options...>& cls) {
    using py::arg;
    const auto made = [](CxVideo&& video) { return std::make_unique<CxVideo>(std::move(video)); };
    cls.def_static("from_file", [made](const char* camerafile, int option) {
        return made(CxVideo::FromFile(camerafile, option));
    }, arg("camerafile"), arg("option") = -1);
    cls.def_static("from_file", [made](const wchar_t* camerafile, int option) {
        return made(CxVideo::FromFile(camerafile, option));
    }, arg("camerafile"), arg("option") = -1);
    cls.def_static("from_file", [made](const char* camerafile, int id, int ch, int option) {
        return made(CxVideo::FromFile(camerafile, id, ch, option));
    }, arg("camerafile"), arg("id"), arg("ch"), arg("option") = -1);
    cls.def_static("from_file", [made](const wchar_t* camerafile, int id, int ch, int option) {
        return made(CxVideo::FromFile(camerafile, id, ch, option));
    }, arg("camerafile"), arg("id"), arg("ch"), arg("option") = -1);
}

template <class... Options>
void def_board_properties(py::class_<CxVideo, Options...>& cls) {
    // The board comes back as the Python object that already wraps it, or as
    // a new wrapper of its own class that keeps this Video alive.
    cls.def_property("controller", checked([](const CxVideo& self) { return self.Controller(); }),
                     checked([](CxVideo& self, vkt::IxModule* board) { self.Controller(board); }));
    cls.def_property("device_type", checked([](const CxVideo& self) { return self.DeviceType(); }),
                     checked([](CxVideo& self, ExDevice device) { self.DeviceType(device); }));
}

template <class... Options>
void def_capture(py::class_<CxVideo, Options...>& cls) {
    using Image = void (CxVideo::*)(vkt::CxImage&);
    using Module = void (CxVideo::*)(vkt::IxModule*);
    cls.def("close", checked(&CxVideo::Close));
    cls.def("save", checked(&CxVideo::Save));
    cls.def("save_w", checked(&CxVideo::SaveW));
    cls.def("validate", checked(static_cast<Image>(&CxVideo::Validate)));
    cls.def("validate", checked(static_cast<Module>(&CxVideo::Validate)));
    cls.def("grab", checked(static_cast<Image>(&CxVideo::Grab)));
    cls.def("grab", checked(static_cast<Module>(&CxVideo::Grab)));
    cls.def("start", checked(static_cast<Image>(&CxVideo::Start)));
    cls.def("start", checked(static_cast<Module>(&CxVideo::Start)));
    cls.def("wait", checked(&CxVideo::Wait));
    cls.def("abort", checked(&CxVideo::Abort));
    cls.def_property_readonly("is_running", checked(&CxVideo::IsRunning));
    cls.def("status", checked(&CxVideo::Status));
    cls.def("force_trigger", checked(&CxVideo::ForceTrigger));
    cls.def_property("trigger_mode", checked(&CxVideo::GetTriggerMode),
                     checked(&CxVideo::SetTriggerMode));
    cls.def_property("exposure_time", checked(&CxVideo::GetExposureTime),
                     checked(&CxVideo::SetExposureTime));
    cls.def_property("trigger_cycle_time", checked(&CxVideo::GetTriggerCycleTime),
                     checked(&CxVideo::SetTriggerCycleTime));
}

template <class... Options>
void def_by_name(py::class_<CxVideo, Options...>& cls) {
    using namespace vkt::Video;
    // Device types are checked in this order: MR250, KTX22, KTX21.
    cls.def("get_param", checked([](CxVideo& self, std::string_view name) -> py::object {
        switch (self.DeviceType()) {
            case ExDevice::MR250:
                return with_companion<CxMR250Param>(
                    self, [&](CxMR250Param& param) { return mr250_get_param(param, name); });
            case ExDevice::KTX22:
                return with_companion<CxKTX22Param>(
                    self, [&](CxKTX22Param& param) { return ktx22_get_param(param, name); });
            case ExDevice::KTX21:
                return with_companion<CxKTX21Param>(
                    self, [&](CxKTX21Param& param) { return ktx21_get_param(param, name); });
            default: break;
        }
        VKT_UNIT_FAIL(kUnsupported);  // no parameter table for this device type
    }));
    cls.def("set_param", checked([](CxVideo& self, std::string_view name, py::object value) {
        switch (self.DeviceType()) {
            case ExDevice::MR250:
                return with_companion<CxMR250Param>(
                    self, [&](CxMR250Param& param) { mr250_set_param(param, name, value); });
            case ExDevice::KTX22:
                return with_companion<CxKTX22Param>(
                    self, [&](CxKTX22Param& param) { ktx22_set_param(param, name, value); });
            case ExDevice::KTX21:
                return with_companion<CxKTX21Param>(
                    self, [&](CxKTX21Param& param) { ktx21_set_param(param, name, value); });
            default: break;
        }
        VKT_UNIT_FAIL(kUnsupported);  // no parameter table for this device type
    }));
    cls.def("send_command", checked([](CxVideo& self, const std::string& name) {
        if (!is_video_command(name)) VKT_UNIT_FAIL(kUnsupported);
        unsigned char scratch;  // the command kind carries no value
        self.SendCommand(name.c_str(), &scratch, command_model());
    }));
}

}  // namespace

void init_video(py::module_& m) {
    py::class_<CxVideo> cls(m, "Video");
    def_from_file(cls);
    cls.def(py::init<>());
    cls.def(py::init<const CxVideo&>());
    def_equality(cls);
    def_board_properties(cls);
    def_dispose_and_validity(cls);
    def_capture(cls);
    def_by_name(cls);
}

}  // namespace vkt_unit
