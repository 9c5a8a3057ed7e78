// Calls of the device library that Python cannot make through the modules,
// because they refuse such input first or offer no such call: the value
// classes' copies and refusals, the image constructor's refusals, a write of a read-only text setting, and the wide
// camera-file overloads with a path whose characters lie beyond U+FFFF.
// Prints how each call ended, one line each: "<label> <status code> <function
// text>", or "<label> ok <what it gave>". The camera files are in argv[1].
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vkt/vkt.h"

namespace {

template <class Work>
void report(const std::string& label, Work work) {
    try {
        const std::string what = work();
        std::printf("%s ok %s\n", label.c_str(), what.c_str());
    } catch (const vkt::CxException& error) {
        std::printf("%s %d %s\n", label.c_str(), error.Code(), error.Function());
    }
}

void image_constructor() {
    const int shapes[][4] = {{0, 1, 1, 8},     {1, -1, 1, 8}, {1, 1, 0, 8},     {1, 1, 5, 8},
                             {1, 1, 1, 12},    {1, 1, 1, 32}, {32768, 32769, 1, 8},
                             {1 << 30, 1, 2, 8}, {4, 2, 3, 16}};
    for (const auto& s : shapes) {
        const std::string label = "image " + std::to_string(s[0]) + "x" + std::to_string(s[1]) +
                                  "x" + std::to_string(s[2]) + "x" + std::to_string(s[3]);
        report(label, [&] {
            vkt::CxImage image(s[0], s[1], s[2], s[3]);
            return std::to_string(image.Width() * image.Height() * image.Channels() *
                                  (image.Depth() / 8));
        });
    }
}

void value_classes() {
    report("string copies", [] {
        const vkt::CxStringA text("abc");
        vkt::CxStringA copy(text);
        vkt::CxStringA other;
        other = copy;
        vkt::CxStringA& same = other;
        other = same;   // assigned to itself: unchanged
        return std::string(other.Address(), static_cast<std::size_t>(other.Length()));
    });
    report("string bad length", [] {
        vkt::CxStringA text;
        text.Assign("abc", -1);
        return std::string("assigned");
    });
    report("string missing data", [] {
        vkt::CxStringA text;
        text.Assign(nullptr, 2);
        return std::string("assigned");
    });
    report("exception copies", [] {
        try {
            vkt::CxImage image(0, 1, 1, 8);
        } catch (const vkt::CxException& error) {
            const vkt::CxException copy(error);
            vkt::CxException other(vkt::ExStatus::Timeout, "other", "file", 1);
            other = copy;
            return std::to_string(other.Code()) + " " + other.Function();
        }
        return std::string("no error");
    });
    report("image empty", [] {
        const vkt::CxImage image;
        return std::to_string(image.Width()) + "x" + std::to_string(image.Height()) +
               (image.Address() == nullptr ? " no pixels" : " pixels");
    });
}

std::string text_setting(vkt::DIO::CxSN2200Param& param, const char* name) {
    vkt::CxStringA text;
    param.GetParam(name, &text, vkt::TxModel());
    return std::string(text.Address(), static_cast<std::size_t>(text.Length()));
}

void read_only_text() {
    vkt::DIO::CxSN2200 board;
    board.Open(0);
    vkt::DIO::CxSN2200Param param = vkt::DIO::CxSN2200Param::From(&board);
    for (const char* name : {"DriverVersionName", "FpgaVersionName"}) {
        report(std::string("text ") + name, [&] {
            const vkt::CxStringA text("9.9.9");
            param.SetParam(name, &text, vkt::TxModel());
            return text_setting(param, name);
        });
        report(std::string("text-after ") + name, [&] { return text_setting(param, name); });
    }
}

std::wstring wide(const std::string& utf8) {
    std::vector<wchar_t> out(utf8.size() + 1);
    const std::size_t n = std::mbstowcs(out.data(), utf8.c_str(), out.size());
    if (n == static_cast<std::size_t>(-1)) return L"";
    return std::wstring(out.data(), n);
}

template <class Board>
std::string opened(const Board& board) {
    return board.IsOpened() ? "opened" : "closed";
}

void wide_camera_files(const std::string& folder) {
    const std::string name = " \xF0\x9F\x93\xB7\xF0\x9F\x98\x80.txt";   // U+1F4F7 U+1F600
    const std::wstring ktx21 = wide(folder + "/KTX21" + name);
    const std::wstring ktx22 = wide(folder + "/KTX22" + name);
    const std::wstring mr250 = wide(folder + "/MR250" + name);
    using namespace vkt::Video;
    report("wide KTX21 from-file", [&] { return opened(CxKTX21::FromFile(ktx21.c_str(), -1)); });
    report("wide KTX21 from-file-id", [&] { return opened(CxKTX21::FromFile(ktx21.c_str(), 0, 0, -1)); });
    report("wide KTX21 setup", [&] {
        CxKTX21 board;
        board.Open(0, 0);
        board.Setup(ktx21.c_str(), -1);
        return opened(board);
    });
    report("wide KTX22 from-file", [&] { return opened(CxKTX22::FromFile(ktx22.c_str(), -1)); });
    report("wide KTX22 from-file-id", [&] { return opened(CxKTX22::FromFile(ktx22.c_str(), 0, 0, -1)); });
    report("wide KTX22 setup", [&] {
        CxKTX22 board;
        board.Open(0, 0);
        board.Setup(ktx22.c_str(), -1);
        return opened(board);
    });
    report("wide MR250 from-file", [&] { return opened(CxMR250::FromFile(mr250.c_str())); });
    report("wide MR250 from-file-id", [&] { return opened(CxMR250::FromFile(mr250.c_str(), 0, 0)); });
    report("wide MR250 setup", [&] {
        CxMR250 board;
        board.Open(0, 0);
        board.Setup(mr250.c_str());
        return opened(board);
    });
    for (const std::wstring* path : {&ktx21, &ktx22, &mr250}) {
        report("wide video from-file", [&] {
            return std::to_string(static_cast<int>(CxVideo::FromFile(path->c_str(), -1).DeviceType()));
        });
        report("wide video from-file-id", [&] {
            return std::to_string(static_cast<int>(CxVideo::FromFile(path->c_str(), 0, 0, -1).DeviceType()));
        });
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) return 2;
    value_classes();
    image_constructor();
    read_only_text();
    wide_camera_files(argv[1]);
    return 0;
}
