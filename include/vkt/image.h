// Image buffer that grabbers capture into.
#pragma once

#include <cstddef>

#include "vkt/export.h"

namespace vkt {

// A width x height image of `channels` interleaved samples per pixel, each
// `depth` bits wide (8 or 16). The image owns its pixel memory; rows follow
// each other without padding.
class VKT_API CxImage {
public:
    CxImage();
    CxImage(int width, int height, int channels, int depth);
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;
    virtual ~CxImage();

    int Width() const;
    int Height() const;
    int Channels() const;
    int Depth() const;             // bits per sample
    int BytesPerSample() const;
    std::size_t Pitch() const;     // bytes per row
    std::size_t Size() const;      // bytes in all
    void* Address();
    const void* Address() const;

    // Largest pixel memory one image may own.
    static constexpr std::size_t kMaxBytes = std::size_t(1) << 30;

private:
    int width_;
    int height_;
    int channels_;
    int depth_;
    unsigned char* pixels_;
};

}  // namespace vkt
