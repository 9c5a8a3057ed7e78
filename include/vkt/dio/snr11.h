// SNR11 digital-I/O board and its settings.
#pragma once

#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/types.h"

namespace vkt::DIO {

// One SNR11 board: 32 input and 32 output lines, waits for input events.
class VKT_API CxSNR11 : public CxModule, public IxModule, public IxDIO, public IxIndexedDIO {
public:
    CxSNR11();
    CxSNR11(const CxSNR11& other);   // refers to the same board
    CxSNR11& operator=(const CxSNR11&) = delete;
    ~CxSNR11() override;

    bool operator==(const CxSNR11& other) const;
    bool operator!=(const CxSNR11& other) const;

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id);
    virtual void Close();
    virtual bool IsOpened() const;
    void Read(unsigned int* value) override;
    void Write(unsigned int value) override;
    void WriteStatus(unsigned int* value) override;
    void Read(int index, bool* value) override;
    void Write(int index, bool value) override;
    void WriteStatus(int index, bool* value) override;
    virtual void Wait(unsigned int* event);   // stores an ExEventStatus number
    virtual void Abort();

private:
    void* handle_;
};

// Settings of an SNR11 board, reached through the board it controls.
class VKT_API CxSNR11Param : public CxModule {
public:
    CxSNR11Param();
    CxSNR11Param(const CxSNR11Param& other);
    CxSNR11Param(CxSNR11Param&& other) noexcept;
    CxSNR11Param& operator=(const CxSNR11Param& other);

    bool operator==(const CxSNR11Param& other) const;
    bool operator!=(const CxSNR11Param& other) const;

    static CxSNR11Param From(IxModule* board);
    CxSNR11* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetTimeout(int milliseconds);
    virtual int GetTimeout() const;
    virtual void SetIntEdge(int edge);
    virtual int GetIntEdge() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual void Reserved1();   // not used by the bindings
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxSNR11Param();

private:
    void* state_;
};

}  // namespace vkt::DIO
