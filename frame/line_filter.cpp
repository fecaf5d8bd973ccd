// Bounded line reading over blocks: the line feeds of a block are found in
// one pass, and the tools go through them with no call per line. The length
// of every line is known, so NUL bytes are ordinary bytes.
#include "frame/line_filter.h"

#include <cstdio>
#include <cstring>

#include "frame/line_scan.h"

void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output) {
    buffer.capacity = capacity;
    buffer.output = output;
    buffer.begin = line_block_offset;
    buffer.end = line_block_offset;
    buffer.input_ended = false;
    buffer.output_refused = false;
    buffer.refused_length = 0;
}

ReadResult read_line_block(LineBuffer& buffer, InputStream& in, LineBlock& block) {
    const std::size_t limit = buffer.capacity - 1;  // the most one read may take
    if (buffer.input_ended) {
        return ReadResult::end_of_input;  // the last line, if any, was given
    }
    // What follows the lines given is the start of a line whose line feed
    // has not come: too long once it holds the limit, since no line feed can
    // shorten it. Otherwise it goes in front of the block, where it fits.
    const std::size_t carried = buffer.end - buffer.begin;
    if (carried >= limit) {
        return ReadResult::too_long;
    }
    const std::size_t begin = line_block_offset - carried;
    if (carried > 0 && buffer.begin != begin) {
        std::memmove(buffer.bytes + begin, buffer.bytes + buffer.begin, carried);
    }
    buffer.begin = begin;
    buffer.end = line_block_offset;
    if (in.may_wait && buffer.output != nullptr &&
        (buffer.output_refused || !flush_output(*buffer.output))) {
        return ReadResult::write_error;
    }
    const long read = read_some(in, buffer.bytes + line_block_offset, line_block_size);
    if (read < 0) {
        return ReadResult::read_error;
    }
    buffer.end += static_cast<std::size_t>(read);
    buffer.input_ended = read == 0;
    if (buffer.input_ended && carried == 0) {
        return ReadResult::end_of_input;
    }
    std::size_t count = find_line_feeds(buffer.bytes, begin, buffer.end, buffer.feeds);
    // The carried line was shorter than the limit, so at the end of input it
    // is a last line without a line feed, one byte longer than one with may be.
    std::size_t longest = limit;
    if (buffer.input_ended) {
        buffer.feeds[count++] = static_cast<std::uint32_t>(buffer.end);
        longest = limit + 1;
    }
    // A line too long ends the block before it; the next call reports it.
    std::size_t line = begin;
    for (std::size_t i = 0; i < count; ++i) {
        if (buffer.feeds[i] + 1 - line >= longest) {
            count = i;
            break;
        }
        line = buffer.feeds[i] + 1;
    }
    buffer.begin = line;
    block = LineBlock{buffer.bytes,         buffer.feeds,        count,
                      buffer.bytes + begin, buffer.bytes + line, buffer.input_ended};
    return ReadResult::line;
}

bool write_block_output(LineBuffer& buffer, OutputStream& out, const char* bytes,
                        std::size_t length) {
    if (!buffer.output_refused && write_unbuffered(out, bytes, length)) {
        return true;
    }
    buffer.output_refused = true;
    buffer.refused_length += length;
    return buffer.refused_length <= stream_block_size;
}

ExitStatus report_line_too_long(std::int64_t line_number) {
    std::fprintf(stderr, "Line %lld too long!\n", static_cast<long long>(line_number));
    return exit_line_too_long;
}

ExitStatus end_line_filter(const LineBuffer& buffer, ReadResult last, std::int64_t line_number,
                           InputStream& in, OutputStream& out) {
    // What earlier lines produced stays written, whatever stopped the loop.
    const bool written = finish_output(out) && !buffer.output_refused;
    ExitStatus status = exit_success;
    if (last == ReadResult::too_long) {
        status = report_line_too_long(line_number);
    } else if (last == ReadResult::read_error) {
        status = report_read_failure(in);
    }
    return written && last != ReadResult::write_error ? status : report_write_failure(out);
}
