// Simulated objects that implement exactly one interface each, so that every
// interface operation can be reached on its own (a board implements several).
#pragma once

#include <cstdint>

#include "vkt/vkt.h"

namespace vkt::sim {

// A bank of 32 lines read and written as one word.
class VKT_API SimDIO final : public DIO::IxDIO {
public:
    SimDIO();
    ~SimDIO() override;
    void Read(unsigned int* value) override;
    void Write(unsigned int value) override;
    void WriteStatus(unsigned int* value) override;
    unsigned int inputs = 0;    // the wires, set from Python
    unsigned int outputs = 0;
};

// A bank of 32 lines read and written one by one.
class VKT_API SimIndexedDIO final : public DIO::IxIndexedDIO {
public:
    SimIndexedDIO();
    ~SimIndexedDIO() override;
    void Read(int index, bool* value) override;
    void Write(int index, bool value) override;
    void WriteStatus(int index, bool* value) override;
    unsigned int inputs = 0;
    unsigned int outputs = 0;
};

// 256 registers of 32 bits.
class VKT_API SimRegister final : public IxRegister {
public:
    SimRegister();
    ~SimRegister() override;
    void SetRegister(unsigned int address, unsigned int value) override;
    void GetRegister(unsigned int address, unsigned int* value) override;
    unsigned int registers[256] = {};
};

// A plain module, as a device module's own.
class VKT_API SimModule final : public IxModule {
public:
    SimModule();
    ~SimModule() override;
};

// Knows the module it belongs to: one given to it (while that object is
// alive), or else a module of its own.
class VKT_API SimDeviceModule final : public IxDeviceModule {
public:
    SimDeviceModule();
    explicit SimDeviceModule(IxModule* module);
    ~SimDeviceModule() override;
    IxModule* GetDeviceModule() const override;

private:
    IxModule* given_;
    const void* given_object_;   // the complete object behind given_
    std::uint64_t given_ident_;
    SimModule own_;
};

// Capture control without a board: Start/Stop/Abort/Wait as state changes.
class VKT_API SimVideoControl final : public Video::IxVideoControl {
public:
    SimVideoControl();
    ~SimVideoControl() override;
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;

private:
    bool running_ = false;
};

}  // namespace vkt::sim
