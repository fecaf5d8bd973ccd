// quorva: joins every N lines of a text into one line, or all of them.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/line_filter.h"
#include "frame/number_text.h"
#include "frame/tool_identity.h"

static void write_usage_section(const ToolIdentity& identity, std::FILE* stream) {
    std::fprintf(stream, "  USAGE 1: %s <N> [-s<sep>] [<input>] [<output>]\n",
                 identity.program_name);
    std::fputs(
        "    where:\n\n"
        "    N           -   the number of lines to join. Can be *, to join all lines\n"
        "    <input>     -   input file, or to stdout if not specified\n"
        "    <output>    -   output file, or to stdout if not specified\n"
        "    -s<sep>     -   insert the separator <sep> between joined lines\n"
        "\n",
        stream);
}

static constexpr ToolIdentity quorva_identity = {
    maker_name,   "Line Splicing", "quorva",      ToolVersion{1, 2, 3, 6},
    company_name, web_page,        email_address, write_usage_section,
};

static constexpr std::size_t line_capacity = 2048;
static constexpr std::int32_t join_all = -1;

static ExitStatus join_lines(InputStream& in, OutputStream& out, std::int32_t group_size,
                             const char* separator) {
    const std::size_t separator_length = std::strlen(separator);
    static LineBuffer buffer;  // off the stack, which may be small
    init_line_buffer(buffer, line_capacity, &out);
    std::int64_t line_number = 1;
    LineText line;
    ReadResult result;
    while ((result = read_bounded_line(buffer, in, line)) == ReadResult::line) {
        std::size_t length = line.length;
        if (length > 0 && line.bytes[length - 1] == '\n') {
            --length;  // a carriage return before it stays: lines are bytes
        }
        bool written = write_bytes(out, line.bytes, length);
        if (group_size != join_all && line_number % group_size == 0) {
            written = written && write_bytes(out, "\n", 1);
        } else {
            written = written && write_bytes(out, separator, separator_length);
        }
        if (!written) {
            return report_write_failure(out);
        }
        ++line_number;
    }
    return end_line_filter(result, line_number, in, out);
}

int main(int argc, char** argv) {
    const char* count_text = nullptr;
    const char* input_path = nullptr;
    const char* output_path = nullptr;
    const char* separator = "";  // an empty separator is the same as none
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            if (count_text == nullptr) {
                count_text = arg;
            } else if (input_path == nullptr) {
                input_path = arg;
            } else if (output_path == nullptr) {
                output_path = arg;
            } else {
                show_usage(quorva_identity, 1, "unrecognised argument");
            }
        } else if (std::strcmp(arg, "-?") == 0) {
            show_usage(quorva_identity, 1, nullptr);
        } else if (std::strcmp(arg, "--version") == 0) {
            return show_version(quorva_identity);
        } else if (arg[1] == '-') {
            show_usage(quorva_identity, 1, "unrecognised argument");
        } else if (arg[1] == '?') {
            show_usage(quorva_identity, 0, nullptr);  // help, and carry on
        } else if (arg[1] == 's') {
            separator = arg + 2;
        } else {
            show_usage(quorva_identity, 1, "unrecognised argument");
        }
    }
    if (count_text == nullptr) {
        show_usage(quorva_identity, 1, "Must specify number of lines to join");
    }
    const std::int32_t group_size =
        std::strcmp(count_text, "*") == 0 ? join_all : to_clamped_int32(count_text);
    // Checked before any stream is opened, so a named output is left as it was.
    if (group_size == 0) {
        show_usage(quorva_identity, 1, "Number of lines to join must be greater than 0");
    }
    InputStream in;
    static OutputStream out;  // off the stack, which may be small
    const ExitStatus opened = open_filter_streams(input_path, output_path, in, out);
    if (opened != exit_success) {
        return opened;
    }
    return join_lines(in, out, group_size, separator);
}
