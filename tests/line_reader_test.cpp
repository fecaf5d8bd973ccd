// Differential tests of the block line reader and the line tools' block
// engines against plain line-at-a-time models: random inputs, line limits,
// separators and group sizes, with input that arrives a few bytes at a time;
// and the places random data seldom reaches: every place of a line feed in a
// vector, lines across the seam between blocks, lines at the limit at the end.
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/byte_scan.h"
#include "frame/line_filter.h"
#include "reference_line_reader.h"

namespace {

// Feeds the input through a pipe in pieces of 1 to max_piece bytes.
Outcome block_read(const std::string& input, std::size_t capacity, std::size_t max_piece,
                   unsigned seed) {
    std::mt19937 rng(seed);
    return read_through_pipe(input, capacity, [&] { return 1 + rng() % max_piece; });
}

std::string random_input(std::mt19937& rng, std::size_t capacity) {
    // Line lengths cluster around the limit so every boundary case comes up;
    // some lines hold only blank bytes.
    const char alphabet[] = {' ', '\t', '\r', 'a', 'b', '\0', '\\'};
    std::string input;
    const std::size_t lines = rng() % 12;
    for (std::size_t i = 0; i < lines; ++i) {
        const std::size_t length = rng() % (capacity + 3);
        const std::size_t kinds = rng() % 4 == 0 ? 3 : sizeof alphabet;
        for (std::size_t j = 0; j < length; ++j) {
            input += alphabet[rng() % kinds];
        }
        if (i + 1 < lines || rng() % 2 == 0) {
            input += '\n';
        }
    }
    return input;
}

TEST(LineReader, AgreesWithPlainReaderOnRandomInput) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t capacity = 2 + rng() % 14;
        const std::string input = random_input(rng, capacity);
        const Outcome expected = reference_read(input, capacity);
        const Outcome actual = block_read(input, capacity, 1 + rng() % 5, rng());
        ASSERT_EQ(actual.lines, expected.lines) << "round " << round << " capacity " << capacity;
        ASSERT_EQ(actual.last, expected.last) << "round " << round << " capacity " << capacity;
    }
}

TEST(LineTools, AgreeWithThePlainToolsOnRandomInput) {
    const std::string separators[] = {"", ",", "\n", "; ", "<->", std::string(40, '=')};
    const std::int32_t groups[] = {-1, 1, 2, 3, 5, -2, INT32_MIN, INT32_MAX};
    std::mt19937 rng(4711);
    for (int round = 0; round < 1500; ++round) {
        const std::size_t capacity = 2 + rng() % 70;
        const std::string input = random_input(rng, capacity);
        const std::string& separator = separators[rng() % std::size(separators)];
        const std::int32_t group = groups[rng() % std::size(groups)];
        std::mt19937 piece_rng(rng());
        const std::size_t max_piece = 1 + rng() % 100;
        std::function<std::size_t()> pieces = [&] { return 1 + piece_rng() % max_piece; };
        if (rng() % 4 == 0) {
            pieces = nullptr;  // a regular file
        }
        SCOPED_TRACE("round " + std::to_string(round) + " capacity " + std::to_string(capacity) +
                     " group " + std::to_string(group) + " separator '" + separator + "'");
        ASSERT_EQ(run_line_tool(input, pieces,
                                [&](InputStream& in, OutputStream& out) {
                                    return join_lines(in, out, capacity, group, separator.c_str());
                                }),
                  plain_quorva(input, capacity, group, separator));
        ASSERT_EQ(run_line_tool(input, pieces,
                                [&](InputStream& in, OutputStream& out) {
                                    return strip_blank_lines(in, out, capacity);
                                }),
                  plain_pelku(input, capacity));
    }
}

TEST(LineFeeds, AreFoundAtEveryPlaceOfAVector) {
    alignas(64) char bytes[256];
    std::uint32_t feeds[256 + 3];
    for (const char filler : {'a', '\x8a', '\x0b'}) {  // \x8a is a line feed with its top bit set
        for (std::size_t feed = 0; feed < sizeof bytes; ++feed) {
            std::memset(bytes, filler, sizeof bytes);
            bytes[feed] = '\n';
            for (const std::size_t begin : {0u, 64u}) {
                for (const std::size_t end : {192u, 256u}) {
                    const bool inside = begin <= feed && feed < end;
                    ASSERT_EQ(find_line_feeds(bytes, begin, end, feeds), inside ? 1u : 0u)
                        << "line feed at " << feed << " in " << begin << " to " << end;
                    ASSERT_TRUE(!inside || feeds[0] == feed);
                }
            }
        }
    }
}

// Lines one below, at and one above the limit that end a block, straddle the
// seam to the next or end the input.
TEST(LineReader, AgreesAtTheSeamsBetweenBlocksAndAtTheEnd) {
    for (const std::size_t capacity : {512u, 2048u}) {
        for (std::size_t length = capacity - 3; length <= capacity - 1; ++length) {
            for (const std::size_t before_seam : {length + 1, length / 2, std::size_t{0}}) {
                std::string input(line_block_size - before_seam, 'f');
                for (std::size_t feed = 49; feed < input.size(); feed += 50) {
                    input[feed] = '\n';
                }
                input.back() = '\n';
                input += std::string(length, 'x') + "\nlast";
                for (const std::string& whole : {input, input.substr(0, input.size() - 5)}) {
                    SCOPED_TRACE(std::to_string(capacity) + " " + std::to_string(length) + " " +
                                 std::to_string(before_seam) + " " + std::to_string(whole.size()));
                    const Outcome expected = reference_read(whole, capacity);
                    static LineBuffer buffer;  // from a file, each read fills a whole block
                    init_line_buffer(buffer, capacity);
                    Outcome actual;
                    read_from_file(whole,
                                   [&](InputStream& in) { actual = read_all_lines(buffer, in); });
                    EXPECT_EQ(actual.lines, expected.lines);
                    EXPECT_EQ(actual.last, expected.last);
                    EXPECT_EQ(run_line_tool(whole, nullptr,
                                            [&](InputStream& in, OutputStream& out) {
                                                return join_lines(in, out, capacity, 3, ";");
                                            }),
                              plain_quorva(whole, capacity, 3, ";"));
                    EXPECT_EQ(run_line_tool(whole, nullptr,
                                            [&](InputStream& in, OutputStream& out) {
                                                return strip_blank_lines(in, out, capacity);
                                            }),
                              plain_pelku(whole, capacity));
                }
            }
        }
    }
}

}  // namespace
