// Bounded line reading over a block buffer: no per-line library call, and the
// length of every line is known, so NUL bytes are ordinary bytes.
#include "frame/line_filter.h"

#include <cstdio>
#include <cstring>

void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output) {
    buffer.capacity = capacity;
    buffer.output = output;
    buffer.begin = 0;
    buffer.end = 0;
    buffer.input_ended = false;
}

ReadResult read_bounded_line_refilling(LineBuffer& buffer, InputStream& in, LineText& line) {
    const std::size_t limit = buffer.capacity - 1;  // the most one read may take
    for (;;) {
        const char* start = buffer.bytes + buffer.begin;
        const std::size_t available = buffer.end - buffer.begin;
        const std::size_t window = available < limit ? available : limit;
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', window));
        if (feed != nullptr) {
            const auto length = static_cast<std::size_t>(feed - start) + 1;
            if (length == limit) {
                return ReadResult::too_long;
            }
            line = LineText{start, length};
            buffer.begin += length;
            return ReadResult::line;
        }
        if (available >= limit) {
            return ReadResult::too_long;
        }
        if (buffer.input_ended) {
            if (available == 0) {
                return ReadResult::end_of_input;
            }
            line = LineText{start, available};
            buffer.begin = buffer.end;
            return ReadResult::line;
        }
        // Keep the unfinished line and read more behind it. It is shorter than
        // the limit, so the block always has room.
        if (buffer.begin != 0) {
            std::memmove(buffer.bytes, start, available);
            buffer.begin = 0;
            buffer.end = available;
        }
        if (in.may_wait && buffer.output != nullptr && !flush_output(*buffer.output)) {
            return ReadResult::write_error;
        }
        const long n = read_some(in, buffer.bytes + buffer.end, sizeof buffer.bytes - buffer.end);
        if (n < 0) {
            return ReadResult::read_error;
        }
        if (n == 0) {
            buffer.input_ended = true;
        } else {
            buffer.end += static_cast<std::size_t>(n);
        }
    }
}

ExitStatus report_line_too_long(std::int64_t line_number) {
    std::fprintf(stderr, "Line %lld too long!\n", static_cast<long long>(line_number));
    return exit_line_too_long;
}

ExitStatus end_line_filter(ReadResult last, std::int64_t line_number, InputStream& in,
                           OutputStream& out) {
    // What earlier lines produced stays written, whatever stopped the loop.
    const bool written = finish_output(out);
    ExitStatus status = exit_success;
    if (last == ReadResult::too_long) {
        status = report_line_too_long(line_number);
    } else if (last == ReadResult::read_error) {
        status = report_read_failure(in);
    }
    return written && last != ReadResult::write_error ? status : report_write_failure(out);
}
