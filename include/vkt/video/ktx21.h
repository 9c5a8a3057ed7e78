// KTX21 Camera Link frame grabber: the board, its capture-status record and
// its companions (settings, encoder, camera serial line).
//
// Virtual operations are declared in virtual-table order; the order is part
// of the library's binary interface and must not change.
#pragma once

#include "vkt/export.h"
#include "vkt/image.h"
#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/types.h"

namespace vkt::Video {

// Progress of a capture, as the status operations report it.
struct VKT_API TxKTX21CaptureStatus {
    unsigned int total_frame_count;   // frames completed since the capture started
    unsigned int amount_in_frame;     // lines held by the newest frame
    unsigned int last_frame_no;       // number of the newest frame (or of the asked image's)
    int line_count;                   // lines completed since the capture started
    int dma_schedule_peak;            // most frames delivered in one transfer round
    unsigned int capture_event;       // events seen since the start (library flag bits)

    TxKTX21CaptureStatus();
    TxKTX21CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int dma_schedule_peak,
                         unsigned int capture_event);
    bool operator==(const TxKTX21CaptureStatus& other) const;
    bool operator!=(const TxKTX21CaptureStatus& other) const;
};

// One KTX21 board channel. Copies refer to the same board.
class VKT_API CxKTX21 : public CxModule, public IxModule, public IxVideoControl {
public:
    CxKTX21();
    CxKTX21(const CxKTX21& other);
    CxKTX21(CxKTX21&& other) noexcept;
    CxKTX21& operator=(const CxKTX21&) = delete;
    ~CxKTX21() override;

    bool operator==(const CxKTX21& other) const;
    bool operator!=(const CxKTX21& other) const;

    // Opens board `id`, channel `ch` and applies the camera file.
    static CxKTX21 FromFile(const char* camerafile, int option);
    static CxKTX21 FromFile(const wchar_t* camerafile, int option);
    static CxKTX21 FromFile(const char* camerafile, int id, int ch, int option);
    static CxKTX21 FromFile(const wchar_t* camerafile, int id, int ch, int option);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual void Setup(const char* camerafile, int option);
    virtual void Setup(const wchar_t* camerafile, int option);
    virtual void Save(const char* camerafile) const;
    virtual void SaveW(const wchar_t* camerafile) const;
    virtual bool IsOpened() const;
    virtual void Validate(CxImage& image);
    virtual void Lock(const CxImage& image, int option);
    virtual void Unlock();
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;
    virtual int Status();
    virtual TxKTX21CaptureStatus WaitStatus();
    virtual TxKTX21CaptureStatus QueryStatus();
    virtual TxKTX21CaptureStatus QueryStatus(unsigned int index);
    virtual TxKTX21CaptureStatus WaitStatus(unsigned int frame);
    virtual void ForceTrigger();
    virtual void Abort(unsigned int frames);
    virtual void SetNum(int frames);
    virtual int GetNum() const;
    virtual void SetLockId(int index);
    virtual int GetLockId() const;
    virtual void Validate(CxImage** images, int count);
    virtual void Lock(CxImage** images, int count, int option);

private:
    void* handle_;
};

// Settings of a KTX21 board, reached through the board it controls.
class VKT_API CxKTX21Param : public CxModule {
public:
    CxKTX21Param();
    CxKTX21Param(const CxKTX21Param& other);
    CxKTX21Param(CxKTX21Param&& other) noexcept;
    CxKTX21Param& operator=(const CxKTX21Param& other);

    bool operator==(const CxKTX21Param& other) const;
    bool operator!=(const CxKTX21Param& other) const;

    static CxKTX21Param From(IxModule* board);
    CxKTX21* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetTriggerMode(int mode);
    virtual int GetTriggerMode() const;
    virtual void SetExposureTime(int microseconds);
    virtual int GetExposureTime() const;
    virtual void SetTriggerCycleTime(int microseconds);
    virtual int GetTriggerCycleTime() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxKTX21Param();

private:
    void* state_;
};

// The encoder input of a KTX21 board.
class VKT_API CxKTX21Encoder : public CxModule {
public:
    CxKTX21Encoder();
    CxKTX21Encoder(const CxKTX21Encoder& other);
    CxKTX21Encoder(CxKTX21Encoder&& other) noexcept;
    CxKTX21Encoder& operator=(const CxKTX21Encoder& other);

    bool operator==(const CxKTX21Encoder& other) const;
    bool operator!=(const CxKTX21Encoder& other) const;

    static CxKTX21Encoder From(IxModule* board);
    CxKTX21* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetEncoderMode(int mode);
    virtual int GetEncoderMode() const;
    virtual void SetSampling(int sampling);
    virtual int GetSampling() const;
    virtual void SetStart(int start);
    virtual int GetStart() const;
    virtual void SetDir(int dir);
    virtual int GetDir() const;
    virtual void SetComp1(int value);
    virtual int GetComp1() const;
    virtual void SetComp2(unsigned int value);
    virtual unsigned int GetComp2() const;
    virtual void SetInit(int value);
    virtual int GetInit() const;
    virtual void SetSwapAb(int swap);
    virtual int GetSwapAb() const;
    virtual int TotalCounter() const;
    virtual unsigned int MatchCounter() const;
    virtual unsigned int RelCounter() const;
    virtual void ClearRelCounter();
    virtual void StartAbs(bool start);
    virtual int AbsCounter() const;
    virtual bool IsAbsOverflow() const;
    virtual bool IsAbsUnderflow() const;
    virtual void ClearAbsCounter();
    virtual void ClearOverflow();
    virtual void ClearUnderflow();
    virtual void ClearAllCounter();
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual ~CxKTX21Encoder();

private:
    void* state_;
};

// The camera's serial line on a KTX21 board.
class VKT_API CxKTX21Sio : public CxModule {
public:
    CxKTX21Sio();
    CxKTX21Sio(const CxKTX21Sio& other);
    CxKTX21Sio(CxKTX21Sio&& other) noexcept;
    CxKTX21Sio& operator=(const CxKTX21Sio& other);

    bool operator==(const CxKTX21Sio& other) const;
    bool operator!=(const CxKTX21Sio& other) const;

    static CxKTX21Sio From(IxModule* board);
    CxKTX21* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void Open();
    virtual void Close();
    virtual bool IsOpened() const;
    virtual void SetTimeout(int milliseconds);
    virtual int GetTimeout() const;
    virtual void WriteByte(char byte);
    virtual char ReadByte();
    virtual void Write(const char* text);
    virtual int Read(char* buffer, int count);   // returns the bytes stored
    virtual void SetCameraMode(const char* mode);
    virtual void Purge();
    virtual ~CxKTX21Sio();

private:
    void* state_;
};

}  // namespace vkt::Video
