// Buffered input and output on file descriptors, with every failure seen.
// The frame owns all opening, reading and writing; programs only decide what
// to do with the bytes.
#pragma once

#include <cstddef>
#include <cstring>

#include "frame/tool_identity.h"

// Output goes out in blocks as large as a plain copy's: half as large
// measured slower, by the system calls, and larger costs resident memory.
inline constexpr std::size_t stream_block_size = 128 * 1024;

struct InputStream {
    int fd;
    const char* name;  // the path as given, or "stdin"
    bool owned;        // opened by us, so ours to close
    bool may_wait;     // not a regular file: a read may wait for input to arrive
};

// Holds a whole block, so it belongs in static storage: a program must also
// run with a stack of 64 KiB.
struct OutputStream {
    int fd;
    const char* name;  // the path as given, or "stdout"
    bool owned;
    std::size_t used;
    // What the buffer holds before it is written: a block, or as much as a
    // pipe holds when that is less, so that a write never waits for the
    // reader halfway while the next block could be made.
    std::size_t capacity;
    // Aligned to a page, as the kernel copies from it fastest.
    alignas(4096) char bytes[stream_block_size];
};

void use_standard_output(OutputStream& out);

// Opens a file for reading. A directory counts as a failure to open.
bool open_input_file(InputStream& in, const char* path);

// Creates or empties a file for writing.
bool open_output_file(OutputStream& out, const char* path);

// Reads up to capacity bytes, waiting for a non-blocking stream to have some.
// Returns the count, 0 at end of input, -1 on error.
long read_some(InputStream& in, char* bytes, std::size_t capacity);

void close_input(InputStream& in);

// Writes out everything buffered. False when the output refused any of it.
bool flush_output(OutputStream& out);

// Slow path of write_bytes: the buffer is full or the piece is large.
bool write_bytes_through(OutputStream& out, const char* bytes, std::size_t length);

inline bool write_bytes(OutputStream& out, const char* bytes, std::size_t length) {
    if (length <= out.capacity - out.used) {
        std::memcpy(out.bytes + out.used, bytes, length);
        out.used += length;
        return true;
    }
    return write_bytes_through(out, bytes, length);
}

// Writes out anything buffered, then the bytes themselves without copying
// them: for callers that fill whole blocks of their own.
bool write_unbuffered(OutputStream& out, const char* bytes, std::size_t length);

// Flushes, then closes the output if we opened it. False on any failure.
bool finish_output(OutputStream& out);

// "Could not read", "Could not write": report on standard error, give exit_failure.
ExitStatus report_read_failure(const InputStream& in);
ExitStatus report_write_failure(const OutputStream& out);

// Opens the input, refuses an output that is the input itself (named, or
// standard output on the input's file with bytes of it still to read, or the
// very pipe the input is), then
// creates the output: the output is touched only once the input is known
// good. With a null path the standard stream is used. On failure the reason
// is reported and exit_failure returned; otherwise exit_success.
ExitStatus open_filter_streams(const char* input_path, const char* output_path, InputStream& in,
                               OutputStream& out);
