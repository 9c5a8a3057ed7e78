// The `vktsim` module: Python types for the library's image class, interfaces
// and enumerations, and the control panel of the simulated library (journal,
// scripts, reset, object identities).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/control.h"
#include "library_casters.h"
#include "core/sim_objects.h"
#include "enum_doc.h"
#include "pybind11_build.h"
#include "unconstructed_repr.h"
#include "vkt/vkt.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// ---- images -------------------------------------------------------------------

std::unique_ptr<vkt::CxImage> make_image(long long width, long long height, long long channels,
                                         long long depth) {
    if (width < 1 || height < 1) throw py::value_error("width and height must be at least 1");
    if (channels < 1 || channels > 4) throw py::value_error("channels must be 1, 2, 3 or 4");
    if (depth != 8 && depth != 16) throw py::value_error("depth must be 8 or 16 bits");
    const long long bytes_per_pixel = channels * (depth / 8);
    const long long limit = static_cast<long long>(vkt::CxImage::kMaxBytes);
    if (width > limit / bytes_per_pixel || height > limit / (width * bytes_per_pixel)) {
        throw py::value_error("image larger than 1 GiB");
    }
    return std::make_unique<vkt::CxImage>(static_cast<int>(width), static_cast<int>(height),
                                          static_cast<int>(channels), static_cast<int>(depth));
}

py::buffer_info image_buffer(vkt::CxImage& image) {
    const auto sample = static_cast<py::ssize_t>(image.BytesPerSample());
    const auto pitch = static_cast<py::ssize_t>(image.Pitch());
    const auto channels = static_cast<py::ssize_t>(image.Channels());
    const std::string format = image.Depth() == 16 ? py::format_descriptor<std::uint16_t>::format()
                                                   : py::format_descriptor<std::uint8_t>::format();
    std::vector<py::ssize_t> shape{image.Height(), image.Width()};
    std::vector<py::ssize_t> strides{pitch, sample * channels};
    if (channels > 1) {
        shape.push_back(channels);
        strides.push_back(sample);
    }
    return py::buffer_info(image.Address(), sample, format, static_cast<py::ssize_t>(shape.size()),
                           shape, strides);
}

// A property of an image that refuses a missing one (None, or an Image whose
// __init__ never ran) instead of reading through a null pointer.
template <class R>
auto of_image(R (vkt::CxImage::*member)() const) {
    return [member](const vkt::CxImage* image) {
        if (image == nullptr) throw py::value_error("the object holds no library object");
        return (image->*member)();
    };
}

void register_image(py::module_& m) {
    py::class_<vkt::CxImage>(m, "Image", py::buffer_protocol())
        .def(py::init(&make_image), "width"_a, "height"_a, "channels"_a = 1, "depth"_a = 8)
        .def_property_readonly("width", of_image(&vkt::CxImage::Width))
        .def_property_readonly("height", of_image(&vkt::CxImage::Height))
        .def_property_readonly("channels", of_image(&vkt::CxImage::Channels))
        .def_property_readonly("depth", of_image(&vkt::CxImage::Depth))
        .def_buffer(&image_buffer)
        // A missing image is refused here, by the member itself: a refused
        // conversion would print the object again, and so on.
        .def("__repr__", [](const vkt::CxImage* image) {
            if (image == nullptr) throw py::value_error("the object holds no library object");
            return "vktsim.Image(" + std::to_string(image->Width()) + ", " +
                   std::to_string(image->Height()) + ", channels=" +
                   std::to_string(image->Channels()) + ", depth=" +
                   std::to_string(image->Depth()) + ")";
        });
}

// ---- interfaces and enumerations --------------------------------------------------

