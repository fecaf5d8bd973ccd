// The obvious bounded line reader, one byte at a time, and the two line tools
// written plainly on top of it: what the block line reader and the tools'
// block engines are checked against, by the unit tests and the fuzz targets.
// Input reaches the block code through a pipe in pieces, so lines arrive split.
#pragma once

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "frame/line_filter.h"
#include "frame/word_kit.h"

// The word kits this build has and this processor runs, the plain one first.
inline std::vector<WordKit> usable_word_kits() {
    std::vector<WordKit> kits;
    for (const WordKit kit :
         {WordKit::plain, WordKit::sse, WordKit::avx2, WordKit::avx512, WordKit::neon}) {
        if (word_kit_usable(kit)) {
            kits.push_back(kit);
        }
    }
    return kits;
}

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

// Every line the block line reader gives, each with its line feed if it has
// one, from the masks the tools go by.
inline Outcome read_all_lines(LineBuffer& buffer, InputStream& in) {
    Outcome outcome;
    LineBlock block;
    while ((outcome.last = read_line_block(buffer, in, block)) == ReadResult::line) {
        std::size_t line = block.begin;
        std::size_t found = 0;
        for (std::size_t w = block.begin / 64; w < (block.unfinished_end + 63) / 64; ++w) {
            for (std::uint64_t feeds = block.feed_masks[w]; feeds != 0; feeds &= feeds - 1) {
                const std::size_t feed = 64 * w + static_cast<std::size_t>(__builtin_ctzll(feeds));
                const bool unended = block.last_unended && feed + 1 == block.end;
                outcome.lines.emplace_back(block.bytes + line,
                                           block.bytes + feed + (unended ? 0 : 1));
                line = feed + 1;
                ++found;
            }
        }
        if (found != block.count || line != block.end) {
            std::abort();
        }
    }
    return outcome;
}

// Runs read on the reading end of a pipe while another thread writes input
// into it, each write carrying next_piece() bytes (at least 1).
inline void read_through_pipe(const std::string& input,
                              const std::function<std::size_t()>& next_piece,
                              const std::function<void(InputStream&)>& read) {
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
    read(in);
    close_input(in);  // lets a writer blocked on a full pipe finish
    writer.join();
}

