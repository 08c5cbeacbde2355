#include "FuzzSupport.h"
#include "support/TextString.h"

#include <algorithm>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

namespace {

// One handle of each kind on its own copy of the file: FileOpen gives the buffered one, a plain
// open() a descriptor the file calls read straight from the system.
struct Pair {
    FileHandle buffered;
    FileHandle plain;
};

void SameSeek(const Pair& pair, std::int32_t offset, int origin) {
    const std::int32_t buffered = FileSeek(pair.buffered, offset, origin);
    FUZZ_CHECK(buffered == FileSeek(pair.plain, offset, origin));
}

void SameRead(const Pair& pair, std::uint32_t bytes) {
    std::vector<char> buffered(bytes + 1), plain(bytes + 1);
    const std::uint32_t got = FileRead(pair.buffered, buffered.data(), bytes);
    FUZZ_CHECK(got == FileRead(pair.plain, plain.data(), bytes));
    if (got != FileIoError) {
        FUZZ_CHECK(std::equal(buffered.begin(), buffered.begin() + got, plain.begin()));
    }
}

std::int32_t SameLine(const Pair& pair) {
    TextString buffered, plain;
    const std::int32_t result = buffered.LineReader(pair.buffered);
    FUZZ_CHECK(result == plain.LineReader(pair.plain));
    FUZZ_CHECK(std::string(buffered.Text()) == plain.Text());
    return result;
}

} // namespace

// The file layer's read buffer against plain reads of the same bytes. The file is a piece of
// arbitrary bytes repeated, so that it spans several 64 KB buffers; a script of reads of any size,
// seeks from the start, the current position and the end, lines read by the line reader, short
// writes and cuts goes to both handles. Every result, every byte and every line must agree, the
// positions after each step too, and at the end both files hold the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int copies = input.ConsumeIntegralInRange(1, 48);
    const std::string piece = input.ConsumeRandomLengthString(4096);
    std::string bytes;
    for (int i = 0; i < copies; ++i) {
        bytes += piece;
    }
    const std::string bufferedPath = WriteFuzzFile("buffered.def", bytes);
    const std::string plainPath = WriteFuzzFile("plain.def", bytes);
    const Pair pair{FileOpen(bufferedPath.c_str(), FileOpenReadWrite),
                    open(plainPath.c_str(), O_RDWR | O_CLOEXEC)};
    FUZZ_CHECK(pair.buffered != FileError && pair.plain >= 0);

    const std::int32_t length = static_cast<std::int32_t>(bytes.size());
    for (int step = 0; step < 200 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            SameRead(pair, input.ConsumeIntegralInRange<std::uint32_t>(0, 300));
            break;
        case 1:
            SameRead(pair, input.PickValueInArray<std::uint32_t>(
                               {128, 129, 65535, 65536, 65537, 140000, 300000}));
            break;
        case 2:
            SameSeek(pair, input.ConsumeIntegralInRange(-70000, 70000), FileSeekCurrent);
            break;
        case 3:
            SameSeek(pair, input.ConsumeIntegralInRange(-10, length + 10), FileSeekBegin);
            break;
        case 4:
            SameSeek(pair, input.ConsumeIntegralInRange(-length - 10, 10), FileSeekEnd);
            break;
        case 5: {
            const std::string text = input.ConsumeRandomLengthString(16);
            const std::uint32_t written =
                FileWrite(pair.buffered, text.data(), static_cast<std::uint32_t>(text.size()));
            FUZZ_CHECK(written ==
                       FileWrite(pair.plain, text.data(), static_cast<std::uint32_t>(text.size())));
            break;
        }
        case 6:
            FUZZ_CHECK(FileSetEnd(pair.buffered) == FileSetEnd(pair.plain));
            break;
        default:
            SameLine(pair);
            break;
        }
        SameSeek(pair, 0, FileSeekCurrent);
    }
    // The rest, line by line.
    while (SameLine(pair) >= 0) {
    }
    FUZZ_CHECK(FileClose(pair.buffered) == 0 && FileClose(pair.plain) == 0);
    FUZZ_CHECK(FuzzFolder().Read("buffered.def") == FuzzFolder().Read("plain.def"));
    return 0;
}