// Interfaces have no constructor: their objects are views of library objects
// that others own (as_interface), or the simulated objects below.
void register_interfaces(py::module_& m) {
    py::class_<vkt::IxModule>(m, "IxModule");
    py::class_<vkt::IxDeviceModule>(m, "IxDeviceModule");
    py::class_<vkt::IxRegister>(m, "IxRegister");
    py::class_<vkt::Video::IxVideoControl>(m, "IxVideoControl");
    py::class_<vkt::DIO::IxDIO>(m, "IxDIO");
    py::class_<vkt::DIO::IxIndexedDIO>(m, "IxIndexedDIO");
}

void register_enumerations(py::module_& m) {
    using vkt::ExDevice;
    py::enum_<ExDevice> devices(m, "ExDevice");
    devices.value("Unknown", ExDevice::Unknown)
        .value("KTX21", ExDevice::KTX21)
        .value("MR250", ExDevice::MR250)
        .value("KTX22", ExDevice::KTX22)
        .value("SNR11", ExDevice::SNR11)
        .value("SN2200", ExDevice::SN2200)
        .value("TK560", ExDevice::TK560);
    vkt_bind::fix_enum_doc(devices);
    vkt_bind::print_unconstructed_plainly(devices);

    using vkt::ExStatus;
    py::enum_<ExStatus> statuses(m, "ExStatus");
    statuses.value("Success", ExStatus::Success)
        .value("NotSupported", ExStatus::NotSupported)
        .value("MissingObject", ExStatus::MissingObject)
        .value("InvalidArgument", ExStatus::InvalidArgument)
        .value("NotOpened", ExStatus::NotOpened)
        .value("DeviceBusy", ExStatus::DeviceBusy)
        .value("NoDevice", ExStatus::NoDevice)
        .value("Timeout", ExStatus::Timeout)
        .value("Aborted", ExStatus::Aborted)
        .value("FileError", ExStatus::FileError)
        .value("FormatError", ExStatus::FormatError)
        .value("WrongKind", ExStatus::WrongKind)
        .value("ReadOnly", ExStatus::ReadOnly)
        .value("NotFound", ExStatus::NotFound)
        .value("OutOfResources", ExStatus::OutOfResources)
        .value("NotRunning", ExStatus::NotRunning);
    vkt_bind::fix_enum_doc(statuses);
    vkt_bind::print_unconstructed_plainly(statuses);
}

// ---- library objects behind Python objects -------------------------------------------

template <class Interface>
bool is_interface(const std::type_info& type) {
    return type == typeid(Interface);
}

// The complete library object an interface view points into.
template <class Interface>
const void* complete_object(void* view) {
    return dynamic_cast<const void*>(static_cast<Interface*>(view));
}

// Address of the complete library object that `obj` wraps. Objects of other
// kinds are refused with a Python error: nothing behind them is read.
const void* library_object(py::handle obj) {
    const auto& types = py::detail::all_type_info(Py_TYPE(obj.ptr()));
    if (types.empty()) {
        throw py::type_error("an object of type " + std::string(Py_TYPE(obj.ptr())->tp_name) +
                             " does not wrap a library object");
    }
    const py::detail::type_info* type = types.front();
    auto* instance = reinterpret_cast<py::detail::instance*>(obj.ptr());
    const auto held = instance->get_value_and_holder(type, false);
    void* value = held.value_ptr();
    // Unregistered: its __init__ never ran, and what is there is no object.
    if (value == nullptr || !held.instance_registered()) {
        throw py::value_error("the object holds no library object");
    }

    const std::type_info& cpp = *type->cpptype;
    const void* address = value;
    if (is_interface<vkt::IxModule>(cpp)) address = complete_object<vkt::IxModule>(value);
    if (is_interface<vkt::IxDeviceModule>(cpp)) address = complete_object<vkt::IxDeviceModule>(value);
    if (is_interface<vkt::IxRegister>(cpp)) address = complete_object<vkt::IxRegister>(value);
    if (is_interface<vkt::Video::IxVideoControl>(cpp)) {
        address = complete_object<vkt::Video::IxVideoControl>(value);
    }
    if (is_interface<vkt::DIO::IxDIO>(cpp)) address = complete_object<vkt::DIO::IxDIO>(value);
    if (is_interface<vkt::DIO::IxIndexedDIO>(cpp)) {
        address = complete_object<vkt::DIO::IxIndexedDIO>(value);
    }
    if (!vkt::sim::ident_of(address)) {
        throw py::value_error("no library object of the simulated library is behind this " +
                              std::string(Py_TYPE(obj.ptr())->tp_name));
    }
    return address;
}

