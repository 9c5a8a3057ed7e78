// Members that the grabber families (KTX21, KTX22, MR250) register alike:
// the camera-file factories and files, the single-image and list forms of
// validate and lock, capture control, the six-field capture-status record,
// the trigger properties and registers of the Param classes, the encoders'
// by-name access and the whole serial class. Each family registers them in
// its own order around its own members.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "by_name.h"
#include "image_list.h"
#include "serial_read.h"

namespace vkt_unit {

// Whether a board's factories and setup take an `option` after the path
// (KTX21, KTX22) or not (MR250).
template <class Board, class = void>
struct TakesOption : std::false_type {};

template <class Board>
struct TakesOption<Board, std::void_t<decltype(Board::FromFile(std::declval<const char*>(), 0))>>
    : std::true_type {};

// The four from_file factories: narrow and wide path, with and without a
// board id and channel (and `option`, -1 by default, where the board takes
// one). Each result is moved into a new object.
template <class Board, class... Options>
void def_from_file(py::class_<Board, Options...>& cls) {
    if constexpr (TakesOption<Board>::value) {
        cls.def_static("from_file", [](const char* camerafile, int option) {
            return std::make_unique<Board>(Board::FromFile(camerafile, option));
        }, py::arg("camerafile"), py::arg("option") = -1);
        // A Python str (or bytes) always takes the narrow overload registered
        // before this one, so nothing from Python reaches the wide one; it is
        // registered because the library offers both. GCOVR_EXCL_START
        cls.def_static("from_file", [](const wchar_t* camerafile, int option) {
            return std::make_unique<Board>(Board::FromFile(camerafile, option));
        }, py::arg("camerafile"), py::arg("option") = -1);
        // GCOVR_EXCL_STOP
        cls.def_static("from_file", [](const char* camerafile, int id, int ch, int option) {
            return std::make_unique<Board>(Board::FromFile(camerafile, id, ch, option));
        }, py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1);
        // Wide, not reached from Python (see above). GCOVR_EXCL_START
        cls.def_static("from_file", [](const wchar_t* camerafile, int id, int ch, int option) {
            return std::make_unique<Board>(Board::FromFile(camerafile, id, ch, option));
        }, py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1);
        // GCOVR_EXCL_STOP
    } else {
        cls.def_static("from_file", [](const char* camerafile) {
            return std::make_unique<Board>(Board::FromFile(camerafile));
        }, py::arg("camerafile"));
        // Wide, not reached from Python (see above). GCOVR_EXCL_START
        cls.def_static("from_file", [](const wchar_t* camerafile) {
            return std::make_unique<Board>(Board::FromFile(camerafile));
        }, py::arg("camerafile"));
        // GCOVR_EXCL_STOP
        cls.def_static("from_file", [](const char* camerafile, int id, int ch) {
            return std::make_unique<Board>(Board::FromFile(camerafile, id, ch));
        }, py::arg("camerafile"), py::arg("id"), py::arg("ch"));
        // Wide, not reached from Python (see above). GCOVR_EXCL_START
        cls.def_static("from_file", [](const wchar_t* camerafile, int id, int ch) {
            return std::make_unique<Board>(Board::FromFile(camerafile, id, ch));
        }, py::arg("camerafile"), py::arg("id"), py::arg("ch"));
        // GCOVR_EXCL_STOP
    }
}

// setup (narrow, then wide), save and save_w. A setup without `option`
// takes the path positionally.
template <class Board, class... Options>
void def_files(py::class_<Board, Options...>& cls) {
    if constexpr (TakesOption<Board>::value) {
        cls.def("setup", checked(static_cast<void (Board::*)(const char*, int)>(&Board::Setup)),
                py::arg("camerafile"), py::arg("option") = -1);
        cls.def("setup", checked(static_cast<void (Board::*)(const wchar_t*, int)>(&Board::Setup)),
                py::arg("camerafile"), py::arg("option") = -1);
    } else {
        cls.def("setup", checked(static_cast<void (Board::*)(const char*)>(&Board::Setup)));
        cls.def("setup", checked(static_cast<void (Board::*)(const wchar_t*)>(&Board::Setup)));
    }
    cls.def("save", checked(&Board::Save));
    cls.def("save_w", checked(&Board::SaveW));
}

// The members every board opens with: from_file, the constructors,
// equality, dispose, is_valid, open, close, the camera files and is_opened.
template <class Board, class... Options>
void def_board_basics(py::class_<Board, Options...>& cls) {
    def_from_file(cls);
    cls.def(py::init<>());
    cls.def(py::init<const Board&>());
    def_equality(cls);
    def_dispose_and_validity(cls);
    cls.def("open", checked(&Board::Open));
    cls.def("close", checked(&Board::Close));
    def_files(cls);
    cls.def_property_readonly("is_opened", checked(&Board::IsOpened));
}

// The encoder settings both encoders begin with: mode, sampling, start,
// direction and the two compare values.
template <class Encoder, class... Options>
void def_encoder_basics(py::class_<Encoder, Options...>& cls) {
    using E = Encoder;
    cls.def_property("encoder_mode", checked(&E::GetEncoderMode), checked(&E::SetEncoderMode));
    cls.def_property("sampling", checked(&E::GetSampling), checked(&E::SetSampling));
    cls.def_property("start", checked(&E::GetStart), checked(&E::SetStart));
    cls.def_property("dir", checked(&E::GetDir), checked(&E::SetDir));
    cls.def_property("comp1", checked(&E::GetComp1), checked(&E::SetComp1));
    cls.def_property("comp2", checked(&E::GetComp2), checked(&E::SetComp2));
}

// validate for one image, then for a list of images.
template <class Board, class... Options>
void def_validate_forms(py::class_<Board, Options...>& cls) {
    cls.def("validate", checked(static_cast<void (Board::*)(vkt::CxImage&)>(&Board::Validate)));
    cls.def("validate", checked([](Board& self, const py::list& images) {
        with_image_array(images, [&](vkt::CxImage** array, int count) { self.Validate(array, count); });
    }));
}

// lock for one image, then for a list of images; option 0 by default.
template <class Board, class... Options>
void def_lock_forms(py::class_<Board, Options...>& cls) {
    cls.def("lock", checked(static_cast<void (Board::*)(const vkt::CxImage&, int)>(&Board::Lock)),
            py::arg("image"), py::arg("option") = 0);
    cls.def("lock", checked([](Board& self, const py::list& images, int option) {
        with_image_array(images, [&](vkt::CxImage** array, int count) {
            self.Lock(array, count, option);
        });
    }), py::arg("images"), py::arg("option") = 0);
}

// validate and lock, each for one image and for a list of images, then unlock.
template <class Board, class... Options>
void def_images(py::class_<Board, Options...>& cls) {
    def_validate_forms(cls);
    def_lock_forms(cls);
    cls.def("unlock", checked(&Board::Unlock));
}

// start, stop, abort(), wait, is_running and status.
template <class Board, class... Options>
void def_capture_control(py::class_<Board, Options...>& cls) {
    cls.def("start", checked(&Board::Start));
    cls.def("stop", checked(&Board::Stop));
    cls.def("abort", checked(static_cast<void (Board::*)()>(&Board::Abort)));
    cls.def("wait", checked(&Board::Wait));
    cls.def_property_readonly("is_running", checked(&Board::IsRunning));
    cls.def("status", checked(&Board::Status));
}

// force_trigger, abort(frames), num and lock_id: the members after the
// status operations.
template <class Board, class... Options>
void def_capture_tail(py::class_<Board, Options...>& cls) {
    cls.def("force_trigger", checked(&Board::ForceTrigger));
    cls.def("abort", checked(static_cast<void (Board::*)(unsigned int)>(&Board::Abort)));
    cls.def_property("num", checked(&Board::GetNum), checked(&Board::SetNum));
    cls.def_property("lock_id", checked(&Board::GetLockId), checked(&Board::SetLockId));
}

// A six-field capture-status record (KTX21, MR250): its fields read-only,
// the default and the six-value constructors, __eq__ and __ne__.
template <class Record>
void def_capture_record(py::module_& m, const char* name) {
    py::class_<Record> cls(m, name);
    cls.def_property_readonly("total_frame_count", checked([](const Record& r) { return r.total_frame_count; }));
    cls.def_property_readonly("amount_in_frame", checked([](const Record& r) { return r.amount_in_frame; }));
    cls.def_property_readonly("last_frame_no", checked([](const Record& r) { return r.last_frame_no; }));
    cls.def_property_readonly("line_count", checked([](const Record& r) { return r.line_count; }));
    cls.def_property_readonly("dma_schedule_peak", checked([](const Record& r) { return r.dma_schedule_peak; }));
    cls.def_property_readonly("capture_event", checked([](const Record& r) { return r.capture_event; }));
    cls.def(py::init<>());
    cls.def(py::init<unsigned int, unsigned int, unsigned int, int, int, unsigned int>());
    def_equality(cls);
}

// trigger_mode, exposure_time and trigger_cycle_time of a Param class.
template <class Param, class... Options>
void def_trigger_properties(py::class_<Param, Options...>& cls) {
    cls.def_property("trigger_mode", checked(&Param::GetTriggerMode), checked(&Param::SetTriggerMode));
    cls.def_property("exposure_time", checked(&Param::GetExposureTime),
                     checked(&Param::SetExposureTime));
    cls.def_property("trigger_cycle_time", checked(&Param::GetTriggerCycleTime),
                     checked(&Param::SetTriggerCycleTime));
}

// set_register, then get_register returning what the library wrote.
template <class Param, class... Options>
void def_registers(py::class_<Param, Options...>& cls) {
    cls.def("set_register", checked(&Param::SetRegister));
    cls.def("get_register", checked([](Param& self, unsigned int address) {
        unsigned int value = 0;
        self.GetRegister(address, &value);
        return value;
    }));
}

// get_param, set_param and send_command of an encoder, over its own table.
// The encoders take no commands.
template <class Encoder, class... Options, std::size_t N>
void def_encoder_by_name(py::class_<Encoder, Options...>& cls, const ParamTable<N>& table) {
    cls.def("get_param", checked([&table](Encoder& self, std::string_view name) {
        const ParamRow* row = table.find(name, Direction::Get);
        if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
        return read_param(self, *row);
    }));
    cls.def("set_param", checked([&table](Encoder& self, std::string_view name, py::object value) {
        const ParamRow* row = table.find(name, Direction::Set);
        if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
        write_param(self, *row, value);
    }));
    cls.def("send_command", checked([](Encoder&, const std::string&) -> void {
        VKT_UNIT_FAIL(kUnsupported);
    }));
}

// The camera serial class, after its companion basics.
template <class Sio, class... Options>
void def_serial_members(py::class_<Sio, Options...>& cls) {
    cls.def("open", checked(&Sio::Open));
    cls.def("close", checked(&Sio::Close));
    cls.def("purge", checked(&Sio::Purge));
    cls.def_property_readonly("is_opened", checked(&Sio::IsOpened));
    cls.def_property("timeout", checked(&Sio::GetTimeout), checked(&Sio::SetTimeout));
    // One character in, one character out: code points 0 to 255 are the bytes.
    cls.def("write_byte", checked(&Sio::WriteByte));
    cls.def("read_byte", checked(&Sio::ReadByte));
    cls.def("write", checked(&Sio::Write));
    cls.def("read", checked(serial_read<Sio>()));
    cls.def("set_camera_mode", checked(&Sio::SetCameraMode));
}

}  // namespace vkt_unit
