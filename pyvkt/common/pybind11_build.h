// Records in a module's binary which pybind11 release built it.
//
// Extensions share the library's image and interface types with unit only
// when they were built with the same pybind11 internals, so the release is
// pinned; this mark lets the tests prove that the pinned headers, and no other
// pybind11 installed on the build machine, went into the module. It is read
// from the file (no Python name carries it), so the modules' surface stays
// as it is. Include it in exactly one source file of each module.
#pragma once

#include <pybind11/detail/common.h>
#include <pybind11/detail/internals.h>

[[gnu::used]] static const char pybind11_build_mark[] =
    "built with pybind11 " PYBIND11_TOSTRING(PYBIND11_VERSION_MAJOR) "." PYBIND11_TOSTRING(
        PYBIND11_VERSION_MINOR) "." PYBIND11_TOSTRING(PYBIND11_VERSION_PATCH) ", internals "
        PYBIND11_TOSTRING(PYBIND11_INTERNALS_VERSION);
