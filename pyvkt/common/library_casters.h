// How the Python modules of the device library (`unit` and `vktsim`) convert
// Python objects to the library's types. Every translation unit of both
// modules includes this header before it binds anything, so that each type
// has one caster throughout a module.
#pragma once

#include <pybind11/pybind11.h>

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
    for (const auto& value_and_holder : py::detail::values_and_holders(instance)) {
        if (!value_and_holder.instance_registered()) return true;
    }
    return false;
}

// The caster of every library type: pybind11's own, except that an object
// whose __init__ never ran converts to a missing object (a null pointer),
// exactly as None does, so that whatever handles None in that position
// handles it too. It is taken in both conversion passes: the buffer
// protocol converts without conversions and must not find "no object".
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
