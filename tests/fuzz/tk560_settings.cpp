// TK560 settings files, settings and output word (scope 1). A file the board
// accepts must survive the way back, as camera files do.
#include "fuzz_input.h"
#include "vkt/dio/tk560.h"

namespace {

bool saved_after_reading(const char* path, const vkt_fuzz::ScratchFile& saved) {
    return vkt_fuzz::accepted([&] {
        vkt::DIO::CxTK560 board;
        board.Open(0);
        board.Load(path, 1);
        board.Save(saved.path(), 1);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vkt_fuzz::quiet_library();
    static const vkt_fuzz::ScratchFile input("tk560");
    static const vkt_fuzz::ScratchFile first("saved_first");
    static const vkt_fuzz::ScratchFile second("saved_second");
    input.write(data, size);
    if (!saved_after_reading(input.path(), first)) return 0;
    const std::string text = first.read();
    if (!saved_after_reading(first.path(), second)) {
        vkt_fuzz::ScratchFile::abort_with("a saved settings file is refused:\n" + text);
    }
    if (second.read() != text) {
        vkt_fuzz::ScratchFile::abort_with("a saved settings file reads back differently:\n" + text);
    }
    return 0;
}
