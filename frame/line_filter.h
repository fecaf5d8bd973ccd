// Bounded line reading for the line tools, and their shared failure reports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/byte_stream.h"
#include "frame/tool_identity.h"

// The largest line capacity a tool may ask for.
inline constexpr std::size_t largest_line_capacity = 2048;

// Input is read in blocks this large: as large as a plain copy's, so that the
// line tools make no more system calls than one. Into a pipe that holds less,
// blocks are as large as the pipe, so that writing a block's output never
// waits for the reader halfway while the next block could be worked on.
inline constexpr std::size_t line_block_size = 128 * 1024;

// Output of the line tools goes out in whole pages while more input follows
// at once: a pipe takes them with far fewer wake-ups of its reader than
// pieces of odd length.
inline constexpr std::size_t output_page_size = 4096;

// Where each block lands in the buffer: two pages in, with the unfinished
// line of the block before just in front of it, and in front of that the
// output held back from the whole pages, so reads fill whole aligned pages.
// A tool that closes up the block has its output begin up to 63 bytes lower.
inline constexpr std::size_t line_block_offset = 2 * 4096;
static_assert(line_block_offset >= largest_line_capacity + 63 + output_page_size);

// Lines are read a block at a time. A line, counting its line feed, is too
// long when it takes capacity - 1 bytes or more: the longest accepted is
// capacity - 3 bytes plus its line feed, or capacity - 2 bytes at the end of
// input without one. The buffer is large, so a tool keeps it in static storage.
struct LineBuffer {
    std::size_t capacity;     // the line limit; at least 2, at most largest_line_capacity
    OutputStream* output;     // written out before waiting for input; may be null
    bool closes_up;           // the tool writes its output over the block from output_begin
    std::size_t block_size;   // the most one read takes: at most line_block_size
    std::size_t block_begin;  // first byte of the block's output
    std::size_t begin;        // first byte of the line after those given
    std::size_t end;          // one past the last byte read in
    bool input_ended;
    bool input_may_wait;  // so output is held back from no read
    std::size_t held;     // output held back: bytes at held_at
    std::size_t held_at;
    bool output_refused;         // the output refused a block: what follows is only counted
    std::size_t refused_length;  // the output counted since
    // The spare bytes after the block have room for the byte after a last
    // line, for a tool to read a word beyond the last and to write a whole
    // word at the end of what it keeps, and to copy any line in strides of 64.
    alignas(4096) char bytes[line_block_offset + line_block_size + 3 * 64];
    // Word w is bytes 64 w to 64 w + 63: its line feeds, each as a bit.
    std::uint64_t feed_masks[sizeof bytes / 64];
};

// With an output, what earlier lines produced is written out before a read
// that may wait (a terminal, a pipe), so a pipeline sees each result as soon
// as its input has arrived. A tool that closes up each block in place says
// so, and writes by write_compacted_output.
void init_line_buffer(LineBuffer& buffer, std::size_t capacity, OutputStream* output = nullptr,
                      bool closes_up = false);

enum class ReadResult { line, end_of_input, too_long, read_error, write_error };

// The whole lines of a block, every one within the limit, as bytes and as
// masks of their words: the lines run from begin to end, and a line ends at
// each bit of feed_masks. After them, up to unfinished_end, come the first
// bytes of a line whose line feed has not come yet. Every byte read is part of
// a line, NUL bytes included. The masks have no bits outside the lines.
struct LineBlock {
    char* bytes;                      // the buffer's bytes, which the tool may rewrite
    const std::uint64_t* feed_masks;  // for word w, bytes 64 w to 64 w + 63
    std::size_t count;                // how many lines; 0 when no line is whole yet
    std::size_t begin;                // the first line's first byte
    std::size_t end;                  // one past the last line's line feed
    std::size_t unfinished_end;       // one past the unfinished line after them
    // The last line of the input has no line feed: in its place lies one on
    // a byte of the buffer's own, which a tool may write and must not copy.
    bool last_unended;
    // How many of its words after the first hold no line feed: most, in
    // lines of hundreds of bytes. A tool may choose its pass by it; it
    // changes no result.
    std::size_t bare_words;
    // Where a tool that closes up the block writes its output, from its
    // first byte on: at most 63 bytes before begin, and begin for any other.
    std::size_t output_begin;
};

// Takes the lines of the block given before as done, carries the unfinished
// line on, reads the next block and finds its lines: gives line with the block
// set, or too_long when the next line is too long, end_of_input, read_error
// or write_error. The block's bytes stay valid until the next call.
ReadResult read_line_block(LineBuffer& buffer, InputStream& in, LineBlock& block);

// Writes what the lines of a block produced, straight from the block from
// its beginning, after any output held back from before. False when the
// output refused it and the run ends here, for the caller to report. A
// refusal shows where it showed when lines were written through the output
// buffer: once a buffer's worth of output is refused, before the next read
// that may wait, or at the end, after a too-long line or a read failure.
bool write_block_output(LineBuffer& buffer, OutputStream& out, std::size_t length);

// The same for a tool that closed up the block in place from output_begin,
// the unfinished line with it: kept is the length of all it kept, that
// line's bytes included.
bool write_compacted_output(LineBuffer& buffer, OutputStream& out, std::size_t kept);

// "Line %lld too long!" on standard error; gives exit_line_too_long.
ExitStatus report_line_too_long(std::int64_t line_number);

// Ends a line tool's read loop on its last read result: writes out what is
// still held back or buffered, reports a too-long line, a read failure or a
// write failure, and gives the exit status. line_number is the number of the
// line just read.
ExitStatus end_line_filter(const LineBuffer& buffer, ReadResult last, std::int64_t line_number,
                           InputStream& in, OutputStream& out);
