// Differential test of the block line reader against a plain bounded reader:
// random inputs, small line limits, and input that arrives a few bytes at a time.
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

std::string random_input(std::mt19937& rng, std::size_t capacity) {
    // Line lengths cluster around the limit so every boundary case comes up.
    const char alphabet[] = {'a', 'b', '\r', '\0', ' ', '\\', '\n'};
    std::string input;
    const std::size_t lines = rng() % 12;
    for (std::size_t i = 0; i < lines; ++i) {
        const std::size_t length = rng() % (capacity + 3);
        for (std::size_t j = 0; j < length; ++j) {
            input += alphabet[rng() % (sizeof alphabet - 1)];
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

TEST(LineReader, AgreesAroundTheLimitsOfBothTools) {
    for (std::size_t capacity : {512u, 2048u}) {
        for (std::size_t length = capacity - 3; length <= capacity + 1; ++length) {
            const std::string line(length, 'x');
            for (const std::string& input :
                 {line + "\n", line, "a\n" + line + "\nb\n", "a\n" + line}) {
                const Outcome expected = reference_read(input, capacity);
                const Outcome actual = block_read(input, capacity, 7, 1);
                EXPECT_EQ(actual.lines, expected.lines) << "length " << length;
                EXPECT_EQ(actual.last, expected.last) << "length " << length;
            }
        }
    }
}

}  // namespace
