// KTX22 Camera Link frame grabber: the board, its capture-status and
// encoder-status records and its companions (settings, encoder, camera
// serial line).
//
// Virtual operations are declared in virtual-table order; the order is part
// of the library's binary interface and must not change. The Reserved slots
// stand for operations of the library that this interface does not offer;
// they keep the later slots in place.
#pragma once

#include "vkt/export.h"
#include "vkt/image.h"
#include "vkt/interfaces.h"
#include "vkt/module.h"
#include "vkt/types.h"

namespace vkt::Video {

// Progress of a capture, as the status operations report it.
struct VKT_API TxKTX22CaptureStatus {
    unsigned int total_frame_count;   // frames completed since the capture started
    unsigned int amount_in_frame;     // lines held by the newest frame
    unsigned int last_frame_no;       // number of the newest frame
    int line_count;                   // lines completed since the capture started
    int capture_state;                // where the capture stands (library codes)

    TxKTX22CaptureStatus();
    TxKTX22CaptureStatus(unsigned int total_frame_count, unsigned int amount_in_frame,
                         unsigned int last_frame_no, int line_count, int capture_state);
    bool operator==(const TxKTX22CaptureStatus& other) const;
    bool operator!=(const TxKTX22CaptureStatus& other) const;
};

// The encoder's flags, input lines and counters at one moment.
struct VKT_API TxKTX22EncoderStatus {
    bool is_abs_overflow;
    bool is_abs_underflow;
    int a_state;                  // level of input A (0 or 1)
    int b_state;                  // level of input B
    int z_state;                  // level of the index input Z
    int encoder_state;            // 1 while the encoder counts
    int encoder_counter;
    unsigned int rel_counter;
    unsigned int match_counter;

    TxKTX22EncoderStatus();
    TxKTX22EncoderStatus(bool is_abs_overflow, bool is_abs_underflow, int a_state, int b_state,
                         int z_state, int encoder_state, int encoder_counter,
                         unsigned int rel_counter, unsigned int match_counter);
    bool operator==(const TxKTX22EncoderStatus& other) const;
    bool operator!=(const TxKTX22EncoderStatus& other) const;
};

// One KTX22 board channel. Copies refer to the same board.
class VKT_API CxKTX22 : public CxModule, public IxModule, public IxVideoControl {
public:
    CxKTX22();
    CxKTX22(const CxKTX22& other);
    CxKTX22(CxKTX22&& other) noexcept;
    CxKTX22& operator=(const CxKTX22&) = delete;
    ~CxKTX22() override;

    bool operator==(const CxKTX22& other) const;
    bool operator!=(const CxKTX22& other) const;

    // Opens board `id`, channel `ch` and applies the camera file.
    static CxKTX22 FromFile(const char* camerafile, int option);
    static CxKTX22 FromFile(const wchar_t* camerafile, int option);
    static CxKTX22 FromFile(const char* camerafile, int id, int ch, int option);
    static CxKTX22 FromFile(const wchar_t* camerafile, int id, int ch, int option);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Open(int id, int ch);
    virtual void Close();
    virtual bool IsOpened() const;
    virtual void Setup(const char* camerafile, int option);
    virtual void Setup(const wchar_t* camerafile, int option);
    virtual void Save(const char* camerafile) const;
    virtual void SaveW(const wchar_t* camerafile) const;
    virtual void Validate(CxImage& image);
    virtual void Reserved1();
    virtual void Lock(const CxImage& image, int option);
    virtual void Reserved2();
    virtual void Unlock();
    void Start() override;
    void Stop() override;
    void Abort() override;
    void Wait() override;
    bool IsRunning() const override;
    virtual TxKTX22CaptureStatus QueryStatus();
    virtual TxKTX22CaptureStatus WaitStatus();
    virtual int Status();
    // Waits up to `milliseconds` for the capture to end; false if it did not.
    virtual bool Wait(int milliseconds);
    // Waits up to `milliseconds` for the next board event `event`; false on
    // time-out or cancellation. `*count` receives how often it has occurred.
    virtual bool WaitEvent(int event, int milliseconds, int* count);
    virtual void CancelWaitEvent(int event);
    // Channel operations: -1 is the channel this object drives.
    virtual void ForceTrigger(int ch);
    virtual void StopPg(int ch);
    virtual void ResetPg(int ch);
    virtual void ClearTriggerMask(int ch);
    virtual void PllReconfig();
    virtual void SetNum(int frames);
    virtual int GetNum() const;
    virtual void SetLockId(int index);
    virtual int GetLockId() const;
    virtual void Validate(IxModule* image);
    virtual void Validate(CxImage** images, int count);
    virtual void Lock(IxModule* image, int option);
    virtual void Lock(CxImage** images, int count, int option);
    virtual void Reserved3();
    virtual void Reserved4();
    virtual void Reserved5();
    virtual void Reserved6();
    virtual void Reserved7();
    virtual void Reserved8();
    virtual void Reserved9();
    virtual void QueryStatus(TxKTX22CaptureStatus* result);
    virtual bool WaitStatus(TxKTX22CaptureStatus* result, int milliseconds);

private:
    void* handle_;
};

// Settings and named commands of a KTX22 board, reached through the board
// it controls.
class VKT_API CxKTX22Param : public CxModule {
public:
    CxKTX22Param();
    CxKTX22Param(const CxKTX22Param& other);
    CxKTX22Param(CxKTX22Param&& other) noexcept;
    CxKTX22Param& operator=(const CxKTX22Param& other);

