// Differential tests of the block line reader and the line tools' block
// engines against plain line-at-a-time models: random inputs, line limits,
// separators and group sizes, with input that arrives a few bytes at a time;
// and the places random data seldom reaches: every place of a line feed in a
// vector, lines across the seam between blocks, lines at the limit at the end.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/line_filter.h"
#include "reference_line_reader.h"

namespace {

// Feeds the input through a pipe in pieces of 1 to max_piece bytes.
Outcome block_read(const std::string& input, std::size_t capacity, std::size_t max_piece,
                   unsigned seed) {
    std::mt19937 rng(seed);
    return read_through_pipe(input, capacity, [&] { return 1 + rng() % max_piece; });
}

// Line lengths cluster around the limit so every boundary case comes up, and
// some inputs take the shapes the masks find hardest: long runs of blank
// lines, lines of 0 to 3 bytes, lines just within the limit, and tokens of a
// word or more between runs of blanks, all crossing words.
std::string random_input(std::mt19937& rng, std::size_t capacity) {
    const char alphabet[] = {' ', '\t', '\r', 'a', 'b', '\0', '\\'};
    std::string input;
    const unsigned shape = rng() % 5;
    const std::size_t lines = rng() % (shape == 0 ? 12 : 150);
    for (std::size_t i = 0; i < lines; ++i) {
        std::size_t length = rng() % (capacity + 3);
        if (shape == 1) {
            length = rng() % 4;
        } else if (shape == 2) {
            length = rng() % 3 == 0 ? length : 0;
        } else if (shape == 3) {
            length = capacity - 1 - std::min<std::size_t>(rng() % 4, capacity - 1);
        }
        const bool blank = rng() % (shape == 2 ? 2 : 4) == 0;
        const std::size_t kinds = blank ? 3 : sizeof alphabet;
        input += std::string(shape == 4 ? rng() % 70 : 0, alphabet[rng() % 3]) +
                 std::string(shape == 4 ? 64 + rng() % 80 : 0, alphabet[3 + rng() % 4]) +
                 std::string(shape == 4 ? rng() % 70 : 0, alphabet[rng() % 3]);
        for (std::size_t j = 0; j < length && shape != 4; ++j) {
            input += alphabet[rng() % kinds];
        }
        if (i + 1 < lines || rng() % 2 == 0) {
            input += '\n';
        }
    }
    return input;
}

TEST(LineReader, AgreesWithPlainReaderOnRandomInputWithEveryKit) {
    // The vector kit every processor of the kind has is built and tried.
#if defined(__x86_64__)
    EXPECT_TRUE(word_kit_usable(WordKit::sse));
#elif defined(__aarch64__)
    EXPECT_TRUE(word_kit_usable(WordKit::neon));
#endif
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000 && !HasFailure(); ++round) {
        const std::size_t capacity = 2 + rng() % 14;
        const std::string input = random_input(rng, capacity);
        const Outcome expected = reference_read(input, capacity);
        const std::size_t max_piece = 1 + rng() % 5;
        const unsigned seed = rng();
        with_every_kit([&](WordKit kit) {
            const Outcome actual = block_read(input, capacity, max_piece, seed);
            EXPECT_EQ(actual.lines, expected.lines) << "round " << round << " kit " << int(kit);
            EXPECT_EQ(actual.last, expected.last) << "round " << round << " kit " << int(kit);
        });
    }
}

TEST(LineTools, AgreeWithThePlainToolsOnRandomInputWithEveryKit) {
    const std::string separators[] = {"",
                                      ",",
                                      "\n",
                                      "; ",
                                      "<->",
                                      "<-->",
                                      "12345678",
                                      std::string(16, '-'),
                                      std::string(17, '+'),
                                      std::string(40, '=')};
    const std::int32_t groups[] = {-1, 1, 2, 3, 5, 64, 67, -2, INT32_MIN, INT32_MAX};
    std::mt19937 rng(4711);
    for (int round = 0; round < 1500 && !HasFailure(); ++round) {
        const std::size_t capacity = rng() % 8 == 0   ? 512
                                     : rng() % 4 == 0 ? 128 + rng() % 80
                                                      : 2 + rng() % 70;
        const std::string input = random_input(rng, capacity);
        const std::string& separator = separators[rng() % std::size(separators)];
        const std::int32_t group = groups[rng() % std::size(groups)];
        const unsigned piece_seed = rng();
        const std::size_t max_piece = 1 + rng() % 100;
        const bool from_file = rng() % 4 == 0;  // a regular file rather than a pipe
        const ToolOutcome joined = plain_quorva(input, capacity, group, separator);
        const ToolOutcome stripped = plain_pelku(input, capacity);
        with_every_kit([&](WordKit kit) {
            std::mt19937 piece_rng(piece_seed);
            std::function<std::size_t()> pieces = [&] { return 1 + piece_rng() % max_piece; };
            SCOPED_TRACE("round " + std::to_string(round) + " capacity " +
                         std::to_string(capacity) + " group " + std::to_string(group) +
                         " separator '" + separator + "' kit " + std::to_string(int(kit)));
            EXPECT_EQ(run_quorva(input, from_file ? nullptr : pieces, capacity, group, separator),
                      joined);
            EXPECT_EQ(run_pelku(input, from_file ? nullptr : pieces, capacity), stripped);
        });
    }
}