std::uint64_t ident(py::handle obj) { return *vkt::sim::ident_of(library_object(obj)); }

template <class Interface>
py::object view_as(py::handle obj, const void* address) {
    void* view = vkt::sim::interface_of(address, typeid(Interface));
    if (view == nullptr) return py::none();
    // Cast with the interface's own type: the polymorphic lookup would
    // present the board's class instead of a view.
    const auto* type = py::detail::get_type_info(typeid(Interface));
    return py::reinterpret_steal<py::object>(py::detail::type_caster_generic::cast(
        view, py::return_value_policy::reference_internal, obj, type, nullptr, nullptr));
}

py::object as_interface(py::handle obj, py::handle interface) {
    const void* address = library_object(obj);
    py::object view;
    if (interface.is(py::type::of<vkt::IxModule>())) view = view_as<vkt::IxModule>(obj, address);
    else if (interface.is(py::type::of<vkt::IxDeviceModule>())) {
        view = view_as<vkt::IxDeviceModule>(obj, address);
    } else if (interface.is(py::type::of<vkt::IxRegister>())) {
        view = view_as<vkt::IxRegister>(obj, address);
    } else if (interface.is(py::type::of<vkt::Video::IxVideoControl>())) {
        view = view_as<vkt::Video::IxVideoControl>(obj, address);
    } else if (interface.is(py::type::of<vkt::DIO::IxDIO>())) {
        view = view_as<vkt::DIO::IxDIO>(obj, address);
    } else if (interface.is(py::type::of<vkt::DIO::IxIndexedDIO>())) {
        view = view_as<vkt::DIO::IxIndexedDIO>(obj, address);
    } else {
        throw py::type_error("interface must be one of the vktsim interface classes");
    }
    if (view.is_none()) {
        throw py::type_error("this " + std::string(Py_TYPE(obj.ptr())->tp_name) +
                             " does not implement " +
                             py::str(interface.attr("__name__")).cast<std::string>());
    }
    return view;
}

// ---- objects with one interface each, and library strings ------------------------------

vkt::IxModule* module_of(py::handle obj) {
    if (obj.is_none()) return nullptr;
    void* module = vkt::sim::interface_of(library_object(obj), typeid(vkt::IxModule));
    if (module == nullptr) throw py::type_error("that object is not a library module");
    return static_cast<vkt::IxModule*>(module);
}

std::unique_ptr<vkt::CxStringA> make_string(const py::bytes& content) {
    auto text = std::make_unique<vkt::CxStringA>();
    const std::string bytes = content;
    text->Assign(bytes.data(), static_cast<int>(bytes.size()));
    return text;
}

void register_simulated_objects(py::module_& m) {
    using namespace vkt::sim;
    py::class_<SimDIO, vkt::DIO::IxDIO>(m, "DIO")
        .def(py::init<>())
        .def_readwrite("inputs", &SimDIO::inputs)
        .def_readonly("outputs", &SimDIO::outputs);
    py::class_<SimIndexedDIO, vkt::DIO::IxIndexedDIO>(m, "IndexedDIO")
        .def(py::init<>())
        .def_readwrite("inputs", &SimIndexedDIO::inputs)
        .def_readonly("outputs", &SimIndexedDIO::outputs);
    py::class_<SimRegister, vkt::IxRegister>(m, "Register")
        .def(py::init<>())
        .def("value", [](const SimRegister& reg, unsigned int address) {
            if (address >= 256) throw py::index_error("registers are 0 to 255");
            return reg.registers[address];
        });
    py::class_<SimModule, vkt::IxModule>(m, "Module");
    py::class_<SimDeviceModule, vkt::IxDeviceModule>(m, "DeviceModule")
        .def(py::init([](py::handle module) { return std::make_unique<SimDeviceModule>(module_of(module)); }),
             "module"_a = py::none());
    py::class_<SimVideoControl, vkt::Video::IxVideoControl>(m, "VideoControl").def(py::init<>());

    py::class_<vkt::CxStringA>(m, "String")
        .def(py::init(&make_string), "content"_a = py::bytes())
        .def_property_readonly("value", [](const vkt::CxStringA& text) {
            return py::bytes(text.Address(), static_cast<std::size_t>(text.Length()));
        });
}

