// The obvious bounded line reader, one byte at a time, that the block line
// reader is checked against (by its unit test and by its fuzz target).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "frame/line_filter.h"

struct Outcome {
    std::vector<std::string> lines;
    ReadResult last;
};

// At most capacity - 1 bytes up to and including the first line feed; taking
// capacity - 1 bytes means too long.
inline Outcome reference_read(const std::string& input, std::size_t capacity) {
    Outcome outcome{{}, ReadResult::end_of_input};
    std::size_t at = 0;
    while (at < input.size()) {
        std::size_t taken = 0;
        while (at + taken < input.size() && taken < capacity - 1) {
            ++taken;
            if (input[at + taken - 1] == '\n') {
                break;
            }
        }
        if (taken == capacity - 1) {
            outcome.last = ReadResult::too_long;
            return outcome;
        }
        outcome.lines.push_back(input.substr(at, taken));
        at += taken;
    }
    return outcome;
}
