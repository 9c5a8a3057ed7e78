// Plain value types shared by every part of the device library.
#pragma once

#include <cstdint>

namespace vkt {

// Outcome of a library operation. Failures are thrown as CxException carrying
// one of these; the values are stable and part of the library's interface.
enum class ExStatus : std::int32_t {
    Success = 0,
    NotSupported = 1,      // request or name the callee does not support
    MissingObject = 2,     // an object that must exist is missing (null)
    InvalidArgument = 3,   // an argument is out of range or malformed
    NotOpened = 4,         // the board has not been opened
    DeviceBusy = 5,        // the board is already open elsewhere or busy
    NoDevice = 6,          // no board with that id exists
    Timeout = 7,           // a wait ran out of time
    Aborted = 8,           // a wait or capture was aborted
    FileError = 9,         // a file could not be read or written
    FormatError = 10,      // a file or text is malformed
    WrongKind = 11,        // a value was passed with the wrong value kind
    ReadOnly = 12,         // the value cannot be written
    NotFound = 13,         // a named item does not exist
    OutOfResources = 14,   // memory or another resource is exhausted
    NotRunning = 15,       // the operation needs a running capture
};

// Device types; the grabber types select the parameter table of CxVideo.
enum class ExDevice : std::int32_t {
    Unknown = 0,
    KTX21 = 1,
    MR250 = 2,
    KTX22 = 4,
    SNR11 = 8,
    SN2200 = 16,
    TK560 = 32,
};

// Value kind of the by-name operations (GetParam, SetParam, SendCommand):
// an 8-byte record passed by value. The low half names the element type, the
// high half the number of elements; a text value (CxStringA) is all zero.
struct TxModel {
    std::uint32_t Type;
    std::uint32_t Count;

    TxModel() : Type(0), Count(0) {}

    // Element types used in the low half.
    static constexpr std::uint32_t kText = 0;
    static constexpr std::uint32_t kUInt32 = 4;
    static constexpr std::uint32_t kCommand = 6;
    static constexpr std::uint32_t kInt32 = 8;

    // The record as one 64-bit number, low half first (0x100000008 for int32).
    std::uint64_t Value() const {
        return (static_cast<std::uint64_t>(Count) << 32) | Type;
    }
};

static_assert(sizeof(TxModel) == 8, "TxModel is passed as one 8-byte record");

}  // namespace vkt
