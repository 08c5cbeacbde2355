#include "FuzzSupport.h"
#include "hearing/HearingTest.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

// One line of the data file through ParseRecordLine. The line sits in a block of exactly its size
// (the bytes up to the first NUL and the terminator), so AddressSanitizer stops any read past it.
// A record line is one with 0xF7 and an L after it. The name is the part before the 0xF7, cut to
// 127 bytes and terminated, and behind its terminator the name holds the rest of the line's first
// 128 bytes (zeros past its end). All twenty levels are set and above 0, and a second parse into a
// record filled with other bytes gives the same 208 bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::size_t length = strnlen(bytes, size);
    std::unique_ptr<char[]> line(new char[length + 1]);
    std::memcpy(line.get(), bytes, length);
    line[length] = '\0';

    PersonRecord first;
    PersonRecord second;
    std::memset(&first, 0xAA, sizeof first);
    std::memset(&second, 0x55, sizeof second);
    const bool parsed = HearingTest::ParseRecordLine(line.get(), first);
    FUZZ_CHECK(HearingTest::ParseRecordLine(line.get(), second) == parsed);

    const std::string_view text(line.get(), length);
    const std::size_t separator = text.find('\xF7');
    FUZZ_CHECK(parsed == (separator != text.npos && text.find('L', separator) != text.npos));
    if (!parsed) {
        return 0;
    }
    FUZZ_CHECK(SameBytes(first, second));

    char name[PersonRecord::NameSize] = {};
    std::memcpy(name, line.get(), std::min<std::size_t>(length, sizeof name));
    name[sizeof name - 1] = '\0';
    if (separator < sizeof name) {
        name[separator] = '\0';
    }
    FUZZ_CHECK(std::memcmp(first.name, name, sizeof name) == 0);
    FUZZ_CHECK(std::strlen(first.name) == std::min<std::size_t>(separator, 127));
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        FUZZ_CHECK(first.left[i] > 0 && first.right[i] > 0);
    }
    return 0;
}
