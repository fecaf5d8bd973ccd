// The block line reader over arbitrary bytes, with the line limits of both
// line tools, against the plain reader. The first byte picks the limit and
// how many bytes each write into the pipe may carry, so lines also arrive
// split across reads.
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

#include "frame/line_filter.h"
#include "reference_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t capacity = data[0] % 2 == 0 ? 512 : 2048;
    const std::size_t max_piece = std::size_t{1} << (data[0] / 2 % 14);
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::signal(SIGPIPE, SIG_IGN);  // the reader may stop early at a too-long line
    int fds[2];
    if (pipe(fds) != 0) {
        std::abort();
    }
    std::thread writer([&] {
        for (std::size_t at = 0, piece = 1; at < input.size(); piece = piece * 7 % max_piece + 1) {
            const ssize_t n = write(fds[1], input.data() + at, std::min(piece, input.size() - at));
            if (n <= 0) {
                break;
            }
            at += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    InputStream in{fds[0], "pipe", true};
    LineBuffer buffer;
    init_line_buffer(buffer, capacity);
    Outcome actual;
    LineText line;
    while ((actual.last = read_bounded_line(buffer, in, line)) == ReadResult::line) {
        actual.lines.emplace_back(line.bytes, line.length);
    }
    close_input(in);  // lets a writer blocked on a full pipe finish
    writer.join();

    const Outcome expected = reference_read(input, capacity);
    if (actual.lines != expected.lines || actual.last != expected.last) {
        std::fprintf(stderr, "Lines differ from the plain reader's: %zu against %zu lines\n",
                     actual.lines.size(), expected.lines.size());
        std::abort();
    }
    return 0;
}
