// zelk: copies a file byte for byte, turning backslashes into forward slashes.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "frame/byte_scan.h"
#include "frame/byte_stream.h"
#include "frame/tool_identity.h"
#include "frame/word_kit.h"

static void write_usage_section(const ToolIdentity& identity, std::FILE* stream) {
    std::fprintf(stream, "  USAGE 1: %s [<from>] [<to>]\n", identity.program_name);
    std::fputs(
        "  where:\n"
        "    <from>  -   the source file to convert. Reads from stdin if not specified\n"
        "    <to>    -   the results file to receive the conversion. Writes to stdout if not "
        "specified\n"
        "\n"
        "    Changes Windows (backward) slashes in the input to UNIX (forward) slashes\n"
        "    and writes it to the output\n"
        "\n",
        stream);
}

static constexpr ToolIdentity zelk_identity = {
    maker_name,   "Slash Swapping", "zelk",        ToolVersion{1, 2, 2, 9},
    company_name, web_page,         email_address, write_usage_section,
};

// The separator of path names on this platform.
static const char* path_name_separator() {
    return "/";
}

// Large enough that system calls cost little next to the copy, small enough
// to stay a sliver of resident memory.
static constexpr std::size_t copy_block_size = 128 * 1024;

static bool is_help_request(const char* arg) {
    return arg[0] == '-' &&
           (arg[1] == '?' || std::strcmp(arg + 1, "h") == 0 || std::strcmp(arg + 1, "help") == 0);
}

static ExitStatus copy_swapping(InputStream& in, OutputStream& out, unsigned char source,
                                unsigned char target) {
    alignas(64) static unsigned char block[copy_block_size];  // off the stack, which may be small
    for (;;) {
        const long count = read_some(in, reinterpret_cast<char*>(block), copy_block_size);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            finish_output(out);
            close_input(in);
            return report_read_failure(in);
        }
        const std::size_t length = static_cast<std::size_t>(count);
        replace_byte(block, length, source, target);  // as many bytes a step as the processor can
        if (!write_unbuffered(out, reinterpret_cast<const char*>(block), length)) {
            finish_output(out);
            close_input(in);
            return report_write_failure(out);
        }
    }
    close_input(in);
    return finish_output(out) ? exit_success : report_write_failure(out);
}

int main(int argc, char** argv) {
    const char* input_path = nullptr;
    const char* output_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (is_help_request(arg)) {
            show_usage(zelk_identity, 1, nullptr);
        } else if (std::strcmp(arg, "--version") == 0) {
            return show_version(zelk_identity);
        } else if (input_path == nullptr) {
            input_path = arg;  // any other text is a file name, even "-" or ""
        } else if (output_path == nullptr) {
            output_path = arg;
        } else {
            show_usage(zelk_identity, 1, "Invalid argument(s) specified");
        }
    }
    const char* separator = path_name_separator();
    if (std::strlen(separator) != 1) {
        std::fprintf(stderr,
                     "Cannot work with path name separators that are not single characters\n"
                     "  Separator: \"%s\"\n",
                     separator);
        return exit_failure;
    }
    const unsigned char target = static_cast<unsigned char>(separator[0]);
    const unsigned char source = target == '/' ? '\\' : '/';
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
    return copy_swapping(in, out, source, target);
}
