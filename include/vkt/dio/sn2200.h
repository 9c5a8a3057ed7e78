// SN2200 digital-I/O board and its settings.
#pragma once

#include "vkt/dio/wait_status.h"
#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/types.h"

namespace vkt::DIO {

class VKT_API CxSN2200 : public CxModule, public IxModule, public IxDIO, public IxIndexedDIO {
public:
    CxSN2200();
    CxSN2200(const CxSN2200& other);   // refers to the same board
    CxSN2200& operator=(const CxSN2200&) = delete;
    ~CxSN2200() override;

    bool operator==(const CxSN2200& other) const;
    bool operator!=(const CxSN2200& other) const;

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
    virtual void Abort();
    virtual TxSN2200WaitStatus Wait();

private:
    void* handle_;
};

class VKT_API CxSN2200Param : public CxModule {
public:
    CxSN2200Param();
    CxSN2200Param(const CxSN2200Param& other);
    CxSN2200Param(CxSN2200Param&& other) noexcept;
    CxSN2200Param& operator=(const CxSN2200Param& other);

    bool operator==(const CxSN2200Param& other) const;
    bool operator!=(const CxSN2200Param& other) const;

    static CxSN2200Param From(IxModule* board);
    CxSN2200* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetTimeout(int milliseconds);
    virtual int GetTimeout() const;
    virtual void SetDiEnable(unsigned int lines);
    virtual unsigned int GetDiEnable() const;
    virtual void SetDiEdge(unsigned int rising);
    virtual unsigned int GetDiEdge() const;
    virtual void SetDiWaitEnable(unsigned int lines);
    virtual unsigned int GetDiWaitEnable() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual void Reserved1();   // not used by the bindings
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxSN2200Param();

private:
    void* state_;
};

}  // namespace vkt::DIO
