// Entry point of the `unit` module: the registration order of every Python
// name, the binding error and the translation of library exceptions.
#include <pybind11/gil_safe_call_once.h>

#include <exception>
#include <string>

#include "binding.h"
#include "enum_doc.h"
#include "pybind11_build.h"
#include "unconstructed_repr.h"

namespace vkt_unit {

namespace {

// ---- step 1: EventStatus ---------------------------------------------------------

void init_event_status(py::module_& m) {
    using vkt::DIO::ExEventStatus;
    py::enum_<ExEventStatus> cls(m, "EventStatus");
    cls.value("INT", ExEventStatus::INT)
        .value("DI", ExEventStatus::DI)
        .value("TIMEOUT", ExEventStatus::TIMEOUT)
        .value("ABORT", ExEventStatus::ABORT)
        .export_values();
    vkt_bind::fix_enum_doc(cls);
    vkt_bind::print_unconstructed_plainly(cls);
}

// ---- step 14: unit.Exception and the translator ----------------------------------

// A library text as it is, or nothing for a null pointer.
const char* text_or_empty(const char* text) { return text != nullptr ? text : ""; }

// "Code:<status> Line:<line> Function:<function> File:<file>", as the bytes
// the library gave: its texts are not promised to be UTF-8.
std::string describe(int code, int line, const char* function, const char* file) {
    std::string text = "Code:";
    text += std::to_string(code);
    text += " Line:";
    text += std::to_string(line);
    text += " Function:";
    text += text_or_empty(function);
    text += " File:";
    text += text_or_empty(file);
    return text;
}

// Raises RuntimeError with the description. Bytes that are not UTF-8 are
// shown as backslash escapes, so the error is a RuntimeError whatever the
// library wrote, never a decoding error.
void raise_runtime_error(const std::string& description) {
    PyObject* message = PyUnicode_DecodeUTF8(description.data(),
                                             static_cast<Py_ssize_t>(description.size()),
                                             "backslashreplace");
    if (message == nullptr) return;  // out of memory: that error is already set
    PyErr_SetObject(PyExc_RuntimeError, message);
    Py_DECREF(message);
}

// Turns a library exception into RuntimeError; anything else goes on to the
// next translator.
void translate(std::exception_ptr pending) {
    if (!pending) return;
    try {
        std::rethrow_exception(pending);
    } catch (const vkt::CxException& error) {
        raise_runtime_error(describe(error.Code(), error.Line(), error.Function(), error.File()));
    }
}

}  // namespace

// The module's own error reads exactly like a library failure, but it is set
// here directly: its text is built once, and the one C++ throw that follows
// is the error pybind11 restores as it is, with no translator to rethrow and
// describe a library exception.
void set_binding_error(vkt::ExStatus status, const char* function, const char* file, int line) {
    raise_runtime_error(describe(static_cast<int>(status), line, function, file));
}

namespace {

void init_exception(py::module_& m) {
    // Made once per process. It is deliberately never destroyed: a Python
    // object released by a C++ static destructor after the interpreter has
    // finalised would crash the process at exit.
    PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<py::object> storage;
    storage.call_once_and_store_result([&m]() {
        return py::object(py::exception<vkt::CxException>(m, "Exception", PyExc_Exception));
    });
    m.attr("Exception") = storage.get_stored();
    py::register_exception_translator(&translate);  // in front of those already there
}

}  // namespace

// The whole Python surface, in registration order.
void register_module(py::module_& m) {
    init_event_status(m);      // 1  EventStatus and its values
    init_snr11(m);             // 2  SNR11, SNR11Param
    init_sn2200(m);            // 3  SN2200, SN2200Param
    init_tk560(m);             // 4  TK560, TK560Param
    init_dio_functions(m);     // 5  read, write, write_status
    init_dio_wait_records(m);  // 6  SN2200WaitStatus, TK560WaitStatus
    init_device_functions(m);  // 7  get_device_module ... get_xml_item
    init_ktx21(m);             // 8  KTX21, KTX21Encoder, KTX21Param, KTX21Sio
    init_ktx22(m);             // 9  KTX22, KTX22Encoder, KTX22Param, KTX22Sio
    init_mr250(m);             // 10 MR250, MR250Param
    init_video(m);             // 11 Video
    init_video_functions(m);   // 12 start, stop, abort, wait, is_running
    init_ktx21_records(m);     // 13 TxKTX21CaptureStatus,
    init_ktx22_records(m);     //    TxKTX22CaptureStatus, TxKTX22EncoderStatus,
    init_mr250_records(m);     //    TxMR250CaptureStatus
    init_exception(m);         // 14 Exception, then the translator
}

}  // namespace vkt_unit

PYBIND11_MODULE(unit, m) { vkt_unit::register_module(m); }
