// XML device descriptions: the look-ups the tests and examples make, each
// into a library string and with no buffer.
#include "fuzz_input.h"
#include "vkt/string.h"
#include "vkt/video/api.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vkt_fuzz::quiet_library();
    static const vkt_fuzz::ScratchFile input("xml");
    static const char* const items[] = {"/Device/Name", "/Device/@id", "//Sensor/@width",
                                        "/Device/Empty", "//*[@*]"};
    input.write(data, size);
    for (const char* item : items) {
        vkt::CxStringA text;
        vkt_fuzz::accepted([&] { vkt::Video::Api::GetXmlItem(input.path(), item, &text); });
        vkt_fuzz::accepted([&] { vkt::Video::Api::GetXmlItem(input.path(), item, nullptr); });
    }
    return 0;
}
