// What every file-reader fuzzer shares: the input as a file the library
// reads, the library kept quiet, and the line between the library's refusals
// (expected for most inputs) and a finding.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/control.h"
#include "vkt/exception.h"

namespace vkt_fuzz {

// A file of this process in memory-backed storage, removed when the fuzzer
// ends; `role` tells the files of one fuzzer apart.
class ScratchFile {
public:
    explicit ScratchFile(const char* role) {
        const char* folder = std::getenv("VKT_FUZZ_TMP");
        path_ = std::string(folder != nullptr ? folder : "/dev/shm") + "/vkt_fuzz_" +
                std::to_string(::getpid()) + "_" + role;
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { std::remove(path_.c_str()); }

    const char* path() const { return path_.c_str(); }

    void write(const std::uint8_t* data, std::size_t size) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) abort_with("cannot write the scratch file " + path_);
    }

    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    [[noreturn]] static void abort_with(const std::string& problem) {
        std::fprintf(stderr, "fuzz finding: %s\n", problem.c_str());
        std::abort();
    }

private:
    std::string path_;
};

// Runs `use`; a CxException is the library refusing the input, which is
// fine; it answers whether `use` went through. Any other exception escapes
// and ends the run as a finding.
template <class Use>
bool accepted(Use&& use) {
    try {
        use();
        return true;
    } catch (const vkt::CxException&) {
        return false;
    }
}

// Once per process: no journal (it would grow with every input) and the
// simulated boards at power-on.
inline void quiet_library() {
    static const bool done = [] {
        vkt::sim::reset();
        vkt::sim::set_journal(false);
        return true;
    }();
    (void)done;
}

}  // namespace vkt_fuzz
