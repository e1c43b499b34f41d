// Lines read from a file come in chunks; a line end may fall on a chunk's
// edge, a CR in one chunk and its LF in the next.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "base/FileHandle.h"
#include "base/LineReader.h"

namespace corvane {
namespace {

std::vector<std::string> linesOf(LineReader& reader) {
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}

TEST(LineReader, AFileGivesTheSameLinesAsItsBytesWhateverMeetsAChunkEdge) {
    // Short lines of LF, CR LF and lone CR ends, the CR LF pairs placed
    // across every offset near the reader's 256 KiB chunks.
    std::mt19937 random(11);
    std::string bytes;
    const char* ends[] = {"\n", "\r\n", "\r"};
    while (bytes.size() < (1u << 20)) {
        bytes.append(random() % 40, 'x');
        bytes += ends[random() % 3];
    }
    for (std::size_t edge = (256u << 10) - 3; edge <= (256u << 10) + 1; ++edge) {
        std::string shifted = bytes;
        shifted.replace(edge, 2, "\r\n");
        test::TempDir dir;
        const auto file = openFile(dir.write("lines.txt", shifted), "rb");
        LineReader fromFile(file.get());
        LineReader fromBytes(shifted);
        const auto expected = linesOf(fromBytes);
        EXPECT_EQ(linesOf(fromFile), expected) << "CR LF at " << edge;
        EXPECT_GT(expected.size(), 30000u);
    }
    // The three line ends alike, and a last line without one.
    LineReader mixed(std::string_view("a\nb\r\nc\rd"));
    EXPECT_EQ(linesOf(mixed), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_FALSE(mixed.terminated());
}

}  // namespace
}  // namespace corvane
