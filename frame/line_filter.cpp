// Bounded line reading over blocks: the line feeds of a block are found in
// one pass, and the tools go through them with no call per line. The length
// of every line is known, so NUL bytes are ordinary bytes.
#include "frame/line_filter.h"

#include <cstdio>
#include <cstring>

#include <fcntl.h>

#include "frame/byte_scan.h"

void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output) {
    buffer.capacity = capacity;
    buffer.output = output;
    const int pipe_size = output == nullptr ? -1 : fcntl(output->fd, F_GETPIPE_SZ);
    buffer.block_size = pipe_size > 0 && static_cast<std::size_t>(pipe_size) < line_block_size
                            ? static_cast<std::size_t>(pipe_size)
                            : line_block_size;
    buffer.block_begin = line_block_offset;
    buffer.begin = line_block_offset;
    buffer.end = line_block_offset;
    buffer.input_ended = false;
    buffer.input_may_wait = false;
    buffer.held = 0;
    buffer.held_at = 0;
    buffer.output_refused = false;
    buffer.refused_length = 0;
}

// How many of the lines ending at the line feeds, the first beginning at
// begin, come before one that takes longest bytes or more: a line too long
// ends the block before it, and the next read reports it. All lines are
// measured at once, without a branch each, and only a block that holds a line
// too long is searched for it.
static std::size_t count_lines_within(const std::uint32_t* feeds, std::size_t count,
                                      std::size_t begin, std::size_t longest) {
    if (count == 0) {
        return 0;
    }
    // Lengths fit in 32 bits, and signed ones compare a vector at a time.
    const auto limit = static_cast<std::int32_t>(longest);
    int too_long = feeds[0] + 1 - begin >= longest;
    for (std::size_t i = 1; i < count; ++i) {
        too_long |= static_cast<std::int32_t>(feeds[i] - feeds[i - 1]) >= limit;
    }
    if (too_long == 0) {
        return count;
    }
    std::size_t line = begin;
    for (std::size_t i = 0; i < count; ++i) {
        if (feeds[i] + 1 - line >= longest) {
            return i;
        }
        line = feeds[i] + 1;
    }
    return count;
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
    // The held output goes in front of the unfinished line. It lies before
    // that line, which lies no lower than where it goes, so neither move
    // spoils what the other has still to move.
    const std::size_t begin = line_block_offset - carried;
    if (buffer.held > 0) {
        std::memmove(buffer.bytes + begin - buffer.held, buffer.bytes + buffer.held_at,
                     buffer.held);
        buffer.held_at = begin - buffer.held;
    }
    if (carried > 0 && buffer.begin != begin) {
        std::memmove(buffer.bytes + begin, buffer.bytes + buffer.begin, carried);
    }
    buffer.input_may_wait = in.may_wait;
    buffer.block_begin = begin;
    buffer.begin = begin;
    buffer.end = line_block_offset;
    if (in.may_wait && buffer.output != nullptr &&
        (buffer.output_refused || !flush_output(*buffer.output))) {
        return ReadResult::write_error;
    }
    const long read = read_some(in, buffer.bytes + line_block_offset, buffer.block_size);
    if (read < 0) {
        return ReadResult::read_error;
    }
    buffer.end += static_cast<std::size_t>(read);
    buffer.input_ended = read == 0;
    if (buffer.input_ended && carried == 0) {
        return ReadResult::end_of_input;
    }
    // The scan takes whole words of 64 bytes. The bytes after the block in
    // its last word are spent, and cleared so as not to count; those before
    // it in its first word may be held output, so line feeds there are
    // passed over.
    const std::size_t scan_begin = begin / 64 * 64;
    const std::size_t scan_end = (buffer.end + 63) / 64 * 64;
    std::memset(buffer.bytes + buffer.end, 0, scan_end - buffer.end);
    std::size_t count = find_line_feeds(buffer.bytes, scan_begin, scan_end, buffer.feeds);
    std::uint32_t* feeds = buffer.feeds;
    while (count > 0 && *feeds < begin) {
        ++feeds;
        --count;
    }
    // The carried line was shorter than the limit, so at the end of input it
    // is a last line without a line feed, one byte longer than one with may be.
    std::size_t longest = limit;
    if (buffer.input_ended) {
        feeds[count++] = static_cast<std::uint32_t>(buffer.end);
        longest = limit + 1;
    }
    count = count_lines_within(feeds, count, begin, longest);
    buffer.begin = count == 0 ? begin : feeds[count - 1] + 1;
    block = LineBlock{
        buffer.bytes,      feeds, count, buffer.bytes + begin, buffer.bytes + buffer.begin,
        buffer.input_ended};
    return ReadResult::line;
}

bool write_block_output(LineBuffer& buffer, OutputStream& out, std::size_t length) {
    const std::size_t from = buffer.block_begin - buffer.held;
    const std::size_t pending = buffer.held + length;
    if (!buffer.output_refused) {
        const std::size_t now =
            buffer.input_may_wait ? pending : pending / output_page_size * output_page_size;
        if (write_unbuffered(out, buffer.bytes + from, now)) {
            buffer.held = pending - now;
            buffer.held_at = from + now;
            return true;
        }
        buffer.output_refused = true;
    }
    buffer.held = 0;
    buffer.refused_length += pending;
    return buffer.refused_length <= stream_block_size;
}

ExitStatus report_line_too_long(std::int64_t line_number) {
    std::fprintf(stderr, "Line %lld too long!\n", static_cast<long long>(line_number));
    return exit_line_too_long;
}

ExitStatus end_line_filter(const LineBuffer& buffer, ReadResult last, std::int64_t line_number,
                           InputStream& in, OutputStream& out) {
    // What earlier lines produced stays written, whatever stopped the loop.
    const bool held_written =
        !buffer.output_refused && write_unbuffered(out, buffer.bytes + buffer.held_at, buffer.held);
    const bool written = finish_output(out) && held_written;
    ExitStatus status = exit_success;
    if (last == ReadResult::too_long) {
        status = report_line_too_long(line_number);
    } else if (last == ReadResult::read_error) {
        status = report_read_failure(in);
    }
    return written && last != ReadResult::write_error ? status : report_write_failure(out);
}
