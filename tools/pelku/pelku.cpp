// pelku: copies a text and leaves out its blank lines.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

static ExitStatus strip_blank_lines(InputStream& in, OutputStream& out) {
    static LineBuffer buffer;  // off the stack, which may be small
    init_line_buffer(buffer, line_capacity, &out);
    std::int64_t line_number = 1;
    LineText line;
    ReadResult result;
    while ((result = read_bounded_line(buffer, in, line)) == ReadResult::line) {
        ++line_number;
        if (find_first_not_of(line.bytes, line.length, blank_bytes) != no_position &&
            !write_bytes(out, line.bytes, line.length)) {
            return report_write_failure(out);
        }
    }
    return end_line_filter(result, line_number, in, out);
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
    return strip_blank_lines(in, out);
}
