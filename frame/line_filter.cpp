// Bounded line reading over blocks: the line feeds of a block are found in
// one pass, as masks of its words, and the tools go through the masks with no
// step per line. The length of every line is known, so NUL bytes are ordinary
// bytes.
#include "frame/line_filter.h"

#include <cstdio>
#include <cstring>

#include "frame/word_kit.h"

void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output,
                      bool closes_up) {
    buffer.capacity = capacity;
    buffer.output = output;
    buffer.closes_up = closes_up;
    buffer.block_size = output != nullptr && output->capacity < line_block_size ? output->capacity
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

// What the scan of a block finds.
struct BlockScan {
    std::size_t count;       // line feeds
    std::size_t lines_end;   // one past the last, or the block's beginning without one
    std::size_t longest;     // the longest line measured: every one that may reach the limit
    std::size_t bare_words;  // words after the first without a line feed
};

#define WORD_KIT_ENGINE "frame/line_scan.inc"
#define WORD_KIT_ENTRY scan_block
#include "frame/each_word_kit.inc"

// Measures the lines of a block one by one, the first from begin: gives how
// many come before the first one too long, and clears the line feeds from
// that one on, so that the block ends where it begins. Sets lines_end to one
// past the last line feed kept.
static std::size_t count_lines_within(std::uint64_t* feed_masks, std::size_t begin, std::size_t end,
                                      std::size_t longest, std::size_t& lines_end) {
    std::size_t count = 0;
    lines_end = begin;
    for (std::size_t w = begin / 64; w < (end + 63) / 64; ++w) {
        for (std::uint64_t feeds = feed_masks[w]; feeds != 0; feeds &= feeds - 1) {
            const std::size_t feed = 64 * w + static_cast<std::size_t>(__builtin_ctzll(feeds));
            if (feed + 1 - lines_end >= longest) {
                feed_masks[w] &= ~feeds;  // this line feed and those after it in the word
                for (++w; w < (end + 63) / 64; ++w) {
                    feed_masks[w] = 0;
                }
                return count;
            }
            lines_end = feed + 1;
            ++count;
        }
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
    // The held output goes in front of the unfinished line, or, for a tool
    // that closes up the block, in front of where its output will start: up
    // to 63 bytes lower, where the output held and new starts a cache line,
    // as the kernel copies a write fastest from there. It lies before the
    // unfinished line, which lies no lower than where it goes, so neither
    // move spoils what the other has still to move.
    const std::size_t begin = line_block_offset - carried;
    const std::size_t output_begin = buffer.closes_up ? begin - (begin - buffer.held) % 64 : begin;
    if (buffer.held > 0) {
        std::memmove(buffer.bytes + output_begin - buffer.held, buffer.bytes + buffer.held_at,
                     buffer.held);
        buffer.held_at = output_begin - buffer.held;
    }
    if (carried > 0 && buffer.begin != begin) {
        std::memmove(buffer.bytes + begin, buffer.bytes + buffer.begin, carried);
    }
    buffer.input_may_wait = in.may_wait;
    buffer.block_begin = output_begin;
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
    // The carried line was shorter than the limit, so at the end of input it
    // is a last line without a line feed, one byte longer than one with may
    // be. A line feed of the buffer's own stands after it, so that it ends
    // like any other line.
    std::size_t lines_end = buffer.end;
    std::size_t longest = limit;
    if (buffer.input_ended) {
        buffer.bytes[lines_end++] = '\n';
        longest = limit + 1;
    }
    // The scan takes whole words of 64 bytes. The bytes after the lines in
    // the last word are spent, and cleared so as not to count; those before
    // the block in its first word may be held output, and are passed over.
    const std::size_t scan_end = (lines_end + 63) / 64 * 64;
    std::memset(buffer.bytes + lines_end, 0, scan_end - lines_end);
    // A line over fewer words without a line feed than long_run is shorter
    // than 64 long_run + 64 bytes, so shorter than the limit; one over none
    // is shorter than 128.
    const std::size_t long_run = longest >= 128 ? (longest - 64) / 64 : 1;
    const BlockScan scan =
        word_kit_entry(chosen_word_kit())(reinterpret_cast<const unsigned char*>(buffer.bytes),
                                          begin, lines_end, long_run, buffer.feed_masks);
    // A line too long is found out by the scan, unless the limit is so small
    // that a line the scan does not measure may reach it. Either way the
    // lines are then measured one by one, up to that line.
    std::size_t count = scan.count;
    buffer.begin = scan.lines_end;
    if (scan.longest >= longest || longest < 128) {
        count = count_lines_within(buffer.feed_masks, begin, lines_end, longest, buffer.begin);
    }
    block = LineBlock{buffer.bytes, buffer.feed_masks,  count,           begin,       buffer.begin,
                      lines_end,    buffer.input_ended, scan.bare_words, output_begin};
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
    return buffer.refused_length <= out.capacity;
}

bool write_compacted_output(LineBuffer& buffer, OutputStream& out, std::size_t kept) {
    // The unfinished line was closed up with the lines, and follows their output.
    const std::size_t unfinished = buffer.input_ended ? 0 : buffer.end - buffer.begin;
    const std::size_t length = kept - unfinished;
    buffer.begin = buffer.block_begin + length;
    buffer.end = buffer.begin + unfinished;
    return write_block_output(buffer, out, length);
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
