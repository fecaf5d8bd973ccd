// pelku: copies a text and leaves out its blank lines.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/line_filter.h"
#include "frame/tool_identity.h"
#include "frame/word_kit.h"

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

#define WORD_KIT_ENGINE "tools/pelku/blank_lines.inc"
#define WORD_KIT_ENTRY strip_block
#include "frame/each_word_kit.inc"

// Not static: the line reader's differential test drives it with other limits.
ExitStatus strip_blank_lines(InputStream& in, OutputStream& out, std::size_t capacity) {
    static LineBuffer buffer;
    init_line_buffer(buffer, capacity, &out, true);
    const auto strip_block = word_kit_entry(chosen_word_kit());
    std::int64_t line_number = 1;
    bool crossings_rare = true;  // blank lines crossing words, as the block before had them
    LineBlock block;
    ReadResult result;
    while ((result = read_line_block(buffer, in, block)) == ReadResult::line) {
        line_number += static_cast<std::int64_t>(block.count);
        const std::size_t kept = strip_block(block, crossings_rare);
        const std::size_t taken = block.unfinished_end - block.begin - (block.last_unended ? 1 : 0);
        crossings_rare = 8 * (taken - kept) < taken;
        if (!write_compacted_output(buffer, out, kept)) {
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
    // A kit chosen from outside is checked before anything is opened.
    if (!use_word_kit_from_environment()) {
        return exit_failure;
    }
    InputStream in;
    static OutputStream out;  // off the stack, which may be small
    const ExitStatus opened = open_filter_streams(input_path, output_path, in, out);
    if (opened != exit_success) {
        return opened;
    }
    return strip_blank_lines(in, out, line_capacity);
}
