// Members that the grabber boards (KTX21, MR250) share: image buffers,
// capture control and the capture-status record. Each family registers them
// in its own order around its own members.
#pragma once

#include "image_list.h"

namespace vkt_unit {

// validate and lock, each for one image and for a list of images, then unlock.
template <class Board, class... Options>
void def_images(py::class_<Board, Options...>& cls) {
    cls.def("validate", checked(static_cast<void (Board::*)(vkt::CxImage&)>(&Board::Validate)));
    cls.def("validate", checked([](Board& self, const py::list& images) {
        with_image_array(images, [&](vkt::CxImage** array, int count) { self.Validate(array, count); });
    }));
    cls.def("lock", checked(static_cast<void (Board::*)(const vkt::CxImage&, int)>(&Board::Lock)),
            py::arg("image"), py::arg("option") = 0);
    cls.def("lock", checked([](Board& self, const py::list& images, int option) {
        with_image_array(images, [&](vkt::CxImage** array, int count) {
            self.Lock(array, count, option);
        });
    }), py::arg("images"), py::arg("option") = 0);
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

// A capture-status record: its six fields read-only, the default and the
// six-value constructors, __eq__ and __ne__.
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

}  // namespace vkt_unit
