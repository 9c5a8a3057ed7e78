// The library's narrow string, the buffer of text-valued parameters.
#pragma once

#include "vkt/export.h"

namespace vkt {

// Holds a byte string (not necessarily NUL-free or valid UTF-8) whose memory
// the library owns. Address() points at Length() bytes followed by a NUL.
class VKT_API CxStringA {
public:
    CxStringA();
    explicit CxStringA(const char* text);
    CxStringA(const CxStringA& other);
    CxStringA& operator=(const CxStringA& other);
    ~CxStringA();

    const char* Address() const;
    int Length() const;

    // Replaces the content with `length` bytes from `data`.
    void Assign(const char* data, int length);

private:
    char* data_;
    int length_;
};

}  // namespace vkt
