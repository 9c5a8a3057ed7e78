// The printed form of an object whose __init__ never ran, for pybind11's
// enumerations, whose own __repr__ reads the object's integer value.
//
// Such an object has no value, so its conversion is refused, and pybind11's
// message for a refused call prints the arguments: the object again, whose
// __repr__ is refused again, and so on until the interpreter's recursion
// limit ends it. From CPython 3.12 on that limit counts C calls and lies much
// deeper, deep enough to exhaust a thread's stack and crash the process.
// The object therefore prints as any plain object does
// (`<unit.EventStatus object at 0x...>`); every member prints as before.
#pragma once

#include <pybind11/pybind11.h>

#include <typeinfo>

#include "library_casters.h"

namespace vkt_bind {

template <class T, class... Options>
void print_unconstructed_plainly(py::class_<T, Options...>& cls) {
    const py::detail::type_info* type = py::detail::get_type_info(typeid(T));
    const py::object own_repr = cls.attr("__repr__");
    cls.attr("__repr__") = py::cpp_function(
        [type, own_repr](const py::object& self) -> py::str {
            if (is_unconstructed(self, type)) {
                return py::reinterpret_steal<py::str>(PyBaseObject_Type.tp_repr(self.ptr()));
            }
            return py::str(own_repr(self));
        },
        py::name("__repr__"), py::is_method(cls));
}

}  // namespace vkt_bind
