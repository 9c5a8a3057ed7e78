// TK560 digital-I/O board and its settings.
#pragma once

#include "vkt/dio/wait_status.h"
#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/types.h"

namespace vkt::DIO {

class VKT_API CxTK560 : public CxModule, public IxModule, public IxDIO, public IxIndexedDIO {
public:
    CxTK560();
    CxTK560(const CxTK560& other);   // refers to the same board
    CxTK560& operator=(const CxTK560&) = delete;
    ~CxTK560() override;

    bool operator==(const CxTK560& other) const;
    bool operator!=(const CxTK560& other) const;

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
    // Settings files; `scope` 0 is the settings, 1 also the output word.
    virtual void Load(const char* path, int scope);
    virtual void LoadW(const wchar_t* path, int scope);
    virtual void Save(const char* path, int scope) const;
    virtual void SaveW(const wchar_t* path, int scope) const;
    virtual void Abort();
    virtual TxTK560WaitStatus Wait();

private:
    void* handle_;
};

class VKT_API CxTK560Param : public CxModule {
public:
    CxTK560Param();
    CxTK560Param(const CxTK560Param& other);
    CxTK560Param(CxTK560Param&& other) noexcept;
    CxTK560Param& operator=(const CxTK560Param& other);

    bool operator==(const CxTK560Param& other) const;
    bool operator!=(const CxTK560Param& other) const;

    static CxTK560Param From(IxModule* board);
    CxTK560* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetTimeout(int milliseconds);
    virtual int GetTimeout() const;
    virtual void SetIntEnable(int enable);
    virtual int GetIntEnable() const;
    virtual void SetIntEdge(int edge);
    virtual int GetIntEdge() const;
    virtual void SetIntWaitEnable(int enable);
    virtual int GetIntWaitEnable() const;
    virtual void SetDiEnable(unsigned int lines);
    virtual unsigned int GetDiEnable() const;
    virtual void SetDiEdge(unsigned int rising);
    virtual unsigned int GetDiEdge() const;
    virtual void SetDiWaitEnable(unsigned int lines);
    virtual unsigned int GetDiWaitEnable() const;
    virtual void SetDiWaitMode(int mode);
    virtual int GetDiWaitMode() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual void Reserved1();   // not used by the bindings
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxTK560Param();

private:
    void* state_;
};

}  // namespace vkt::DIO
