// Interfaces that boards implement. Each is an independent polymorphic root:
// a board derives from those it implements, and callers cross-cast between
// them through the board's run-time type.
#pragma once

#include "vkt/export.h"

namespace vkt {

// Any board or device object; boards are handed to companions as IxModule*.
class VKT_API IxModule {
public:
    virtual ~IxModule();
};

// An object that knows the device module it belongs to.
class VKT_API IxDeviceModule {
public:
    virtual IxModule* GetDeviceModule() const = 0;
    virtual ~IxDeviceModule();
};

// Raw register access.
class VKT_API IxRegister {
public:
    virtual void SetRegister(unsigned int address, unsigned int value) = 0;
    virtual void GetRegister(unsigned int address, unsigned int* value) = 0;
    virtual ~IxRegister();
};

namespace Video {

// Capture control shared by the grabbers.
class VKT_API IxVideoControl {
public:
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void Abort() = 0;
    virtual void Wait() = 0;
    virtual bool IsRunning() const = 0;
    virtual ~IxVideoControl();
};

}  // namespace Video

namespace DIO {

// Digital I/O as whole 32-bit words.
class VKT_API IxDIO {
public:
    virtual void Read(unsigned int* value) = 0;
    virtual void Write(unsigned int value) = 0;
    virtual void WriteStatus(unsigned int* value) = 0;
    virtual ~IxDIO();
};

// Digital I/O line by line.
class VKT_API IxIndexedDIO {
public:
    virtual void Read(int index, bool* value) = 0;
    virtual void Write(int index, bool value) = 0;
    virtual void WriteStatus(int index, bool* value) = 0;
    virtual ~IxIndexedDIO();
};

}  // namespace DIO
}  // namespace vkt