// Runs read on a memory file holding input: a regular file, so that each
// read takes a whole block.
inline void read_from_file(const std::string& input,
                           const std::function<void(InputStream&)>& read) {
    InputStream in{memfd_create("input", 0), "input", true, false};
    if (write(in.fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        std::abort();
    }
    lseek(in.fd, 0, SEEK_SET);
    read(in);
    close_input(in);
}

inline Outcome read_through_pipe(const std::string& input, std::size_t capacity,
                                 const std::function<std::size_t()>& next_piece) {
    static LineBuffer buffer;
    init_line_buffer(buffer, capacity);
    Outcome outcome;
    read_through_pipe(input, next_piece,
                      [&](InputStream& in) { outcome = read_all_lines(buffer, in); });
    return outcome;
}

// The whole result of a line tool's run.
struct ToolOutcome {
    std::string out;
    int status;
    std::string err;
    bool operator==(const ToolOutcome&) const = default;
};

// How a test failure shows an outcome.
inline std::ostream& operator<<(std::ostream& stream, const ToolOutcome& outcome) {
    return stream << "status " << outcome.status << ", " << outcome.out.size()
                  << " bytes out, error \"" << outcome.err << "\"";
}

// The tools' block engines, from their own sources, with any line capacity.
ExitStatus join_lines(InputStream& in, OutputStream& out, std::size_t capacity,
                      std::int32_t group_size, const char* separator);
ExitStatus strip_blank_lines(InputStream& in, OutputStream& out, std::size_t capacity);

// The end of a plain run: a too-long line is the one after the last read.
inline ToolOutcome plain_end(std::string out, const Outcome& read) {
    if (read.last != ReadResult::too_long) {
        return ToolOutcome{out, exit_success, ""};
    }
    return ToolOutcome{out, exit_line_too_long,
                       "Line " + std::to_string(read.lines.size() + 1) + " too long!\n"};
}

inline ToolOutcome plain_quorva(const std::string& input, std::size_t capacity,
                                std::int32_t group_size, const std::string& separator) {
    const Outcome read = reference_read(input, capacity);
    std::string out;
    for (std::size_t i = 0; i < read.lines.size(); ++i) {
        const std::string& line = read.lines[i];
        out += line.substr(0, line.size() - (line.back() == '\n' ? 1 : 0));
        const auto number = static_cast<std::int64_t>(i + 1);
        out += group_size != -1 && number % group_size == 0 ? "\n" : separator;
    }
    return plain_end(out, read);
}

inline ToolOutcome plain_pelku(const std::string& input, std::size_t capacity) {
    const Outcome read = reference_read(input, capacity);
    std::string out;
    for (const std::string& line : read.lines) {
        out += line.find_first_not_of(" \t\r\n") == std::string::npos ? "" : line;
    }
    return plain_end(out, read);
}

inline std::string read_memory_file(int fd) {
    std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    close(fd);
    return bytes;
}

// Runs a tool's engine with its output and standard error on memory files,
// on input fed through a pipe in pieces of next_piece() bytes, or, without
// next_piece, read from a memory file.
inline ToolOutcome run_line_tool(
    const std::string& input, const std::function<std::size_t()>& next_piece,
    const std::function<ExitStatus(InputStream&, OutputStream&)>& tool) {
    // Guard bytes after the output buffer show a write past its end.
    static struct {
        OutputStream out;
        unsigned char guard[1024];
    } guarded;
    OutputStream& out = guarded.out;
    std::memset(guarded.guard, 0x5a, sizeof guarded.guard);
    const int out_file = memfd_create("out", 0);
    const int err_file = memfd_create("err", 0);
    const int saved_err = dup(STDERR_FILENO);
    if (!open_output_file(out, ("/proc/self/fd/" + std::to_string(out_file)).c_str())) {
        std::abort();
    }
    std::fflush(stderr);
    dup2(err_file, STDERR_FILENO);
    ToolOutcome outcome;
    const auto run = [&](InputStream& in) { outcome.status = tool(in, out); };
    if (next_piece) {
        read_through_pipe(input, next_piece, run);
    } else {
        read_from_file(input, run);
    }
    std::fflush(stderr);
    dup2(saved_err, STDERR_FILENO);
    close(saved_err);
    outcome.out = read_memory_file(out_file);
    outcome.err = read_memory_file(err_file);
    for (const unsigned char guard : guarded.guard) {
        if (guard != 0x5a) {
            outcome.err += "(wrote past the output buffer)";
            break;
        }
    }
    return outcome;
}

// The engines run as run_line_tool runs them, from a pipe fed in pieces or,
// without pieces, from a file.
inline ToolOutcome run_quorva(const std::string& input, const std::function<std::size_t()>& pieces,
                              std::size_t capacity, std::int32_t group_size,
                              const std::string& separator) {
    return run_line_tool(input, pieces, [&](InputStream& in, OutputStream& out) {
        return join_lines(in, out, capacity, group_size, separator.c_str());
    });
}

inline ToolOutcome run_pelku(const std::string& input, const std::function<std::size_t()>& pieces,
                             std::size_t capacity) {
    return run_line_tool(input, pieces, [&](InputStream& in, OutputStream& out) {
        return strip_blank_lines(in, out, capacity);
    });
}

// Runs check with each word kit this processor runs, then goes back to the
// kit in use before.
inline void with_every_kit(const std::function<void(WordKit)>& check) {
    const WordKit before = chosen_word_kit();
    for (const WordKit kit : usable_word_kits()) {
        use_word_kit(kit);
        check(kit);
    }
    use_word_kit(before);
}

// A fuzz input tries one kit, chosen in turn by its size, so a run tries all.
inline void use_kit_for_input(std::size_t size) {
    const std::vector<WordKit> kits = usable_word_kits();
    use_word_kit(kits[size % kits.size()]);
}

// An engine run decoded from fuzzer bytes: the line limit, the group size and
// separator length, and the most bytes one write into the pipe carries (0 for
// a regular file instead), then the separator and the input.
struct EngineRun {
    std::size_t capacity;
    std::int32_t group_size;
    std::string separator;
    std::size_t max_piece;
    std::string input;
};

inline EngineRun engine_run_from(const std::uint8_t* data, std::size_t size) {
    static constexpr std::int32_t group_sizes[] = {-1, 1, 2, 3, 4, -2, INT32_MIN, INT32_MAX};
    EngineRun run{2, -1, "", 1, ""};
    if (size < 3) {
        return run;
    }
    run.capacity = 2 + data[0] % 140;
    run.group_size = group_sizes[data[1] % 8];
    run.max_piece = data[2] % 101;
    // The separators the joins treat apart: none, one byte, two, up to 16, longer.
    static constexpr std::size_t separator_lengths[] = {0, 1, 2, 3, 4, 8, 16, 17};
    const std::size_t separator_end =
        3 + std::min<std::size_t>(separator_lengths[data[1] / 8 % 8], size - 3);
    run.separator.assign(data + 3, data + separator_end);
    std::replace(run.separator.begin(), run.separator.end(), '\0', '0');
    run.input.assign(data + separator_end, data + size);
    return run;
}

// Write sizes from 1 to max_piece, varied; none for 0.
inline std::function<std::size_t()> varied_pieces(std::size_t max_piece) {
    if (max_piece == 0) {
        return nullptr;
    }
    return [max_piece, piece = std::size_t{1}]() mutable {
        piece = piece * 7 % max_piece + 1;
        return piece;
    };
}
