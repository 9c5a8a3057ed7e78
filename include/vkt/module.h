// Allocation base of every board and companion object.
#pragma once

#include <cstddef>

#include "vkt/export.h"

namespace vkt {

// Boards and companions are allocated and released through the library's own
// allocator, so that objects made on one side of the library boundary can be
// freed on the other.
class VKT_API CxModule {
public:
    static void* operator new(std::size_t size);
    static void operator delete(void* pointer);

protected:
    CxModule() = default;
    ~CxModule() = default;
};

}  // namespace vkt
