// The obvious bounded line reader, one byte at a time, that the block line
// reader is checked against (by its unit test and by its fuzz target), and the
// block line reader fed through a pipe in pieces, so lines arrive split.
#pragma once

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

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

// Reads input with the block line reader while another thread writes it into
// a pipe, each write carrying next_piece() bytes (at least 1).
inline Outcome read_through_pipe(const std::string& input, std::size_t capacity,
                                 const std::function<std::size_t()>& next_piece) {
    std::signal(SIGPIPE, SIG_IGN);  // the reader may stop early at a too-long line
    int fds[2];
    if (pipe(fds) != 0) {
        std::abort();
    }
    std::thread writer([&] {
        std::size_t at = 0;
        while (at < input.size()) {
            const std::size_t piece =
                std::min(std::max<std::size_t>(next_piece(), 1), input.size() - at);
            const ssize_t n = write(fds[1], input.data() + at, piece);
            if (n <= 0) {
                break;
            }
            at += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    InputStream in{fds[0], "pipe", true, true};
    LineBuffer buffer;
    init_line_buffer(buffer, capacity);
    Outcome outcome;
    LineText line;
    while ((outcome.last = read_bounded_line(buffer, in, line)) == ReadResult::line) {
        outcome.lines.emplace_back(line.bytes, line.length);
    }
    close_input(in);  // lets a writer blocked on a full pipe finish
    writer.join();
    return outcome;
}
