// A test-only fuzzer for the fuzzing stage's check of itself: an input that
// begins with "overread" makes it read one byte past its copy of the input,
// which AddressSanitizer must report and the stage must notice.
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || std::memcmp(data, "overread", 8) != 0) return 0;
    auto copy = std::make_unique<char[]>(size);
    std::memcpy(copy.get(), data, size);
    volatile char past_the_end = copy[size];
    (void)past_the_end;
    return 0;
}
