// The board-independent frame grabber: opens any grabber model from a camera
// file and drives it through one interface.
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

// A grabber of whichever model a camera file names. The board it drives is
// its controller: the one its factory opened (owned by this object), or one
// given with Controller(IxModule*) (owned by the caller). Copies drive the
// same board.
class VKT_API CxVideo : public CxModule, public IxModule {
public:
    CxVideo();
    CxVideo(const CxVideo& other);
    CxVideo(CxVideo&& other) noexcept;
    CxVideo& operator=(const CxVideo&) = delete;
    ~CxVideo() override;

    bool operator==(const CxVideo& other) const;
    bool operator!=(const CxVideo& other) const;

    // Opens the model the camera file names: board 0, channel 0 without `id`
    // and `ch`.
    static CxVideo FromFile(const char* camerafile, int option);
    static CxVideo FromFile(const wchar_t* camerafile, int option);
    static CxVideo FromFile(const char* camerafile, int id, int ch, int option);
    static CxVideo FromFile(const wchar_t* camerafile, int id, int ch, int option);

    IxModule* Controller() const;
    void Controller(IxModule* board);
    // The model whose parameters this object reads and writes.
    ExDevice DeviceType() const;
    void DeviceType(ExDevice device);

    virtual void Dispose();
    virtual bool IsValid() const;
    virtual void Close();
    virtual void Save(const char* camerafile) const;
    virtual void SaveW(const wchar_t* camerafile) const;
    virtual void Validate(CxImage& image);
    virtual void Grab(CxImage& image);     // one frame into `image`
    virtual void Start(CxImage& image);    // continuous capture into `image`
    virtual void Wait();
    virtual void Abort();
    virtual bool IsRunning() const;
    virtual int Status();
    virtual void ForceTrigger();
    virtual void SetTriggerMode(int mode);
    virtual int GetTriggerMode() const;
    virtual void SetExposureTime(int time);
    virtual int GetExposureTime() const;
    virtual void SetTriggerCycleTime(int time);
    virtual int GetTriggerCycleTime() const;
    virtual void SendCommand(const char* name, void* value, TxModel kind);
    virtual void Validate(IxModule* images);
    virtual void Grab(IxModule* images);
    virtual void Start(IxModule* images);

private:
    void* state_;
};

}  // namespace vkt::Video
