// The docstring of an enumeration registered with py::enum_, fixed as text.
//
// pybind11 2.x gives every py::enum_ a "__doc__" static property whose getter
// reads its argument as a type object without checking it, so
// `vars(Enum)["__doc__"].fget(Enum.MEMBER)` reads a member as a type and
// crashes the interpreter. The text is worked out once, from the type itself
// after all members are registered, and stored in the class dictionary in
// place of the property: Enum.__doc__ reads exactly as before, and no getter
// is left that Python code could call with the wrong object.
#pragma once

#include <pybind11/pybind11.h>

namespace vkt_bind {

inline void fix_enum_doc(pybind11::handle enum_type) {
    namespace py = pybind11;
    const py::object text = enum_type.attr("__doc__");
    auto* type = reinterpret_cast<PyTypeObject*>(enum_type.ptr());
    if (PyDict_SetItemString(type->tp_dict, "__doc__", text.ptr()) != 0) throw py::error_already_set();
    PyType_Modified(type);
}

}  // namespace vkt_bind
