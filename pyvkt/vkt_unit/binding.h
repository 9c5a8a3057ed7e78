// Conventions shared by every family of the `unit` module: the binding error,
// the null-checking adaptor that every member goes through, and the
// registration entry points of the families.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "library_casters.h"
#include "vkt/vkt.h"

namespace vkt_unit {

namespace py = pybind11;

// Status numbers of the module's own errors.
constexpr vkt::ExStatus kUnsupported = vkt::ExStatus::NotSupported;   // 1
constexpr vkt::ExStatus kMissingObject = vkt::ExStatus::MissingObject;  // 2

// Sets the module's own error as the Python error: the RuntimeError that a
// library failure with the same status, function, file and line becomes.
void set_binding_error(vkt::ExStatus status, const char* function, const char* file, int line);

// Raises the binding error from the statement where it is written: the
// error names the enclosing function ("operator()" inside a wrapper lambda),
// the source file and the line. The Python error is set first and the throw
// is written here, in the failing function itself, so that pybind11 gets it
// with as few frames to unwind as possible and restores it as it is.
#define VKT_UNIT_FAIL(status)                                                          \
    (::vkt_unit::set_binding_error((status), __func__, __FILE__, __LINE__),           \
     throw ::pybind11::error_already_set())

// ---- the null-checking adaptor --------------------------------------------------
//
// pybind11 hands a method called unbound with None in place of its object
// (`unit.SNR11.dispose(None)`) a null pointer, and the library casters do the
// same for an object whose __init__ never ran. Every member is therefore
// registered through checked(), which refuses a missing object with the
// binding error status 2 before anything is touched.

namespace detail {

template <class Signature>
struct adaptor;

// A wrapper lambda taking its object by reference first.
template <class Lambda, class R, class Self, class... Args>
struct adaptor<R (Lambda::*)(Self&, Args...) const> {
    template <class Body>
    static auto adapt(Body body) {
        return [body](Self* self, Args... args) -> R {
            if (self == nullptr) VKT_UNIT_FAIL(kMissingObject);
            return body(*self, std::forward<Args>(args)...);
        };
    }
};

}  // namespace detail

// A library member function, called on the object if it exists.
template <class C, class R, class... Args>
auto checked(R (C::*member)(Args...)) {
    return [member](C* self, Args... args) -> R {
        if (self == nullptr) VKT_UNIT_FAIL(kMissingObject);
        return (self->*member)(std::forward<Args>(args)...);
    };
}

template <class C, class R, class... Args>
auto checked(R (C::*member)(Args...) const) {
    return [member](const C* self, Args... args) -> R {
        if (self == nullptr) VKT_UNIT_FAIL(kMissingObject);
        return (self->*member)(std::forward<Args>(args)...);
    };
}

// A wrapper of the module's own, written as a lambda whose first parameter
// is the object by reference.
template <class Body, class = decltype(&Body::operator())>
auto checked(Body body) {
    return detail::adaptor<decltype(&Body::operator())>::adapt(std::move(body));
}

// Registers __eq__ and __ne__ from the library operators. An operand of
// another type makes them decline, so Python's default comparison applies;
// defining them leaves the class unhashable.
template <class C, class... Options>
void def_equality(py::class_<C, Options...>& cls) {
    cls.def("__eq__", checked([](const C& self, const C& other) { return self == other; }),
            py::is_operator());
    cls.def("__ne__", checked([](const C& self, const C& other) { return self != other; }),
            py::is_operator());
}

// dispose() and is_valid, which every board carries.
template <class Board, class... Options>
void def_dispose_and_validity(py::class_<Board, Options...>& cls) {
    cls.def("dispose", checked(&Board::Dispose));
    cls.def_property_readonly("is_valid", checked(&Board::IsValid));
}

// ---- companions -----------------------------------------------------------------
//
// A companion (Param, Encoder, Sio) works on a board through a library-side
// pointer. Boards are accepted as their own class or None (a null pointer);
// any other object raises pybind11's cast error and nothing is called. The
// board's Python object is not kept alive by the companion.

template <class Board>
Board* board_pointer(py::handle board) {
    return board.cast<Board*>();
}

enum class Copyable { No, Yes };

// from_, __init__() (and __init__(other) where the class is copyable),
// __eq__/__ne__, is_valid and controller, in this order.
template <class Board, class Companion, class... Options>
void def_companion_basics(py::class_<Companion, Options...>& cls, Copyable copyable) {
    cls.def_static("from_", [](py::handle board) {
        return std::make_unique<Companion>(Companion::From(board_pointer<Board>(board)));
    });
    cls.def(py::init<>());
    if (copyable == Copyable::Yes) cls.def(py::init<const Companion&>());
    def_equality(cls);
    cls.def_property_readonly("is_valid", checked(&Companion::IsValid));
    // The board comes back as the Python object that already wraps it, or as
    // a new wrapper that keeps the companion alive and does not own the board.
    cls.def_property(
        "controller", checked([](const Companion& self) { return self.Controller(); }),
        checked([](Companion& self, py::handle board) {
            self.Controller(board_pointer<Board>(board));
        }));
}

// ---- registration steps of the families -------------------------------------------
// Each family file defines its init_<family>() functions; vkt_unit_wrap.cpp
// calls them in the module's registration order.

// digital_io.cpp
void init_snr11(py::module_& m);              // SNR11, SNR11Param
void init_sn2200(py::module_& m);             // SN2200, SN2200Param
void init_tk560(py::module_& m);              // TK560, TK560Param
void init_dio_wait_records(py::module_& m);   // SN2200WaitStatus, TK560WaitStatus

// device_functions.cpp
void init_dio_functions(py::module_& m);      // read, write, write_status
void init_device_functions(py::module_& m);   // get_device_module ... get_xml_item
void init_video_functions(py::module_& m);    // start, stop, abort, wait, is_running

// ktx21.cpp
void init_ktx21(py::module_& m);           // KTX21, KTX21Encoder, KTX21Param, KTX21Sio
void init_ktx21_records(py::module_& m);   // TxKTX21CaptureStatus
// The KTX21 name table, also used by the generic video board.
py::object ktx21_get_param(vkt::Video::CxKTX21Param& param, std::string_view name);
void ktx21_set_param(vkt::Video::CxKTX21Param& param, std::string_view name, py::handle value);

// ktx22.cpp
void init_ktx22(py::module_& m);           // KTX22, KTX22Encoder, KTX22Param, KTX22Sio
void init_ktx22_records(py::module_& m);   // TxKTX22CaptureStatus, TxKTX22EncoderStatus
// The KTX22 name tables, also used by the generic video board.
py::object ktx22_get_param(vkt::Video::CxKTX22Param& param, std::string_view name);
void ktx22_set_param(vkt::Video::CxKTX22Param& param, std::string_view name, py::handle value);
// mr250.cpp
void init_mr250(py::module_& m);           // MR250, MR250Param
void init_mr250_records(py::module_& m);   // TxMR250CaptureStatus
// The MR250 name table, also used by the generic video board.
py::object mr250_get_param(vkt::Video::CxMR250Param& param, std::string_view name);
void mr250_set_param(vkt::Video::CxMR250Param& param, std::string_view name, py::handle value);

// video.cpp
void init_video(py::module_& m);           // Video

}  // namespace vkt_unit