// ---- journal and scripts --------------------------------------------------------------

py::object to_python(const vkt::sim::Value& value) {
    using Kind = vkt::sim::Value::Kind;
    switch (value.kind) {
        case Kind::None: return py::none();
        case Kind::Bool: return py::bool_(value.integer != 0);
        case Kind::Int: return py::int_(value.integer);
        case Kind::Bytes: return py::bytes(value.bytes);
        case Kind::Text: return py::cast(value.text);
        case Kind::List: {
            py::list items;
            for (const auto& item : value.list) items.append(to_python(item));
            return std::move(items);
        }
    }
    return py::none();
}

vkt::sim::Value from_python(py::handle obj) {
    vkt::sim::Value value;
    using Kind = vkt::sim::Value::Kind;
    if (obj.is_none()) return value;
    if (py::isinstance<py::bool_>(obj)) {
        value.kind = Kind::Bool;
        value.integer = obj.cast<bool>() ? 1 : 0;
    } else if (py::isinstance<py::int_>(obj)) {
        value.kind = Kind::Int;
        value.integer = obj.cast<long long>();
    } else if (py::isinstance<py::bytes>(obj)) {
        value.kind = Kind::Bytes;
        value.bytes = obj.cast<std::string>();
    } else if (py::isinstance<py::tuple>(obj)) {
        value.kind = Kind::List;
        for (py::handle item : obj) value.list.push_back(from_python(item));
    } else {
        throw py::type_error("a scripted value is None, an int, bytes or a tuple of those, not " +
                             std::string(Py_TYPE(obj.ptr())->tp_name));
    }
    return value;
}

py::list journal() {
    py::list entries;
    for (const auto& entry : vkt::sim::journal()) {
        py::tuple args(entry.args.size());
        for (std::size_t i = 0; i < entry.args.size(); ++i) args[i] = to_python(entry.args[i]);
        entries.append(py::make_tuple(entry.operation, args));
    }
    return entries;
}

// Marks "value not given", so that value=None can script a void answer.
struct Unset {};

// The status a scripted failure throws: an ExStatus member or its number,
// which must be one the library defines (a test scripting a status the
// library never throws would prove nothing about the module).
int scripted_status(py::handle raises) {
    if (py::isinstance<vkt::ExStatus>(raises)) return static_cast<int>(raises.cast<vkt::ExStatus>());
    if (!py::isinstance<py::int_>(raises) || py::isinstance<py::bool_>(raises)) {
        throw py::type_error("raises= takes a status: an ExStatus member or its number");
    }
    constexpr long long first = static_cast<long long>(vkt::ExStatus::Success);
    constexpr long long last = static_cast<long long>(vkt::ExStatus::NotRunning);
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(raises.ptr(), &overflow);
    if (overflow != 0 || number < first || number > last) {
        throw py::value_error("raises= takes a status the library defines, " + std::to_string(first) +
                              " to " + std::to_string(last) + ", not " +
                              py::str(raises).cast<std::string>());
    }
    return static_cast<int>(number);
}

