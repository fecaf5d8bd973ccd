// Bounded line reading for the line tools, and their shared failure reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/byte_stream.h"
#include "frame/tool_identity.h"

// Lines are read from a fixed block. A line, counting its line feed, is too
// long when it takes capacity - 1 bytes or more: the longest accepted is
// capacity - 3 bytes plus its line feed, or capacity - 2 bytes at the end of
// input without one.
struct LineBuffer {
    std::size_t capacity;  // the line limit; at least 2, at most stream_block_size
    OutputStream* output;  // written out before waiting for input; may be null
    std::size_t begin;     // first unread byte
    std::size_t end;       // one past the last byte read in
    bool input_ended;
    char bytes[stream_block_size];
};

// With an output, what earlier lines produced is written out before a read
// that may wait (a terminal, a pipe), so a pipeline sees each result as soon
// as its input has arrived.
void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output = nullptr);

enum class ReadResult { line, end_of_input, too_long, read_error, write_error };

// One line: every byte read, NUL bytes included, and its line feed if it has one.
struct LineText {
    const char* bytes;
    std::size_t length;
};

// Slow path of read_bounded_line: no whole line in the block yet.
ReadResult read_bounded_line_refilling(LineBuffer& buffer, InputStream& in, LineText& line);

// Reads the next line. The text stays valid until the next call. Most lines
// lie whole in the block, so that case is inline: one search and no call.
inline ReadResult read_bounded_line(LineBuffer& buffer, InputStream& in, LineText& line) {
    const char* start = buffer.bytes + buffer.begin;
    const std::size_t available = buffer.end - buffer.begin;
    const std::size_t limit = buffer.capacity - 1;  // the most one read may take
    const auto* feed =
        static_cast<const char*>(std::memchr(start, '\n', available < limit ? available : limit));
    if (feed != nullptr) {
        const auto length = static_cast<std::size_t>(feed - start) + 1;
        if (length != limit) {
            line = LineText{start, length};
            buffer.begin += length;
            return ReadResult::line;
        }
    }
    return read_bounded_line_refilling(buffer, in, line);
}

// "Line %lld too long!" on standard error; gives exit_line_too_long.
ExitStatus report_line_too_long(std::int64_t line_number);

// Ends a line tool's read loop on its last read result: writes out what is
// still buffered, reports a too-long line, a read failure or a write failure,
// and gives the exit status. line_number is the number of the line just read.
ExitStatus end_line_filter(ReadResult last, std::int64_t line_number, InputStream& in,
                           OutputStream& out);
