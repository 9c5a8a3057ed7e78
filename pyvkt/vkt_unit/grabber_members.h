// Members that the Camera Link grabber families (KTX21, KTX22) register
// alike: the camera-file factories and files, the single-image and list
// forms of validate and lock, the trigger properties and registers of the
// Param classes, the encoders' by-name access and the whole serial class.
#pragma once

#include <memory>
#include <string>

#include "by_name.h"
#include "image_list.h"
#include "serial_read.h"

namespace vkt_unit {

// The four from_file factories: narrow and wide path, with and without a
// board id and channel. Each result is moved into a new object.
template <class Board, class... Options>
void def_from_file(py::class_<Board, Options...>& cls) {
    cls.def_static("from_file", [](const char* camerafile, int option) {
        return std::make_unique<Board>(Board::FromFile(camerafile, option));
    }, py::arg("camerafile"), py::arg("option") = -1);
    cls.def_static("from_file", [](const wchar_t* camerafile, int option) {
        return std::make_unique<Board>(Board::FromFile(camerafile, option));
    }, py::arg("camerafile"), py::arg("option") = -1);
    cls.def_static("from_file", [](const char* camerafile, int id, int ch, int option) {
        return std::make_unique<Board>(Board::FromFile(camerafile, id, ch, option));
    }, py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1);
    cls.def_static("from_file", [](const wchar_t* camerafile, int id, int ch, int option) {
        return std::make_unique<Board>(Board::FromFile(camerafile, id, ch, option));
    }, py::arg("camerafile"), py::arg("id"), py::arg("ch"), py::arg("option") = -1);
}

// setup (narrow, then wide), save and save_w.
template <class Board, class... Options>
void def_files(py::class_<Board, Options...>& cls) {
    cls.def("setup", checked(static_cast<void (Board::*)(const char*, int)>(&Board::Setup)),
            py::arg("camerafile"), py::arg("option") = -1);
    cls.def("setup", checked(static_cast<void (Board::*)(const wchar_t*, int)>(&Board::Setup)),
            py::arg("camerafile"), py::arg("option") = -1);
    cls.def("save", checked(&Board::Save));
    cls.def("save_w", checked(&Board::SaveW));
}

// The members every Camera Link board opens with: from_file, the
// constructors, equality, dispose, is_valid, open, close, the camera files
// and is_opened.
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
template <class Encoder, class... Options>
void def_encoder_by_name(py::class_<Encoder, Options...>& cls, const ParamTable& table) {
    cls.def("get_param", checked([&table](Encoder& self, const std::string& name) {
        const ValueKind kind = table.find(name, Direction::Get);
        if (kind == ValueKind::None) VKT_UNIT_FAIL(kUnsupported);
        return read_param(self, name, kind);
    }));
    cls.def("set_param", checked([&table](Encoder& self, const std::string& name, py::object value) {
        const ValueKind kind = table.find(name, Direction::Set);
        if (kind == ValueKind::None) VKT_UNIT_FAIL(kUnsupported);
        write_param(self, name, kind, value);
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