    bool operator==(const CxKTX22Param& other) const;
    bool operator!=(const CxKTX22Param& other) const;

    static CxKTX22Param From(IxModule* board);
    CxKTX22* Controller() const;
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
    virtual void SendCommand(const char* name, void* value, TxModel kind);
    virtual void SetRegister(unsigned int address, unsigned int value);
    virtual void GetRegister(unsigned int address, unsigned int* value);
    virtual ~CxKTX22Param();

private:
    void* state_;
};

// The encoder input of a KTX22 board.
class VKT_API CxKTX22Encoder : public CxModule {
public:
    CxKTX22Encoder();
    CxKTX22Encoder(const CxKTX22Encoder& other);
    CxKTX22Encoder(CxKTX22Encoder&& other) noexcept;
    CxKTX22Encoder& operator=(const CxKTX22Encoder& other);

    bool operator==(const CxKTX22Encoder& other) const;
    bool operator!=(const CxKTX22Encoder& other) const;

    static CxKTX22Encoder From(IxModule* board);
    CxKTX22* Controller() const;
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
    virtual void SetResetSource(int source);
    virtual int GetResetSource() const;
    virtual void SetSwapAb(int swap);
    virtual int GetSwapAb() const;
    virtual void SetSignalSource(int source);
    virtual int GetSignalSource() const;
    virtual void StartEncoder();
    virtual void StopEncoder();
    virtual void ResetEncoder();
    virtual void EncoderStatus(TxKTX22EncoderStatus* status);
    virtual int EncoderCounter() const;
    virtual unsigned int MatchCounter() const;
    virtual unsigned int RelCounter() const;
    virtual void SetEncoderActMode(int mode);
    virtual int GetEncoderActMode() const;
    virtual void GetParam(const char* name, void* value, TxModel kind);
    virtual void SetParam(const char* name, const void* value, TxModel kind);
    virtual ~CxKTX22Encoder();

private:
    void* state_;
};

// The camera's serial line on a KTX22 board.
class VKT_API CxKTX22Sio : public CxModule {
public:
    CxKTX22Sio();
    CxKTX22Sio(const CxKTX22Sio& other);
    CxKTX22Sio(CxKTX22Sio&& other) noexcept;
    CxKTX22Sio& operator=(const CxKTX22Sio& other);

    bool operator==(const CxKTX22Sio& other) const;
    bool operator!=(const CxKTX22Sio& other) const;

    static CxKTX22Sio From(IxModule* board);
    CxKTX22* Controller() const;
    void Controller(IxModule* board);

    virtual bool IsValid() const;
    virtual void Open();
    virtual void Close();
    virtual void Purge();
    virtual bool IsOpened() const;
    virtual void SetTimeout(int milliseconds);
    virtual int GetTimeout() const;
    virtual void WriteByte(char byte);
    virtual char ReadByte();
    virtual void Write(const char* text);
    virtual int Read(char* buffer, int count);   // returns the bytes stored
    virtual void SetCameraMode(const char* mode);
    virtual ~CxKTX22Sio();

private:
    void* state_;
};

}  // namespace vkt::Video
