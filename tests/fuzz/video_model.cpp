// The generic Video board's model check: the camera file's header picks the
// model, whose factory then reads the file.
#include "fuzz_input.h"
#include "vkt/video/video.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vkt_fuzz::quiet_library();
    static const vkt_fuzz::ScratchFile input("video");
    input.write(data, size);
    vkt_fuzz::accepted([&] {
        vkt::Video::CxVideo video = vkt::Video::CxVideo::FromFile(input.path(), 0);
        video.DeviceType();
    });
    return 0;
}
