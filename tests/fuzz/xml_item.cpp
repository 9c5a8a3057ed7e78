// XML device descriptions, read by the library's XML look-up.
#include "fuzz_input.h"
#include "vkt/string.h"
#include "vkt/video/api.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vkt_fuzz::quiet_library();
    static const vkt_fuzz::ScratchFile input("xml");
    input.write(data, size);
    // Each call reads and parses the whole file, whatever the item: one
    // look-up into a library string and one with no buffer cover both ways
    // an item leaves the reader.
    vkt::CxStringA text;
    vkt_fuzz::accepted([&] { vkt::Video::Api::GetXmlItem(input.path(), "/Device/Name", &text); });
    vkt_fuzz::accepted([&] { vkt::Video::Api::GetXmlItem(input.path(), "//*[@*]", nullptr); });
    return 0;
}
