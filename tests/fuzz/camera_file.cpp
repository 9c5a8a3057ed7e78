// Camera files, read by each grabber model's factory. A file a model accepts
// must also survive the way back: what the board saves is read again to the
// same settings (saved again, the text is the same).
#include "fuzz_input.h"
#include "vkt/video/ktx21.h"
#include "vkt/video/ktx22.h"
#include "vkt/video/mr250.h"

namespace {

using namespace vkt::Video;

CxKTX21 open_board(const CxKTX21*, const char* path) { return CxKTX21::FromFile(path, 0); }
CxKTX22 open_board(const CxKTX22*, const char* path) { return CxKTX22::FromFile(path, 0); }
CxMR250 open_board(const CxMR250*, const char* path) { return CxMR250::FromFile(path); }

// The text the model's board saves after reading `path`, or nothing when the
// model refuses the file.
template <class Board>
bool saved_after_reading(const char* path, const vkt_fuzz::ScratchFile& saved) {
    return vkt_fuzz::accepted([&] {
        Board board = open_board(static_cast<const Board*>(nullptr), path);
        board.Save(saved.path());
    });
}

template <class Board>
void read_and_read_back(const vkt_fuzz::ScratchFile& input) {
    static const vkt_fuzz::ScratchFile first("saved_first");
    static const vkt_fuzz::ScratchFile second("saved_second");
    if (!saved_after_reading<Board>(input.path(), first)) return;
    const std::string text = first.read();
    if (!saved_after_reading<Board>(first.path(), second)) {
        vkt_fuzz::ScratchFile::abort_with("a saved camera file is refused:\n" + text);
    }
    if (second.read() != text) {
        vkt_fuzz::ScratchFile::abort_with("a saved camera file reads back differently:\n" + text +
                                          "\n---- then\n" + second.read());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vkt_fuzz::quiet_library();
    static const vkt_fuzz::ScratchFile input("camera");
    input.write(data, size);
    read_and_read_back<CxKTX21>(input);
    read_and_read_back<CxKTX22>(input);
    read_and_read_back<CxMR250>(input);
    return 0;
}
