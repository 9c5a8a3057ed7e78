// How a digital-I/O wait ended.
#pragma once

#include <cstdint>

namespace vkt::DIO {

enum class ExEventStatus : std::int32_t {
    INT = 1,       // an interrupt line fired
    DI = 2,        // an enabled input changed on an enabled edge
    TIMEOUT = 3,   // the board's time-out passed without an event
    ABORT = 4,     // the wait was aborted
};

}  // namespace vkt::DIO
