// Python objects that present a library object without owning it: the board
// a Video drives (its `controller`), a companion's controller when no Python
// object owns that board, and views of such a board through an interface.
// They point into memory that someone else frees; when the module makes the
// library free a board, it first forgets every such wrapper inside it.
#pragma once

#include <cstddef>

#include "binding.h"

namespace vkt_unit {

// The extent of a library object behind a non-owning wrapper: its complete
// object and the size of the wrapper's registered type.
struct ObjectExtent {
    const void* begin = nullptr;
    std::size_t size = 0;

    bool operator==(const ObjectExtent& other) const {
        return begin == other.begin && size == other.size;
    }
};

// The extent of the library object that the Python object `wrapper` wraps
// without owning it; empty for an owning wrapper or anything else.
ObjectExtent unowned_extent(py::handle wrapper);

// Detaches every Python object that wraps, without owning it, a library
// object inside `extent`: it then holds no object and every later use is
// refused as a missing object. Owning wrappers are left alone.
void forget_unowned_within(const ObjectExtent& extent);

}  // namespace vkt_unit
