#include "FuzzSupport.h"
#include "support/TextString.h"

#include <cstring>
#include <string>

namespace {

struct Line {
    std::int32_t result;
    std::string text;
    std::size_t next; // file position of the following line
};

// The plain reading of a line: it ends at the first CR or LF, which takes its partner (LF after
// CR, CR after LF) along. Its text is read in pieces of 128 bytes from the start of the line, and a
// NUL ends the text of its piece (the bytes behind it are still part of the line).
Line ReferenceLine(const std::string& bytes, std::size_t start) {
    if (start >= bytes.size()) {
        return {-1, "", start};
    }
    std::size_t end = bytes.find_first_of("\r\n", start);
    std::size_t next = end == bytes.npos ? bytes.size() : end + 1;
    if (end == bytes.npos) {
        end = bytes.size();
    } else if (next < bytes.size() && bytes[next] == (bytes[end] == '\r' ? '\n' : '\r')) {
        ++next;
    }
    std::string text;
    for (std::size_t piece = start; piece < end; piece += 128) {
        std::string chunk = bytes.substr(piece, std::min<std::size_t>(128, end - piece));
        text += chunk.substr(0, chunk.find('\0'));
    }
    return {static_cast<std::int32_t>(end - start), text, next};
}

} // namespace

// The line reader over a file of arbitrary bytes, one fresh string per line as the data file is
// read. Result, text and the file position behind each line agree with the plain reading, the end
// of the file appends nothing, and the texts joined with the line ends between the positions give
// back the file (whole when it holds no NUL).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = WriteFuzzFile("lines.def", bytes);
    FileHandle file = FileOpen(path.c_str(), FileOpenRead);
    FUZZ_CHECK(file != FileError);

    std::string joined;
    std::size_t position = 0;
    for (;;) {
        const Line expected = ReferenceLine(bytes, position);
        TextString line;
        const std::int32_t result = line.LineReader(file);
        const std::int32_t next = FileSeek(file, 0, FileSeekCurrent);
        FUZZ_CHECK(result == expected.result);
        FUZZ_CHECK(line.Text() == expected.text);
        FUZZ_CHECK(next >= 0 && static_cast<std::size_t>(next) == expected.next);
        if (result < 0) {
            FUZZ_CHECK(line.Buffer() == nullptr);
            break;
        }
        const std::string lineEnd =
            bytes.substr(position + result, expected.next - position - result);
        FUZZ_CHECK(lineEnd.empty() ? expected.next == size
                                   : lineEnd == "\r" || lineEnd == "\n" || lineEnd == "\r\n" ||
                                         lineEnd == "\n\r");
        joined += line.Text() + lineEnd;
        position = expected.next;
    }
    FUZZ_CHECK(FileClose(file) == 0);
    FUZZ_CHECK(position == size);
    if (bytes.find('\0') == bytes.npos) {
        FUZZ_CHECK(joined == bytes);
    }
    return 0;
}
