// MR250 analog-video frame grabber: the board, its capture-status record and
// its settings companion.
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

// Progress of a capture, as the status operations report it. The fields mean
// what they mean for the KTX21, but the record is a type of its own.
struct VKT_API TxMR250CaptureStatus {
    unsigned int total_frame_count;   // frames completed since the capture started
    unsigned int amount_in_frame;     // lines held by the newest frame
    unsigned int last_frame_no;       // number of the newest frame (or of the asked image's)
    int line_count;                   // lines completed since the capture started
    int dma_schedule_peak;            // most frames delivered in one transfer round
    unsigned int capture_event;       // events seen since the start (library flag bits)

    TxMR250CaptureStatus();
    TxMR250CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int dma_schedule_peak,
                         unsigned int capture_event);
    bool operator==(const TxMR250CaptureStatus& other) const;
    bool operator!=(const TxMR250CaptureStatus& other) const;
};

// One MR250 board channel (one analog video input). Copies refer to the same
// board.
class VKT_API CxMR250 : public CxModule, public IxModule, public IxVideoControl {
public:
    CxMR250();
    CxMR250(const CxMR250& other);
    CxMR250(CxMR250&& other) noexcept;
    CxMR250& operator=(const CxMR250&) = delete;
    ~CxMR250() override;

    bool operator==(const CxMR250& other) const;
    bool operator!=(const CxMR250& other) const;

    // Opens board `id`, channel `ch` (board 0, channel 0 without them) and
    // applies the camera file.
    static CxMR250 FromFile(const char* camerafile);
    static CxMR250 FromFile(const wchar_t* camerafile);
    static CxMR250 FromFile(const char* camerafile, int id, int ch);
    static CxMR250 FromFile(const wchar_t* camerafile, int id, int ch);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual void Setup(const char* camerafile);
    virtual void Setup(const wchar_t* camerafile);
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
    virtual TxMR250CaptureStatus WaitStatus();
    virtual TxMR250CaptureStatus QueryStatus();
    virtual TxMR250CaptureStatus QueryStatus(unsigned int index);
    virtual TxMR250CaptureStatus WaitStatus(unsigned int frame);
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

// Settings of an MR250 board, reached through the board it controls. Its one
// command is "SelfCalibration".
class VKT_API CxMR250Param : public CxModule {
public:
    CxMR250Param();
    CxMR250Param(const CxMR250Param& other);
    CxMR250Param(CxMR250Param&& other) noexcept;
    CxMR250Param& operator=(const CxMR250Param& other);

    bool operator==(const CxMR250Param& other) const;
    bool operator!=(const CxMR250Param& other) const;

    static CxMR250Param From(IxModule* board);
    CxMR250* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void SetTriggerMode(int mode);
    virtual int GetTriggerMode() const;
    virtual void SetExposureTime(int microseconds);
    virtual int GetExposureTime() const;
    virtual void SetVideoOffset(int offset);
    virtual int GetVideoOffset() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual void SendCommand(const char* name, void* value, TxModel kind);
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxMR250Param();

private:
    void* state_;
};

}  // namespace vkt::Video
