// How the Python modules of the device library (`unit` and `vktsim`) convert
// Python objects to the library's types. Every translation unit of both
// modules includes this header before it binds anything, so that each type
// has one caster throughout a module.
#pragma once

#include <pybind11/pybind11.h>

#include <limits>
#include <type_traits>

#include "vkt/vkt.h"

namespace vkt_bind {

namespace py = pybind11;

template <class T, class... Types>
constexpr bool is_one_of = (std::is_same_v<T, Types> || ...);

// The library's own object types: boards and companions (allocated through
// CxModule), everything that implements one of its interfaces (the
// simulator's single-interface objects included), images, strings, status
// records and enumerations.
template <class T>
constexpr bool is_library_type =
    std::is_base_of_v<vkt::CxModule, T> || std::is_base_of_v<vkt::IxModule, T> ||
    std::is_base_of_v<vkt::IxDeviceModule, T> || std::is_base_of_v<vkt::IxRegister, T> ||
    std::is_base_of_v<vkt::Video::IxVideoControl, T> || std::is_base_of_v<vkt::DIO::IxDIO, T> ||
    std::is_base_of_v<vkt::DIO::IxIndexedDIO, T> ||
    is_one_of<T, vkt::CxImage, vkt::CxStringA, vkt::DIO::TxSN2200WaitStatus,
              vkt::DIO::TxTK560WaitStatus, vkt::Video::TxKTX21CaptureStatus,
              vkt::Video::TxKTX22CaptureStatus, vkt::Video::TxKTX22EncoderStatus,
              vkt::Video::TxMR250CaptureStatus, vkt::ExStatus, vkt::ExDevice,
              vkt::DIO::ExEventStatus>;

// Whether `src` is an instance of `type` (or of a Python subclass of it)
// whose __init__ never ran. Such an object (`Cls.__new__(Cls)`) has no
// library object: pybind11 would hand out freshly allocated, never
// constructed memory in its place. Every constructor and every non-owning
// wrapper registers its instance, so an unregistered one is unconstructed.
inline bool is_unconstructed(py::handle src, const py::detail::type_info* type) {
    if (type == nullptr || !PyObject_TypeCheck(src.ptr(), type->type)) return false;
    auto* instance = reinterpret_cast<py::detail::instance*>(src.ptr());
    if (instance->simple_layout) return !instance->simple_instance_registered;
    for (const auto& value_and_holder : py::detail::values_and_holders(instance)) {
        if (!value_and_holder.instance_registered()) return true;
    }
    return false;
}

// The caster of every library type: pybind11's own, except that an object
// whose __init__ never ran converts to a missing object (a null pointer),
// exactly as None does, so that whatever handles None in that position
// handles it too. It is taken in both conversion passes: the buffer
// protocol converts without conversions, and pybind11 gives up the process
// when that conversion fails.
template <class T>
class library_object_caster : public py::detail::type_caster_base<T> {
public:
    bool load(py::handle src, bool convert) {
        if (is_unconstructed(src, this->typeinfo)) {
            this->value = nullptr;
            return true;
        }
        return py::detail::type_caster_base<T>::load(src, convert);
    }
};

}  // namespace vkt_bind

namespace pybind11::detail {

template <class T>
class type_caster<T, enable_if_t<vkt_bind::is_library_type<T>>>
    : public vkt_bind::library_object_caster<T> {};

}  // namespace pybind11::detail

// ---- integers ---------------------------------------------------------------------------
//
// Integer parameters take exactly the objects that are integers: those with
// __index__ (int, bool, numpy's integer scalars), as CPython's own integer
// parameters do. pybind11's caster would fall back on __int__ and hand the
// library numpy.float32(3.7) or Decimal("5.9") truncated; here they are
// refused like a Python float. A value outside the C++ type is refused too.
// An exception __index__ raises, other than TypeError, reaches the caller.

namespace vkt_bind {

template <class T>
class strict_integer_caster {
public:
    PYBIND11_TYPE_CASTER(T, py::detail::const_name("int"));

    bool load(py::handle src, bool /*convert*/) {
        if (!src || !PyIndex_Check(src.ptr())) return false;
        const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(src.ptr()));
        if (!number) return not_an_integer();
        return std::is_signed_v<T> ? load_signed(number) : load_unsigned(number);
    }

    static py::handle cast(T src, py::return_value_policy, py::handle) {
        if constexpr (std::is_signed_v<T>) return PyLong_FromLongLong(src);
        return PyLong_FromUnsignedLongLong(src);
    }

private:
    bool load_signed(const py::object& number) {
        const long long wide = PyLong_AsLongLong(number.ptr());
        if (wide == -1 && PyErr_Occurred()) return cleared();
        if constexpr (sizeof(T) < sizeof(long long)) {
            if (wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max()) {
                return false;
            }
        }
        value = static_cast<T>(wide);
        return true;
    }

    bool load_unsigned(const py::object& number) {
        const unsigned long long wide = PyLong_AsUnsignedLongLong(number.ptr());
        if (wide == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return cleared();
        if constexpr (sizeof(T) < sizeof(unsigned long long)) {
            if (wide > std::numeric_limits<T>::max()) return false;
        }
        value = static_cast<T>(wide);
        return true;
    }

    // What __index__ raised. A TypeError says the object is no integer after
    // all: this overload does not match, and pybind11 tries the next one.
    // Anything else (KeyboardInterrupt, the object's own ValueError) is passed
    // on unchanged from this first attempt, as CPython's own integer
    // parameters do, instead of being turned into "incompatible function
    // arguments" or into a match of another overload.
    static bool not_an_integer() {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) return cleared();
        throw py::error_already_set();
    }

    static bool cleared() {
        PyErr_Clear();
        return false;
    }
};

}  // namespace vkt_bind

// Explicit specialisations, which take precedence over pybind11's caster of
// all arithmetic types (bool and the character types keep their own).
#define VKT_BIND_STRICT_INTEGER(T)                                                   \
    namespace pybind11::detail {                                                   \
    template <>                                                                    \
    class type_caster<T> : public vkt_bind::strict_integer_caster<T> {};           \
    }
VKT_BIND_STRICT_INTEGER(signed char)
VKT_BIND_STRICT_INTEGER(unsigned char)
VKT_BIND_STRICT_INTEGER(short)
VKT_BIND_STRICT_INTEGER(unsigned short)
VKT_BIND_STRICT_INTEGER(int)
VKT_BIND_STRICT_INTEGER(unsigned int)
VKT_BIND_STRICT_INTEGER(long)
VKT_BIND_STRICT_INTEGER(unsigned long)
VKT_BIND_STRICT_INTEGER(long long)
VKT_BIND_STRICT_INTEGER(unsigned long long)
#undef VKT_BIND_STRICT_INTEGER
