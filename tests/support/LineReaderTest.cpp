#include "support/ScratchFolder.h"
#include "support/TextString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Line {
    std::int32_t result;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.result << " '" << line.text << "'";
}

// Reads the file with one fresh string per call, as the data file does, until -1.
class LineReaderFile : public ::testing::Test {
protected:
    std::vector<Line> ReadAll(const std::string& bytes) {
        folder.Write("lines.def", bytes);
        FileHandle file = FileOpen(folder.Path("lines.def").c_str(), FileOpenRead);
        EXPECT_NE(file, FileError);
        std::vector<Line> lines;
        for (int guard = 0; guard < 1000; ++guard) {
            TextString line;
            std::int32_t result = line.LineReader(file);
            if (result < 0) {
                EXPECT_EQ(line.Buffer(), nullptr) << "the end of the file appends nothing";
                break;
            }
            lines.push_back({result, line.Text()});
        }
        FileClose(file);
        return lines;
    }

    ScratchFolder folder;
};

TEST_F(LineReaderFile, EveryLineEndForm) {
    EXPECT_EQ(ReadAll("ab\r\ncd"), (std::vector<Line>{{2, "ab"}, {2, "cd"}}));
    EXPECT_EQ(ReadAll("ab\ncd\n"), (std::vector<Line>{{2, "ab"}, {2, "cd"}}));
    EXPECT_EQ(ReadAll("ab\rcd\r"), (std::vector<Line>{{2, "ab"}, {2, "cd"}}));
    EXPECT_EQ(ReadAll("ab\n\rcd\n\r"), (std::vector<Line>{{2, "ab"}, {2, "cd"}}));
}

TEST_F(LineReaderFile, DoubledLineEndsHoldAnEmptyLine) {
    EXPECT_EQ(ReadAll("\r\n\r\n"), (std::vector<Line>{{0, ""}, {0, ""}}));
    EXPECT_EQ(ReadAll("a\r\rb"), (std::vector<Line>{{1, "a"}, {0, ""}, {1, "b"}}));
    EXPECT_EQ(ReadAll("a\n\nb"), (std::vector<Line>{{1, "a"}, {0, ""}, {1, "b"}}));
    EXPECT_EQ(ReadAll("a\r\n\n\rb"), (std::vector<Line>{{1, "a"}, {0, ""}, {1, "b"}}));
}

TEST_F(LineReaderFile, EmptyFileEndsAtOnce) {
    EXPECT_TRUE(ReadAll("").empty());
}

TEST_F(LineReaderFile, LastLineWithoutLineEnd) {
    EXPECT_EQ(ReadAll("only"), (std::vector<Line>{{4, "only"}}));
}

TEST_F(LineReaderFile, LineOfExactly128CharactersLeavesThePositionBehindItsLineEnd) {
    std::string full(128, 'a');
    folder.Write("lines.def", full + "\r\nnext");
    FileHandle file = FileOpen(folder.Path("lines.def").c_str(), FileOpenRead);
    TextString line;
    EXPECT_EQ(line.LineReader(file), 128);
    EXPECT_EQ(std::string(line.Text()), full);
    EXPECT_EQ(FileSeek(file, 0, FileSeekCurrent), 130);
    TextString next;
    EXPECT_EQ(next.LineReader(file), 4);
    EXPECT_STREQ(next.Text(), "next");
    FileClose(file);
    EXPECT_EQ(ReadAll(full), (std::vector<Line>{{128, full}}));
}

TEST_F(LineReaderFile, LineEndOnThe128thByteIsCompletedByTheLookAhead) {
    std::string text(127, 'b');
    EXPECT_EQ(ReadAll(text + "\r\nx"), (std::vector<Line>{{127, text}, {1, "x"}}));
    EXPECT_EQ(ReadAll(text + "\n\rx"), (std::vector<Line>{{127, text}, {1, "x"}}));
}

TEST_F(LineReaderFile, LookAheadThatIsNoPartnerIsGivenBack) {
    std::string text(127, 'c');
    EXPECT_EQ(ReadAll(text + "\ry"), (std::vector<Line>{{127, text}, {1, "y"}}));
    EXPECT_EQ(ReadAll(text + "\r\ry"), (std::vector<Line>{{127, text}, {0, ""}, {1, "y"}}));
    EXPECT_EQ(ReadAll(text + "\n\ny"), (std::vector<Line>{{127, text}, {0, ""}, {1, "y"}}));
}

