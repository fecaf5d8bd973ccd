// pelku: copies a text and leaves out its blank lines.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "frame/line_filter.h"
#include "frame/tool_identity.h"

static void write_usage_section(const ToolIdentity& identity, std::FILE* stream) {
    std::fprintf(stream, "  USAGE 1: %s [-?] [<input>] [<output>]\n", identity.program_name);
    std::fputs(
        "    where:\n\n"
        "    -?          -   displays help\n"
        "    <input>     -   input file, or to stdout if not specified\n"
        "    <output>    -   output file, or to stdout if not specified\n"
        "\n"
        "    Strips the blank lines from the input, and writes the\n"
        "    remainder to the output\n"
        "\n",
        stream);
}

static constexpr ToolIdentity pelku_identity = {
    maker_name,    "Blank Line Stripping", "pelku", ToolVersion{1, 1, 1, 3}, company_name, web_page,
    email_address, write_usage_section,
};

static constexpr std::size_t line_capacity = 512;
static constexpr std::size_t no_position = static_cast<std::size_t>(-1);

// Which byte values a set holds, looked up by value: a line is examined for
// every line of the input, and a table costs one load per byte where a search
// of the set's text costs a call.
struct ByteSet {
    bool holds[256];
};

// A NUL never belongs: it ends the set's text, and in a line it is an
// ordinary byte, so a line holding one is not blank.
static constexpr ByteSet make_byte_set(const char* text) {
    ByteSet set{};
    for (; *text != '\0'; ++text) {
        set.holds[static_cast<unsigned char>(*text)] = true;
    }
    return set;
}

static constexpr ByteSet blank_bytes = make_byte_set(" \t\r\n");

// Position of the first byte of text that is not in set, or no_position when
// every byte is (an empty text included).
static std::size_t find_first_not_of(const char* text, std::size_t length, const ByteSet& set) {
    for (std::size_t i = 0; i < length; ++i) {
        if (!set.holds[static_cast<unsigned char>(text[i])]) {
            return i;
        }
    }
    return no_position;
}

// The bytes of a word of eight that are blank, each as its high bit. A byte
// is blank when it equals one of the four, that is when its difference from
// one of them is zero; the test for a zero byte is exact, with no carries
// between bytes.
static std::uint64_t blank_bytes_in(std::uint64_t word) {
    constexpr std::uint64_t low_bits = 0x7f7f7f7f7f7f7f7f;
    constexpr std::uint64_t each_byte = 0x0101010101010101;
    std::uint64_t found = 0;
    for (const char blank : {' ', '\t', '\r', '\n'}) {
        const std::uint64_t difference = word ^ (each_byte * static_cast<unsigned char>(blank));
        found |= ~(((difference & low_bits) + low_bits) | difference | low_bits);
    }
    return found;
}

// A line's text up to its line feed holds only blank bytes. Most lines show
// content in their first byte, which is always there to read: an empty line's
// is its line feed, which is blank. A blank line is mostly short, and up to
// eight bytes are tested at once, as a branch on each would be mispredicted;
// the buffer has room to read eight bytes from any line.
static bool is_blank_line(const char* line, const char* feed) {
    if (!blank_bytes.holds[static_cast<unsigned char>(*line)]) {
        return false;
    }
    const auto length = static_cast<std::size_t>(feed - line);
    if (length > 8) {
        return find_first_not_of(line, length, blank_bytes) == no_position;
    }
    std::uint64_t word;
    std::memcpy(&word, line, 8);
    // The high bits of the bytes tested, in the order they lie in memory. An
    // empty line is tested on its line feed, which is blank too.
    const std::size_t tested = length + (length == 0 ? 1 : 0);
    const std::uint64_t in_text = std::endian::native == std::endian::little
                                      ? 0x8080808080808080 >> (64 - 8 * tested)
                                      : 0x8080808080808080 << (64 - 8 * tested);
    return (blank_bytes_in(word) & in_text) == in_text;
}

// Moves the run of kept lines from begin to end down to kept, closing the gap
// the blank lines before it left; gives the end of the kept bytes.
static char* close_up(char* kept, const char* begin, const char* end) {
    if (begin >= end) {
        return kept;
    }
    const auto length = static_cast<std::size_t>(end - begin);
    if (kept != begin) {
        std::memmove(kept, begin, length);
    }
    return kept + length;
}

// The lines of a block whose first byte is blank: the only ones that may be
// blank lines.
static std::uint32_t maybe_blank[line_block_offset + line_block_size + 1];

// Not static: the line reader's differential test drives it with other limits.
ExitStatus strip_blank_lines(InputStream& in, OutputStream& out, std::size_t capacity) {
    static LineBuffer buffer;
    init_line_buffer(buffer, capacity, &out);
    std::int64_t line_number = 1;
    LineBlock block;
    ReadResult result;
    while ((result = read_line_block(buffer, in, block)) == ReadResult::line) {
        char* const bytes = block.bytes;
        const std::uint32_t* const feeds = block.feeds;
        const std::size_t count = block.count;
        // First the lines to look at, noted without a branch each: a branch
        // on whether a line may be blank would be mispredicted at every one.
        std::size_t noted = 0;
        auto first = static_cast<std::uint32_t>(block.begin - bytes);
        for (std::size_t i = 0; i < count; ++i) {
            maybe_blank[noted] = static_cast<std::uint32_t>(i);
            noted += blank_bytes.holds[static_cast<unsigned char>(bytes[first])] ? 1 : 0;
            first = feeds[i] + 1;
        }
        // Then runs of kept lines close up over the blank lines between
        // them, in the block itself, which is then written as one piece.
        char* kept = block.begin;  // one past the kept bytes closed up so far
        char* run = block.begin;   // the first kept byte not yet closed up
        for (std::size_t n = 0; n < noted; ++n) {
            const std::uint32_t i = maybe_blank[n];
            char* const line = i == 0 ? block.begin : bytes + feeds[i - 1] + 1;
            char* const feed = bytes + feeds[i];
            if (is_blank_line(line, feed)) {
                kept = close_up(kept, run, line);
                run = feed + 1;
            }
        }
        line_number += static_cast<std::int64_t>(count);
        kept = close_up(kept, run, block.last_unended ? block.end - 1 : block.end);
        if (!write_block_output(buffer, out, static_cast<std::size_t>(kept - block.begin))) {
            return report_write_failure(out);
        }
    }
    return end_line_filter(buffer, result, line_number, in, out);
}

int main(int argc, char** argv) {
    const char* input_path = nullptr;
    const char* output_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-') {
            if (std::strcmp(arg, "-?") == 0) {
                show_usage(pelku_identity, 1, nullptr);
            } else if (std::strcmp(arg, "--version") == 0) {
                return show_version(pelku_identity);
            } else {
                show_usage(pelku_identity, 1, "Invalid argument(s) specified");
            }
        } else if (input_path == nullptr) {
            input_path = arg;
        } else if (output_path == nullptr) {
            output_path = arg;
        } else {
            show_usage(pelku_identity, 1, "Invalid argument(s) specified");
        }
    }
    InputStream in;
    static OutputStream out;  // off the stack, which may be small
    const ExitStatus opened = open_filter_streams(input_path, output_path, in, out);
    if (opened != exit_success) {
        return opened;
    }
    return strip_blank_lines(in, out, line_capacity);
}
