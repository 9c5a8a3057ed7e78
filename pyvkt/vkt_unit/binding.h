// Conventions shared by every family of the `unit` module: the binding error,
// the null-checking adaptor that every member goes through, and the
// registration entry points of the families.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "vkt/vkt.h"

namespace vkt_unit {

namespace py = pybind11;

// Status numbers of the module's own errors.
constexpr vkt::ExStatus kUnsupported = vkt::ExStatus::NotSupported;   // 1
constexpr vkt::ExStatus kMissingObject = vkt::ExStatus::MissingObject;  // 2

// Throws the module's own error as the library's exception, so that it is
// translated exactly like a library failure.
[[noreturn]] void throw_binding_error(vkt::ExStatus status, const char* function,
                                      const char* file, int line);

// Raises the binding error from the statement where it is written: the
// error names the enclosing function ("operator()" inside a wrapper lambda),
// the source file and the line.
#define VKT_UNIT_FAIL(status) ::vkt_unit::throw_binding_error((status), __func__, __FILE__, __LINE__)

// ---- the null-checking adaptor --------------------------------------------------
//
// pybind11 hands a method called unbound with None in place of its object
// (`unit.SNR11.dispose(None)`) a null pointer. Every member is therefore
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

// ---- registration steps of the families ----------------------------------------------
// Each family file defines its init_<family>() functions; vkt_unit_wrap.cpp
// calls them in the module's registration order.

}  // namespace vkt_unit