TEST_F(LineReaderFile, LineEndAsTheFilesLastByteOnThe128thByte) {
    std::string text(127, 'd');
    EXPECT_EQ(ReadAll(text + "\r"), (std::vector<Line>{{127, text}}));
    EXPECT_EQ(ReadAll(text + "\n"), (std::vector<Line>{{127, text}}));
}

TEST_F(LineReaderFile, LongLinesSpanSeveralChunks) {
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    EXPECT_EQ(ReadAll(text + "\r\n" + text), (std::vector<Line>{{400, text}, {400, text}}));
    std::string exact(256, 'z');
    EXPECT_EQ(ReadAll(exact + "\n" + "w"), (std::vector<Line>{{256, exact}, {1, "w"}}));
}

TEST_F(LineReaderFile, NulInsideALineEndsTheTextButItsBytesAreConsumed) {
    EXPECT_EQ(ReadAll(std::string("ab\0cd\r\nef", 9)), (std::vector<Line>{{5, "ab"}, {2, "ef"}}));
}

TEST_F(LineReaderFile, TextOfALongLineEndsAtEachChunksNulAndGoesOnBehindIt) {
    const std::string a(128, 'a'), b(128, 'b'), c(10, 'c');
    std::string bytes = a + b + c;
    bytes[128 + 20] = '\0';
    EXPECT_EQ(ReadAll(bytes + "\n"), (std::vector<Line>{{266, a + b.substr(0, 20) + c}}));
    bytes = std::string(1, '\0') + a.substr(1) + b;
    EXPECT_EQ(ReadAll(bytes), (std::vector<Line>{{256, b}}));
}

TEST_F(LineReaderFile, ChunkThatFindsNoRoomIsLeftOutAndTheNextGoesBehindWhatWasKept) {
    const std::string a(128, 'a'), b(128, 'b'), c(10, 'c');
    // Room for the first chunk (a block of 136 bytes) and, growing from it, for the short last
    // one (216 bytes), but not for the second (396 bytes).
    TextString::LimitAllocations(230);
    const std::vector<Line> lines = ReadAll(a + b + c + "\r\n");
    TextString::LimitAllocations(TextString::WholeText);
    EXPECT_EQ(lines, (std::vector<Line>{{266, a + c}}));
}

TEST_F(LineReaderFile, AppendsToWhatTheStringHolds) {
    folder.Write("lines.def", "line\r\n");
    FileHandle file = FileOpen(folder.Path("lines.def").c_str(), FileOpenRead);
    TextString text;
    text.Assign("x");
    EXPECT_EQ(text.LineReader(file), 4);
    EXPECT_STREQ(text.Text(), "xline");
    EXPECT_EQ(text.LineReader(file), -1);
    EXPECT_STREQ(text.Text(), "xline");
    FileClose(file);
}

TEST_F(LineReaderFile, ReadErrorAppendsNothing) {
    folder.Write("lines.def", "secret\r\n");
    // A handle opened for writing only cannot be read from.
    FileHandle file = FileOpen(folder.Path("lines.def").c_str(), FileOpenWrite);
    ASSERT_NE(file, FileError);
    TextString text;
    text.Assign("kept");
    EXPECT_EQ(text.LineReader(file), -1);
    EXPECT_STREQ(text.Text(), "kept");
    FileClose(file);
}

TEST(TextStringWriteTo, WritesExactlyTheCharacters) {
    ScratchFolder folder;
    FileHandle file = FileCreate(folder.Path("out.def").c_str(), FileAttributeNormal);
    ASSERT_NE(file, FileError);
    TextString empty;
    EXPECT_EQ(empty.WriteTo(file), 1);
    TextString text;
    text.Assign("Anna\xF7 L 50\r\n");
    EXPECT_EQ(text.WriteTo(file), 1);
    FileClose(file);
    EXPECT_EQ(folder.Read("out.def"), "Anna\xF7 L 50\r\n");
}

TEST(TextStringWriteTo, ReportsAFailedWrite) {
    ScratchFolder folder;
    folder.Write("in.def", "old");
    FileHandle file = FileOpen(folder.Path("in.def").c_str(), FileOpenRead);
    ASSERT_NE(file, FileError);
    TextString text;
    text.Assign("new");
    EXPECT_EQ(text.WriteTo(file), 0);
    FileClose(file);
    EXPECT_EQ(folder.Read("in.def"), "old");
}

} // namespace
