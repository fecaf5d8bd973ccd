// File descriptor streams: opening, reading, writing, and their failure reports.
#include "frame/byte_stream.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

static bool is_regular_file(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

static InputStream standard_input() {
    return InputStream{STDIN_FILENO, "stdin", false, !is_regular_file(STDIN_FILENO)};
}

static std::size_t output_capacity(int fd) {
    const int pipe_size = fcntl(fd, F_GETPIPE_SZ);
    return pipe_size > 0 && static_cast<std::size_t>(pipe_size) < stream_block_size
               ? static_cast<std::size_t>(pipe_size)
               : stream_block_size;
}

void use_standard_output(OutputStream& out) {
    out.fd = STDOUT_FILENO;
    out.name = "stdout";
    out.owned = false;
    out.used = 0;
    out.capacity = output_capacity(STDOUT_FILENO);
}

// Opens a file on a descriptor above standard error. Started with a standard
// stream closed, the lowest free descriptor would be that stream's: a named
// input would pass for standard input or output, and a message meant for a
// closed standard error would land in the output file.
static int open_file(const char* path, int flags) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 || fd > STDERR_FILENO) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

bool open_input_file(InputStream& in, const char* path) {
    const int fd = open_file(path, O_RDONLY);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return false;
    }
    in = InputStream{fd, path, true, !S_ISREG(info.st_mode)};
    return true;
}

bool open_output_file(OutputStream& out, const char* path) {
    const int fd = open_file(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) {
        return false;
    }
    out.fd = fd;
    out.name = path;
    out.owned = true;
    out.used = 0;
    out.capacity = output_capacity(fd);
    return true;
}

// True when a run writing to output_path (standard output when null) would
// destroy or chase its own input. A named output is opened emptied, so it may
// never be the input's file. Standard output is already open: on the input's
// file it harms nothing unless the input still has bytes to read from where
// it stands, bytes the run would overwrite or read back as its own output.
// A pipe that is both input and output never runs dry, since the run keeps
// refilling it, so it is refused however it was reached; a named one is
// looked at by path because opening it to write may wait for a reader.
// Sockets and terminals are left alone: on both standard streams they read
// one way and write the other.
static bool is_same_file(const InputStream& in, const char* output_path) {
    struct stat input_info;
    struct stat output_info;
    const int found = output_path == nullptr ? fstat(STDOUT_FILENO, &output_info)
                                             : stat(output_path, &output_info);
    if (found != 0 || fstat(in.fd, &input_info) != 0) {
        return false;
    }
    if (input_info.st_dev != output_info.st_dev || input_info.st_ino != output_info.st_ino) {
        return false;
    }
    if (S_ISFIFO(input_info.st_mode) && S_ISFIFO(output_info.st_mode)) {
        return true;
    }
    if (!S_ISREG(input_info.st_mode) || !S_ISREG(output_info.st_mode)) {
        return false;
    }
    return output_path != nullptr || lseek(in.fd, 0, SEEK_CUR) < input_info.st_size;
}

// A standard stream may have been left non-blocking by whoever started us;
// it is then waited on until ready, as a blocking one would be.
static bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

static bool wait_until_ready(int fd, short events) {
    pollfd entry{fd, events, 0};
    while (poll(&entry, 1, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

long read_some(InputStream& in, char* bytes, std::size_t capacity) {
    for (;;) {
        const ssize_t n = read(in.fd, bytes, capacity);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EINTR && !(would_block(errno) && wait_until_ready(in.fd, POLLIN))) {
            return -1;
        }
    }
}

void close_input(InputStream& in) {
    if (in.owned) {
        close(in.fd);
        in.owned = false;
    }
}

static bool write_all(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, bytes, length);
        if (n < 0) {
            if (errno == EINTR || (would_block(errno) && wait_until_ready(fd, POLLOUT))) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;  // no progress, and retrying would spin for ever
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool flush_output(OutputStream& out) {
    const std::size_t length = out.used;
    out.used = 0;
    return write_all(out.fd, out.bytes, length);
}

bool write_bytes_through(OutputStream& out, const char* bytes, std::size_t length) {
    if (!flush_output(out)) {
        return false;
    }
    if (length >= out.capacity) {
        return write_all(out.fd, bytes, length);
    }
    std::memcpy(out.bytes, bytes, length);
    out.used = length;
    return true;
}

bool write_unbuffered(OutputStream& out, const char* bytes, std::size_t length) {
    return flush_output(out) && write_all(out.fd, bytes, length);
}

bool finish_output(OutputStream& out) {
    bool ok = flush_output(out);
    if (out.owned) {
        ok = close(out.fd) == 0 && ok;
        out.owned = false;
    }
    return ok;
}

ExitStatus report_read_failure(const InputStream& in) {
    std::fprintf(stderr, "Could not read \"%s\"!\n", in.name);
    return exit_failure;
}

ExitStatus report_write_failure(const OutputStream& out) {
    std::fprintf(stderr, "Could not write \"%s\"!\n", out.name);
    return exit_failure;
}

ExitStatus open_filter_streams(const char* input_path, const char* output_path, InputStream& in,
                               OutputStream& out) {
    in = standard_input();
    if (input_path != nullptr && !open_input_file(in, input_path)) {
        std::fprintf(stderr, "Could not open \"%s\"!\n", input_path);
        return exit_failure;
    }
    use_standard_output(out);
    if (is_same_file(in, output_path)) {
        std::fprintf(stderr, "Input and output are the same file: \"%s\"!\n",
                     output_path == nullptr ? out.name : output_path);
        return exit_failure;
    }
    if (output_path == nullptr) {
        return exit_success;
    }
    if (!open_output_file(out, output_path)) {
        std::fprintf(stderr, "Could not create \"%s\"!\n", output_path);
        return exit_failure;
    }
    return exit_success;
}
