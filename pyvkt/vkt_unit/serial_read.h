// read(count) of the camera serial classes: a fixed-size read turned into a
// Python str.
#pragma once

#include <cstring>
#include <memory>

#include "binding.h"

namespace vkt_unit {

// Reads `count` bytes (count >= 1) into a buffer that starts as one space
// and then zeros, and returns all `count` bytes decoded as ASCII, untrimmed.
// A byte above 127 raises UnicodeDecodeError. Short reads use the stack;
// longer ones the heap (MemoryError if that fails).
template <class Sio>
py::str read_serial_text(Sio& sio, int count) {
    constexpr int kOnStack = 256;
    char on_stack[kOnStack];
    std::unique_ptr<char[]> on_heap;
    char* buffer = on_stack;
    if (count > kOnStack) {
        on_heap.reset(new char[static_cast<std::size_t>(count)]);
        buffer = on_heap.get();
    }
    buffer[0] = ' ';
    std::memset(buffer + 1, 0, static_cast<std::size_t>(count) - 1);
    sio.Read(buffer, count);
    PyObject* text = PyUnicode_DecodeASCII(buffer, count, nullptr);
    if (text == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

// The read(count) member: a count below 1 asks for nothing the line can
// give and is refused with the binding error status 1.
template <class Sio>
auto serial_read() {
    return [](Sio& sio, int count) -> py::str {
        if (count < 1) VKT_UNIT_FAIL(kUnsupported);
        return read_serial_text(sio, count);
    };
}

}  // namespace vkt_unit
