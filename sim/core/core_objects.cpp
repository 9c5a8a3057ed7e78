// The library's shared classes: exception, allocation base, string, image
// and the interfaces' destructors.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "core/state.h"

namespace vkt {

// ---- CxException ------------------------------------------------------------

namespace {

// Copies a text into a fixed buffer, cutting it rather than overrunning.
void copy_text(char* target, std::size_t size, const char* text) {
    if (text == nullptr) text = "";
    std::size_t length = std::strlen(text);
    if (length >= size) length = size - 1;
    std::memcpy(target, text, length);
    target[length] = '\0';
}

}  // namespace

CxException::CxException(ExStatus status, const char* function, const char* file, int line)
    : status_(status), line_(line) {
    copy_text(function_, sizeof function_, function);
    copy_text(file_, sizeof file_, file);
}

CxException::CxException(const CxException& other) = default;
CxException& CxException::operator=(const CxException& other) = default;
CxException::~CxException() = default;

int CxException::Code() const { return static_cast<int>(status_); }
const char* CxException::Function() const { return function_; }
const char* CxException::File() const { return file_; }
int CxException::Line() const { return line_; }

// ---- CxModule ----------------------------------------------------------------

void* CxModule::operator new(std::size_t size) { return ::operator new(size); }
void CxModule::operator delete(void* pointer) { ::operator delete(pointer); }

// ---- CxStringA ---------------------------------------------------------------

CxStringA::CxStringA() : data_(nullptr), length_(0) {
    Assign("", 0);
    sim::track(this);
}

CxStringA::CxStringA(const char* text) : data_(nullptr), length_(0) {
    if (text == nullptr) text = "";
    std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        sim::fail(ExStatus::InvalidArgument, "CxStringA::CxStringA", "text too long");
    }
    Assign(text, static_cast<int>(length));
    sim::track(this);
}

CxStringA::CxStringA(const CxStringA& other) : data_(nullptr), length_(0) {
    Assign(other.data_, other.length_);
    sim::track(this);
}

CxStringA& CxStringA::operator=(const CxStringA& other) {
    if (this != &other) Assign(other.data_, other.length_);
    return *this;
}

CxStringA::~CxStringA() {
    sim::untrack(this);
    delete[] data_;
}

const char* CxStringA::Address() const { return data_; }
int CxStringA::Length() const { return length_; }

void CxStringA::Assign(const char* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        sim::fail(ExStatus::InvalidArgument, "CxStringA::Assign", "bad length");
    }
    char* copy = new char[static_cast<std::size_t>(length) + 1];
    if (length > 0) std::memcpy(copy, data, static_cast<std::size_t>(length));
    copy[length] = '\0';
    delete[] data_;
    data_ = copy;
    length_ = length;
}

// ---- CxImage ------------------------------------------------------------------

CxImage::CxImage() : width_(0), height_(0), channels_(1), depth_(8), pixels_(nullptr) {
    sim::track(this);
}

CxImage::CxImage(int width, int height, int channels, int depth)
    : width_(width), height_(height), channels_(channels), depth_(depth), pixels_(nullptr) {
    constexpr const char* kOperation = "CxImage::CxImage";
    if (width < 1 || height < 1) {
        sim::fail(ExStatus::InvalidArgument, kOperation, "width and height must be positive");
    }
    if (channels < 1 || channels > 4) {
        sim::fail(ExStatus::InvalidArgument, kOperation, "channels must be 1 to 4");
    }
    if (depth != 8 && depth != 16) {
        sim::fail(ExStatus::InvalidArgument, kOperation, "depth must be 8 or 16");
    }
    // Checked in steps so that the product cannot overflow.
    std::size_t limit = kMaxBytes;
    std::size_t size = static_cast<std::size_t>(channels) * static_cast<std::size_t>(depth / 8);
    for (int factor : {width, height}) {
        if (static_cast<std::size_t>(factor) > limit / size) {
            sim::fail(ExStatus::OutOfResources, kOperation, "image larger than 1 GiB");
        }
        size *= static_cast<std::size_t>(factor);
    }
    pixels_ = new (std::nothrow) unsigned char[size]();
    if (pixels_ == nullptr) {  // GCOVR_EXCL_START: only when the machine has no memory left
        sim::fail(ExStatus::OutOfResources, kOperation, "no memory for the pixels");
    }  // GCOVR_EXCL_STOP
    sim::track(this);
}

CxImage::~CxImage() {
    sim::untrack(this);
    delete[] pixels_;
}

int CxImage::Width() const { return width_; }
int CxImage::Height() const { return height_; }
int CxImage::Channels() const { return channels_; }
int CxImage::Depth() const { return depth_; }
int CxImage::BytesPerSample() const { return depth_ / 8; }

std::size_t CxImage::Pitch() const {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels_) *
           static_cast<std::size_t>(BytesPerSample());
}

std::size_t CxImage::Size() const { return Pitch() * static_cast<std::size_t>(height_); }
void* CxImage::Address() { return pixels_; }
const void* CxImage::Address() const { return pixels_; }

// ---- interfaces -------------------------------------------------------------------
// Out of line so that each interface's type identity lives in the library.

IxModule::~IxModule() = default;
IxDeviceModule::~IxDeviceModule() = default;
IxRegister::~IxRegister() = default;
Video::IxVideoControl::~IxVideoControl() = default;
DIO::IxDIO::~IxDIO() = default;
DIO::IxIndexedDIO::~IxIndexedDIO() = default;

}  // namespace vkt
