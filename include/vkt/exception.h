// The one error type of the device library.
#pragma once

#include "vkt/export.h"
#include "vkt/types.h"

namespace vkt {

// Every failing library operation throws a CxException. It owns copies of its
// texts, so it stays valid whatever happens to the strings it was built from.
class VKT_API CxException {
public:
    CxException(ExStatus status, const char* function, const char* file, int line);
    CxException(const CxException& other);
    CxException& operator=(const CxException& other);

    // Accessors, in this order in the virtual table.
    virtual int Code() const;
    virtual const char* Function() const;
    virtual const char* File() const;
    virtual int Line() const;

    virtual ~CxException();

private:
    static constexpr int kTextSize = 256;
    ExStatus status_;
    int line_;
    char function_[kTextSize];
    char file_[kTextSize];
};

}  // namespace vkt
