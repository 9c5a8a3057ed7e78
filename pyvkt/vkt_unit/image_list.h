// Python lists of images as the pointer array and count that the grabbers'
// list operations (Validate, Lock) take.
#pragma once

#include <array>
#include <climits>
#include <memory>
#include <stdexcept>

#include "binding.h"

namespace vkt_unit {

// Converts every element of `images` (a list or list subclass) to an image
// pointer, None to a null pointer, then calls `use(array, count)` once. An
// element of another type raises pybind11's cast error before `use` runs.
// The array lives for this call only: on the stack for short lists, on the
// heap beyond (MemoryError if that fails).
template <class Use>
void with_image_array(const py::list& images, Use&& use) {
    const Py_ssize_t size = PyList_GET_SIZE(images.ptr());
    if (size > INT_MAX) throw std::length_error("too many images for one call");
    const int count = static_cast<int>(size);

    constexpr int kOnStack = 16;
    std::array<vkt::CxImage*, kOnStack> on_stack{};
    std::unique_ptr<vkt::CxImage*[]> on_heap;
    vkt::CxImage** array = on_stack.data();
    if (count > kOnStack) {
        on_heap.reset(new vkt::CxImage*[static_cast<std::size_t>(count)]);
        array = on_heap.get();
    }
    // Casting a registered type runs no Python code, so the list cannot
    // change while it is walked.
    for (int i = 0; i < count; ++i) {
        array[i] = py::handle(PyList_GET_ITEM(images.ptr(), i)).cast<vkt::CxImage*>();
    }
    use(array, count);
}

}  // namespace vkt_unit
