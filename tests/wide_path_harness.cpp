// Hands the device library wide paths that hold a value which is no code
// point, through each operation that turns a wide path into UTF-8, and
// prints how each call ended: "<label> <status code> <function text>".
#include <cstdio>
#include <initializer_list>

#include "vkt/vkt.h"

namespace {

template <class Work>
void report(const char* label, Work work) {
    try {
        work();
        std::printf("%s no error\n", label);
    } catch (const vkt::CxException& error) {
        std::printf("%s %d %s\n", label, error.Code(), error.Function());
    }
}

}  // namespace

int main() {
    const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'.', L't', L'x', L't', 0};
    const wchar_t beyond[] = {L'b', static_cast<wchar_t>(0x110000), 0};
    for (const wchar_t* path : {surrogate, beyond}) {
        report("xml", [&] {
            char buffer[64] = {};
            vkt::Video::Api::GetXmlItem(path, "Name", buffer);
        });
        report("dio", [&] {
            vkt::DIO::CxTK560 board;
            board.LoadW(path, 0);
        });
        report("grabber", [&] { vkt::Video::CxKTX21::FromFile(path, -1); });
    }
    return 0;
}
