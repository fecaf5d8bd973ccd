// quorva: joins every N lines of a text into one line, or all of them.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/line_filter.h"
#include "frame/number_text.h"
#include "frame/tool_identity.h"
#include "frame/word_kit.h"

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

// Lines until the next line feed is due: counted down, so no line needs a
// division. Joining all lines, the count never runs out: no input holds that
// many lines.
static std::int64_t group_period(std::int32_t group_size) {
    if (group_size == join_all) {
        return INT64_MAX;
    }
    // A line feed follows every line whose number the size divides, so a
    // negative size acts by its magnitude.
    return group_size < 0 ? -std::int64_t{group_size} : group_size;
}

// The free part of the output buffer, for a caller that appends short pieces
// many times over: it fills the room through a local variable, which stays in
// a register, then hands back how far it got with use_output_room.
struct OutputRoom {
    char* at;   // the next free byte
    char* end;  // one past the last
};

static OutputRoom free_output_room(OutputStream& out) {
    return OutputRoom{out.bytes + out.used, out.bytes + out.capacity};
}

static void use_output_room(OutputStream& out, const OutputRoom& room) {
    out.used = static_cast<std::size_t>(room.at - out.bytes);
}

// Copies a piece as short as a line without a library call, which would cost
// more than the copy: whole 16, 8, 4 or 2 byte words, the last one
// overlapping, never touching a byte outside either range.
static void copy_short(char* to, const char* from, std::size_t length) {
    if (length >= 16) {
        for (std::size_t at = 0; at + 16 < length; at += 16) {
            std::memcpy(to + at, from + at, 16);
        }
        std::memcpy(to + length - 16, from + length - 16, 16);
    } else if (length >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + length - 4, from + length - 4, 4);
    } else if (length >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + length - 2, from + length - 2, 2);
    } else if (length == 1) {
        *to = *from;
    }
}

// Copies a piece and up to 63 bytes after it, in whole strides of 64 bytes:
// no branch on the length of a piece up to 64 bytes, as lines mostly are,
// where a branch on it would be mispredicted line after line. Both sides
// need the room.
static void copy_in_strides(char* to, const char* from, std::size_t length) {
    std::size_t at = 0;
    do {
        std::memcpy(to + at, from + at, 64);
        at += 64;
    } while (at < length);
}

// Writes a piece of text and what follows it the plain way, when they do not
// fit in the free room of the output buffer.
static bool write_piece_through(OutputStream& out, OutputRoom& room, const char* text,
                                std::size_t length, const char* after, std::size_t after_length) {
    use_output_room(out, room);
    const bool written = write_bytes(out, text, length) && write_bytes(out, after, after_length);
    room = free_output_room(out);
    return written;
}

// What may follow a line, padded so that it is copied as one 16-byte piece.
struct ShortText {
    char bytes[16];
};

static constexpr std::size_t longest_short_text = sizeof(ShortText::bytes);

enum class JoinWay { in_place, closing_up, doubling, padded, copying };

struct Joining {
    JoinWay way;
    std::int64_t period;  // lines to a group
    std::int64_t left;    // lines to go until a line feed stays
    // For periods up to 64, each number below 128 modulo the period: a word
    // holds at most 64 line feeds, and a division for every word costs.
    std::int64_t remainders[128];
    const char* separator;
    std::size_t separator_length;
    ShortText padded_separator;
    std::size_t output_length;  // what the last block in place gave
    // Runs of empty lines, with a separator of 3 to 16 bytes: what line
    // feeds in a row become, from the first of a group on, so that a word of
    // them is one copy from the place of its first in a group. In groups of
    // 65 lines or more a word of them holds one group end at most, which a
    // period of 65 puts in the same place.
    std::int64_t run_period;
    char run_pattern[2 * 64 * longest_short_text + 64];
};

// Fills the pattern far enough for 64 line feeds from any place in the first
// group, and for the bytes a copy in whole strides reads past them.
static void make_run_pattern(Joining& joining) {
    const std::int64_t period = joining.period < 65 ? joining.period : 65;
    joining.run_period = period;
    const std::size_t size = sizeof joining.run_pattern;
    std::size_t at = 0;
    for (std::int64_t line = 0; at < size; ++line) {
        if (line % period == period - 1) {
            joining.run_pattern[at++] = '\n';
            continue;
        }
        for (std::size_t i = 0; i < joining.separator_length && at < size; ++i) {
            joining.run_pattern[at++] = joining.separator[i];
        }
    }
}

#define WORD_KIT_ENGINE "tools/quorva/join_words.inc"
#define WORD_KIT_ENTRY join_block
#include "frame/each_word_kit.inc"

// Not static: the line reader's differential test drives it with other limits.
ExitStatus join_lines(InputStream& in, OutputStream& out, std::size_t capacity,
                      std::int32_t group_size, const char* separator) {
    static Joining joining;
    joining.period = group_period(group_size);
    joining.left = joining.period;
    for (std::int64_t i = 0; i < 128; ++i) {
        joining.remainders[i] = joining.period <= 64 ? i % joining.period : i;
    }
    joining.separator = separator;
    joining.separator_length = std::strlen(separator);
    joining.padded_separator = ShortText{};
    if (joining.separator_length <= longest_short_text) {
        std::memcpy(joining.padded_separator.bytes, separator, joining.separator_length);
    }
    // With a one-byte separator, or in groups of one where the separator is
    // never written, the output is the input with some line feeds replaced.
    // With none the output is the input with some line feeds left out.
    joining.way = joining.period == 1 || joining.separator_length == 1 ? JoinWay::in_place
                  : joining.separator_length == 0                      ? JoinWay::closing_up
                  : joining.separator_length == 2                      ? JoinWay::doubling
                  : joining.separator_length <= longest_short_text     ? JoinWay::padded
                                                                       : JoinWay::copying;
    if (joining.way == JoinWay::padded) {
        make_run_pattern(joining);
    }
    static LineBuffer buffer;
    init_line_buffer(buffer, capacity, &out, joining.way == JoinWay::closing_up);
    const auto join_block = word_kit_entry(chosen_word_kit());
    std::int64_t line_number = 1;
    LineBlock block;
    ReadResult result;
    while ((result = read_line_block(buffer, in, block)) == ReadResult::line) {
        line_number += static_cast<std::int64_t>(block.count);
        if (!join_block(block, joining, out)) {
            return report_write_failure(out);
        }
        const bool written = joining.way == JoinWay::in_place
                                 ? write_block_output(buffer, out, joining.output_length)
                             : joining.way == JoinWay::closing_up
                                 ? write_compacted_output(buffer, out, joining.output_length)
                                 : true;
        if (!written) {
            return report_write_failure(out);
        }
    }
    return end_line_filter(buffer, result, line_number, in, out);
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
    return join_lines(in, out, line_capacity, group_size, separator);
}