void script(const std::string& operation, py::object value, py::object raises) {
    const bool has_value = !py::isinstance<Unset>(value);
    if (!raises.is_none() && has_value) {
        throw py::value_error("script takes value= or raises=, not both");
    }
    try {
        if (!raises.is_none()) {
            vkt::sim::script_raise(operation, scripted_status(raises));
        } else {
            vkt::sim::script_value(operation, has_value ? from_python(value) : vkt::sim::Value{});
        }
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
}

// ---- digital-I/O wires ------------------------------------------------------------------

// Runs a control call, turning its refusal of a bad value into ValueError
// (objects of the wrong kind are WrongObject, turned into TypeError by
// on_grabber, which knows the Python object given).
template <class Call>
auto refusing_bad_input(Call call) {
    try {
        return call();
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
}

void register_dio_wires(py::module_& m) {
    m.def("set_inputs", [](const std::string& model, int id, unsigned int inputs) {
        refusing_bad_input([&] { vkt::sim::dio_set_inputs(model, id, inputs); });
    }, "model"_a, "id"_a, "inputs"_a);
    m.def("set_interrupt", [](const std::string& model, int id, bool level) {
        refusing_bad_input([&] { vkt::sim::dio_set_interrupt(model, id, level); });
    }, "model"_a, "id"_a, "level"_a);
    m.def("outputs", [](const std::string& model, int id) {
        return refusing_bad_input([&] { return vkt::sim::dio_outputs(model, id); });
    }, "model"_a, "id"_a);
    m.def("schedule_inputs",
          [](const std::string& model, int id,
             const std::vector<std::tuple<int, unsigned int, int>>& changes) {
              refusing_bad_input([&] { vkt::sim::dio_schedule(model, id, changes); });
          },
          "model"_a, "id"_a, "changes"_a);
}

// ---- simulated grabbers ---------------------------------------------------------------------

// The library object of a board given to a grabber control; null for an
// object that wraps none, which the simulated library refuses like any other
// object of the wrong kind.
const void* control_target(py::handle board) {
    if (py::detail::all_type_info(Py_TYPE(board.ptr())).empty()) return nullptr;
    return library_object(board);
}

// Runs a grabber control on the board behind `board`: an object of the wrong
// kind is a TypeError naming what was expected and given, a bad value or a
// board that is not open a ValueError.
template <class Control>
auto on_grabber(py::handle board, Control control) {
    const void* target = control_target(board);
    try {
        return refusing_bad_input([&] { return control(target); });
    } catch (const vkt::sim::WrongObject& error) {
        const std::string given =
            error.given.empty() ? std::string(Py_TYPE(board.ptr())->tp_name) : error.given;
        throw py::type_error("expected " + error.expected + ", got " + given);
    }
}

// ---- serial responders ------------------------------------------------------------------

// A Python object kept by the library: released with the interpreter lock
// held, and never after the interpreter has gone (a board freed at exit).
std::shared_ptr<py::object> kept(py::object obj) {
    return std::shared_ptr<py::object>(new py::object(std::move(obj)), [](py::object* held) {
        if (!Py_IsInitialized()) return;   // the interpreter took its objects with it
        py::gil_scoped_acquire acquire;
        delete held;
    });
}

std::string type_name(py::handle obj) { return Py_TYPE(obj.ptr())->tp_name; }

// A reply as the library takes it: bytes, or None for no reply.
std::optional<std::string> reply_of(py::handle reply, const char* what) {
    if (reply.is_none()) return std::nullopt;
    if (!py::isinstance<py::bytes>(reply)) {
        throw py::type_error(std::string(what) + " is a " + type_name(reply) + "; expected bytes or None");
    }
    return reply.cast<std::string>();
}

// A mapping is copied as it is now: request bytes to reply bytes (or None).
vkt::sim::SerialResponder mapping_responder(py::handle mapping) {
    std::map<std::string, std::optional<std::string>> replies;
    for (py::handle key : py::iter(mapping)) {
        if (!py::isinstance<py::bytes>(key)) {
            throw py::type_error("a request is a " + type_name(key) + "; expected bytes");
        }
        replies[key.cast<std::string>()] = reply_of(mapping[key], "a reply");
    }
    return [replies = std::move(replies)](const std::string& request) -> std::optional<std::string> {
        const auto found = replies.find(request);
        return found == replies.end() ? std::nullopt : found->second;
    };
}

// A callable is called in the thread of the library call that completed the
// request, which holds the interpreter lock; what it raises reaches that
// call unchanged.
vkt::sim::SerialResponder callable_responder(py::handle callable) {
    return [held = kept(py::reinterpret_borrow<py::object>(callable))](const std::string& request) {
        py::gil_scoped_acquire acquire;
        const py::object reply = (*held)(py::bytes(request));
        return reply_of(reply, "the responder's reply");
    };
}

void on_serial(py::handle board, py::handle responder, int delay_ms) {
    vkt::sim::SerialResponder answer;
    if (PyCallable_Check(responder.ptr())) {
        answer = callable_responder(responder);
    } else if (py::isinstance(responder, py::module_::import("collections.abc").attr("Mapping"))) {
        answer = mapping_responder(responder);
    } else if (!responder.is_none()) {
        throw py::type_error("responder is a " + type_name(responder) +
                             "; expected a mapping of requests to replies, a callable, or None");
    }
    on_grabber(board, [&](const void* target) {
        vkt::sim::grabber_on_serial(target, std::move(answer), delay_ms);
    });
}

void register_grabber_controls(py::module_& m) {
    using namespace vkt::sim;
    m.def("feed_serial", [](py::handle board, const py::bytes& data) {
        on_grabber(board, [&](const void* target) { grabber_feed_serial(target, data); });
    }, "board"_a, "data"_a);
    m.def("serial_received", [](py::handle board) {
        return py::bytes(on_grabber(board, &grabber_serial_received));
    }, "board"_a);
    m.def("set_encoder_speed", [](py::handle board, long long pulses_per_frame) {
        on_grabber(board, [&](const void* target) {
            grabber_set_encoder_speed(target, pulses_per_frame);
        });
    }, "board"_a, "pulses_per_frame"_a);
    m.def("set_encoder_steps", [](py::handle board, std::optional<std::vector<long long>> steps) {
        on_grabber(board, [&](const void* target) {
            grabber_set_encoder_steps(target, steps.value_or(std::vector<long long>{}));
        });
    }, "board"_a, "steps"_a);
    m.def("set_encoder_rate", [](py::handle board, double pulses_per_ms) {
        on_grabber(board, [&](const void* target) { grabber_set_encoder_rate(target, pulses_per_ms); });
    }, "board"_a, "pulses_per_ms"_a);
    m.def("on_serial", &on_serial, "board"_a, "responder"_a, "delay_ms"_a = 0);
    m.def("move_encoder", [](py::handle board, long long pulses) {
        on_grabber(board, [&](const void* target) { grabber_move_encoder(target, pulses); });
    }, "board"_a, "pulses"_a);
    m.def("raise_event", [](py::handle board, int event, int delay_ms) {
        on_grabber(board, [&](const void* target) {
            grabber_schedule_event(target, event, delay_ms, false);
        });
    }, "board"_a, "event"_a, "delay_ms"_a = 0);
    m.def("cancel_event", [](py::handle board, int event, int delay_ms) {
        on_grabber(board, [&](const void* target) {
            grabber_schedule_event(target, event, delay_ms, true);
        });
    }, "board"_a, "event"_a, "delay_ms"_a = 0);
    m.def("set_signal", [](py::handle board, bool connected) {
        on_grabber(board, [&](const void* target) { grabber_set_signal(target, connected); });
    }, "board"_a, "connected"_a);
}

// ---- wires between boards ----------------------------------------------------------------

const char* const kWireTargets =
    "a KTX21, KTX22 or MR250 board, a Video driving one, or an SNR11, SN2200 or TK560 board";

// The digital-I/O board object a wire starts from.
const void* wire_source(py::handle board) {
    const void* source = control_target(board);
    if (!vkt::sim::dio_is_board(source)) {
        throw py::type_error("board is a " + type_name(board) +
                             "; expected an SNR11, SN2200 or TK560 board");
    }
    return source;
}

void wire(py::handle board, long long line, py::handle target,
          std::optional<long long> target_line) {
    const void* source = wire_source(board);
    const void* end = control_target(target);
    if (!vkt::sim::dio_is_board(end) && !vkt::sim::grabber_takes_triggers(end)) {
        throw py::type_error("target is a " + type_name(target) + "; expected " + kWireTargets);
    }
    on_grabber(target, [&](const void*) { vkt::sim::dio_wire(source, line, end, target_line); });
}

void register_wires(py::module_& m) {
    m.def("wire", &wire, "board"_a, "line"_a, "target"_a, "target_line"_a = py::none());
    m.def("unwire", [](py::handle board, long long line) {
        const void* source = wire_source(board);
        refusing_bad_input([&] { vkt::sim::dio_unwire(source, line); });
    }, "board"_a, "line"_a);
}

// ---- the clock, and frames supplied by the user ------------------------------------------

void register_clock(py::module_& m) {
    m.def("set_clock", [](const std::string& kind) {
        refusing_bad_input([&] { vkt::sim::set_clock(kind); });
    }, "kind"_a);
    m.def("get_clock", [] { return std::string(vkt::sim::clock_kind()); });
    m.def("now_ms", &vkt::sim::now_ms);
    m.def("advance", [](double ms) {
        refusing_bad_input([&] { vkt::sim::advance(ms); });
    }, "ms"_a);
    // The body is plain Python on top of advance() and now_ms(), beside
    // this module, imported at the first call.
    m.def("patch_time", [] { return py::module_::import("vktsim_time").attr("patch_time")(); });
}


// Whether a buffer's samples are unsigned integers of `bytes` bytes in this
// machine's order.
bool unsigned_samples(const py::buffer_info& info, py::ssize_t bytes) {
    std::string format = info.format;
    if (!format.empty() && (format[0] == '@' || format[0] == '=')) format.erase(0, 1);
    const std::string native = bytes == 1 ? "B" : "H";
    const bool ordered = bytes == 1 || (format.size() == 2 && format[0] == (PY_BIG_ENDIAN ? '>' : '<'));
    return info.itemsize == bytes && (format == native || (ordered && format.back() == native[0]));
}

std::string shape_text(py::ssize_t height, py::ssize_t width) {
    return "(" + std::to_string(height) + ", " + std::to_string(width) + ")";
}

// Frame `index` as the images hold it: rows of samples packed, whatever the
// strides of the object it comes from.
std::vector<unsigned char> packed_frame(py::handle obj, std::size_t index,
                                        const vkt::sim::FrameShape& shape) {
    const std::string name = "frame " + std::to_string(index);
    if (!PyObject_CheckBuffer(obj.ptr())) {
        throw py::type_error(name + " is a " + type_name(obj) +
                             "; expected a 2-D array or another object with the buffer protocol");
    }
    const py::buffer_info info = py::reinterpret_borrow<py::buffer>(obj).request();
    const std::string expected = shape_text(shape.height, shape.width);
    if (info.ndim != 2) {
        throw py::value_error(name + " has " + std::to_string(info.ndim) +
                              " dimensions; expected 2, (Height, Width) = " + expected);
    }
    const py::ssize_t sample = shape.depth / 8;
    if (!unsigned_samples(info, sample)) {
        throw py::type_error(name + " holds samples of format '" + info.format + "' (" +
                             std::to_string(info.itemsize) + " bytes each); expected " +
                             (sample == 1 ? "uint8" : "uint16") + " for a " +
                             std::to_string(shape.depth) + "-bit camera");
    }
    if (info.shape[0] != shape.height || info.shape[1] != shape.width) {
        throw py::value_error(name + " has the shape " + shape_text(info.shape[0], info.shape[1]) +
                              "; expected (Height, Width) = " + expected);
    }
    const auto row_bytes = static_cast<std::size_t>(shape.width * sample);
    std::vector<unsigned char> packed(row_bytes * static_cast<std::size_t>(shape.height));
    const auto* base = static_cast<const unsigned char*>(info.ptr);
    for (py::ssize_t y = 0; y < shape.height; ++y) {
        const unsigned char* row = base + y * info.strides[0];
        unsigned char* out = packed.data() + static_cast<std::size_t>(y) * row_bytes;
        if (info.strides[1] == sample) {
            std::memcpy(out, row, row_bytes);
            continue;
        }
        for (py::ssize_t x = 0; x < shape.width; ++x) {
            std::memcpy(out + x * sample, row + x * info.strides[1], static_cast<std::size_t>(sample));
        }
    }
    return packed;
}

void set_frames(py::handle board, py::handle frames) {
    const vkt::sim::FrameShape shape = on_grabber(board, &vkt::sim::grabber_frame_shape);
    std::vector<std::vector<unsigned char>> packed;
    if (!frames.is_none()) {
        if (!PySequence_Check(frames.ptr()) || py::isinstance<py::str>(frames)) {
            throw py::type_error("frames is a " + type_name(frames) +
                                 "; expected a sequence of 2-D arrays, or None");
        }
        const py::sequence items = py::reinterpret_borrow<py::sequence>(frames);
        if (items.size() == 0) throw py::value_error("frames is empty; expected at least one frame, or None");
        for (std::size_t i = 0; i < items.size(); ++i) packed.push_back(packed_frame(items[i], i, shape));
    }
    on_grabber(board, [&](const void* target) {
        vkt::sim::grabber_set_frames(target, shape, std::move(packed));
    });
}

void register_user_frames(py::module_& m) {
    m.def("set_frames", &set_frames, "board"_a, "frames"_a);
    // Replaying is plain work on top of the controls above, written in
    // Python beside this module and imported when first needed.
    m.def("replay", [](py::object board, py::object recording) {
        py::module_::import("vktsim_replay").attr("replay")(board, recording);
    }, "board"_a, "recording"_a);
}

// Identity to class name of every live library object, oldest first.
py::dict live_idents() {
    py::dict live;
    for (const vkt::sim::LiveObject& object : vkt::sim::live_idents()) {
        live[py::int_(object.ident)] = py::str(object.kind);
    }
    return live;
}

void register_control(py::module_& m) {
    py::class_<Unset>(m, "_Unset");
    m.def("journal", &journal);
    m.def("clear_journal", &vkt::sim::clear_journal);
    m.def("set_journal", &vkt::sim::set_journal, py::arg("recording").noconvert());
    m.def("operations", &vkt::sim::operations);
    m.def("script", &script, "operation"_a, "value"_a = Unset{}, "raises"_a = py::none());
    m.def("reset", [](const std::string& clock) {
        refusing_bad_input([&] { vkt::sim::reset(clock); });
    }, "clock"_a = "real");
    m.def("ident", &ident, "obj"_a);
    m.def("live_objects", &vkt::sim::live_objects);
    m.def("live_idents", &live_idents);
    m.def("as_interface", &as_interface, "obj"_a, "interface"_a);
    m.def("raise_library_error",
          [](int status, const std::string& function, const std::string& file, int line) {
              vkt::sim::raise_exception(status, function.c_str(), file.c_str(), line);
          },
          "status"_a, "function"_a, "file"_a, "line"_a);
}

}  // namespace

PYBIND11_MODULE(vktsim, m) {
    m.doc() = "Python side of the simulated device library: images, interfaces, and the "
              "journal and scripts that let tests see and steer every library call.";
    register_image(m);
    register_interfaces(m);
    register_enumerations(m);
    register_simulated_objects(m);
    register_control(m);
    register_dio_wires(m);
    register_grabber_controls(m);
    register_wires(m);
    register_clock(m);
    register_user_frames(m);
}