// A line feed, and a blank byte, at every place of a word and its neighbours,
// amid bytes of each kind, with every kit; in a second round the line up to it
// is one or two bytes within the limit, at it, or past it, by filler.
TEST(LineTools, FindLineFeedsAndBlanksAtEveryPlaceWithEveryKit) {
    for (const char filler : {'a', '\x8a', ' ', '\x0b'}) {  // \x8a: a line feed with its top bit
        for (std::size_t round = 0, place = 0; round < 384 && !HasFailure();
             place = ++round % 192) {
            const std::size_t capacity =
                round < 192 ? 512 : std::max<std::size_t>(2, place + 1 + std::uint8_t(filler) % 4);
            std::string input(192, filler);
            input[place] = '\n';
            input[(place * 7 + 3) % 192] = '\t';
            input += "z\n \n";
            const ToolOutcome joined = plain_quorva(input, capacity, 2, "");
            const ToolOutcome replaced = plain_quorva(input, capacity, 3, ";");
            const ToolOutcome stripped = plain_pelku(input, capacity);
            with_every_kit([&](WordKit kit) {
                SCOPED_TRACE(std::to_string(round) + " kit " + std::to_string(int(kit)));
                EXPECT_EQ(run_quorva(input, nullptr, capacity, 2, ""), joined);
                EXPECT_EQ(run_quorva(input, nullptr, capacity, 3, ";"), replaced);
                EXPECT_EQ(run_pelku(input, nullptr, capacity), stripped);
            });
        }
    }
}

// Lines one below, at and one above the limit that end a block, straddle the
// seam to the next or end the input.
TEST(LineReader, AgreesAtTheSeamsBetweenBlocksAndAtTheEnd) {
    for (const std::size_t capacity : {512u, 2048u}) {
        for (std::size_t length = capacity - 4; length <= capacity; ++length) {
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
                    EXPECT_EQ(run_quorva(whole, nullptr, capacity, 3, ";"),
                              plain_quorva(whole, capacity, 3, ";"));
                    EXPECT_EQ(run_pelku(whole, nullptr, capacity), plain_pelku(whole, capacity));
                }
            }
        }
    }
}

// Separators of each length the joins treat apart, after lines so short or
// absent that the output is many times the output buffer, with every kit. In
// groups, each run of empty lines starts at another place in a group.
TEST(LineTools, WriteOutputManyTimesTheirBufferWithEveryKit) {
    // Runs of empty ones fill whole words with line feeds, from the start
    // too, where the output buffer fills word by word from empty.
    std::string lines(64 * 200, '\n');
    for (std::size_t i = 0; i < 200000; ++i) {
        lines += std::string(i % 1000 < 600 ? 0 : i % 4, 'a') + '\n';
    }
    for (const std::int32_t group : {-1, 3, 64, 67}) {
        for (const char* separator :
             {"<>", "<->", "<-->", "12345678", "0123456789abcdef", "<--- 17 bytes -->"}) {
            const ToolOutcome expected = plain_quorva(lines, 2048, group, separator);
            with_every_kit([&](WordKit) {
                EXPECT_EQ(run_quorva(lines, varied_pieces(5000), 2048, group, separator), expected)
                    << separator << " " << group;
                EXPECT_EQ(run_quorva(lines, nullptr, 2048, group, separator), expected)
                    << separator << " " << group;
            });
        }
    }
}

// A join whose output fills its buffer to every place near the room kept
// for a word, then meets words that write the most a line at a time: a byte
// of text and 63 line feeds, each joined by the longest padded separator.
TEST(LineTools, FillTheOutputBufferToEveryPlaceBeforeAWordOfMostOutput) {
    std::string dense;
    for (int word = 0; word < 80; ++word) {
        dense += 'a' + std::string(63, '\n');
    }
    for (std::size_t first = 0; first < 64; ++first) {
        const std::string lines = std::string(first, 'b') + '\n' + dense;
        const ToolOutcome expected = plain_quorva(lines, 2048, -1, "0123456789abcdef");
        with_every_kit([&](WordKit) {
            EXPECT_EQ(run_quorva(lines, nullptr, 2048, -1, "0123456789abcdef"), expected) << first;
        });
    }
}

}  // namespace
