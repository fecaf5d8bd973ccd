// Black-box tests of zelk: arguments, input and files in, bytes and status out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool_runner.h"

namespace {

const std::string banner = "Slash Swapping Tool, v1.2.2.0009";
const std::string section =
    "  USAGE 1: zelk [<from>] [<to>]\n"
    "  where:\n"
    "    <from>  -   the source file to convert. Reads from stdin if not specified\n"
    "    <to>    -   the results file to receive the conversion. Writes to stdout if not "
    "specified\n"
    "\n"
    "    Changes Windows (backward) slashes in the input to UNIX (forward) slashes\n"
    "    and writes it to the output\n"
    "\n";

std::string usage(const std::string& error = "") {
    return usage_block(banner, error, section, "zelk");
}

std::string swapped(std::string text) {
    for (char& c : text) {
        if (c == '\\') {
            c = '/';
        }
    }
    return text;
}

std::string every_byte_value() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

const std::string path_text = "C:\\dir\\file.txt\n";

TEST(Zelk, SwapsBackslashesAndNothingElse) {
    const std::string all_bytes = every_byte_value();
    std::string long_line;
    for (int i = 0; i < 30000; ++i) {
        long_line += "dir\\sub/";  // crosses every block boundary of the copy
    }
    run_cases("zelk",
              {
                  {"windows path", {}, path_text, "C:/dir/file.txt\n", "", 0},
                  {"forward slashes stay", {}, "a/b\\c//d\\\\e", "a/b/c//d//e", "", 0},
                  {"carriage returns stay", {}, "a\\b\r\nc\r\n", "a/b\r\nc\r\n", "", 0},
                  {"every byte value passes", {}, all_bytes, swapped(all_bytes), "", 0},
                  {"NUL bytes are copied whole",
                   {},
                   std::string("\\\0\\\0", 4),
                   std::string("/\0/\0", 4),
                   "",
                   0},
                  {"empty input", {}, "", "", "", 0},
                  {"no line feed at the end", {}, "x\\y", "x/y", "", 0},
                  {"a line longer than any buffer", {}, long_line, swapped(long_line), "", 0},
              });
}

TEST(Zelk, HelpAndVersion) {
    run_cases("zelk",
              {
                  {"help", {"-?"}, path_text, "", usage(), 1},
                  {"help with more characters", {"-?anything"}, path_text, "", usage(), 1},
                  {"h", {"-h"}, path_text, "", usage(), 1},
                  {"help word", {"-help"}, path_text, "", usage(), 1},
                  {"help after file names", {"/nonexistent/in", "-h"}, path_text, "", usage(), 1},
                  {"version", {"--version"}, path_text, "1.2.2.9\r\n", "", 0},
                  {"version ignores what follows",
                   {"--version", "-?", "a", "b", "c"},
                   path_text,
                   "1.2.2.9\r\n",
                   "",
                   0},
                  {"version after a missing file",
                   {"/nonexistent/in", "--version"},
                   path_text,
                   "1.2.2.9\r\n",
                   "",
                   0},
              });
}

TEST(Zelk, OtherDashArgumentsAreFileNames) {
    // Each is taken as the input path, which does not exist.
    run_cases(
        "zelk",
        {
            {"h with more", {"-hx"}, path_text, "", "Could not open \"-hx\"!\n", 1},
            {"double dash help", {"--help"}, path_text, "", "Could not open \"--help\"!\n", 1},
            {"unknown letter", {"-x"}, path_text, "", "Could not open \"-x\"!\n", 1},
            {"help tests are case-sensitive", {"-H"}, path_text, "", "Could not open \"-H\"!\n", 1},
            {"upper case help word", {"-HELP"}, path_text, "", "Could not open \"-HELP\"!\n", 1},
            {"lone dash is not standard input", {"-"}, path_text, "", "Could not open \"-\"!\n", 1},
            {"empty argument", {""}, path_text, "", "Could not open \"\"!\n", 1},
        });
}

TEST(Zelk, AThirdFileNameIsRejected) {
    run_cases("zelk",
              {
                  {"three names",
                   {"a", "b", "c"},
                   path_text,
                   "",
                   usage("Invalid argument(s) specified"),
                   1},
                  {"third name before help",
                   {"a", "b", "c", "-?"},
                   path_text,
                   "",
                   usage("Invalid argument(s) specified"),
                   1},
                  {"help before third name", {"a", "b", "-?", "c"}, path_text, "", usage(), 1},
                  {"third name before version",
                   {"a", "b", "c", "--version"},
                   path_text,
                   "",
                   usage("Invalid argument(s) specified"),
                   1},
              });
}

TEST(Zelk, ReadsAndWritesNamedFiles) {
    ScratchDir dir;
    const std::string in = dir.write("in.txt", path_text);
    RunResult r = run_tool("zelk", {in});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "C:/dir/file.txt\n");

    const std::string out = dir.write("out.txt", "old contents that are longer\n");
    r = run_tool("zelk", {in, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(out), "C:/dir/file.txt\n");
}

TEST(Zelk, CommandLineErrorsLeaveTheOutputAlone) {
    ScratchDir dir;
    const std::string in = dir.write("in.txt", path_text);
    const std::string out = dir.write("out.txt", "keep me\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {in, out, "extra"}, {in, out, "-?"}, {in, out, "--version"}}) {
        run_tool("zelk", args);
        EXPECT_EQ(read_file(out), "keep me\n");
    }
}

// 200 MB in one line, through a pipe: the whole of it must never be held.
TEST(Zelk, LargeInputRunsInConstantMemory) {
    // A period prime to every block size, so backslashes land on all boundaries.
    const char period_bytes[] = "C:\\Windows\\System32\\drivers\\etc\\hosts\r\\\0\xff/x";
    const std::string period(period_bytes, sizeof period_bytes - 1);
    const std::string expected_period = swapped(period);
    const std::uint64_t total = 200 * 1000 * 1000;

    std::uint64_t fed = 0;
    const InputGenerator generate = [&](char* bytes, std::size_t capacity) {
        std::size_t length = 0;
        while (length < capacity && fed < total) {
            bytes[length++] = period[fed++ % period.size()];
        }
        return length;
    };
    std::uint64_t seen = 0;
    std::uint64_t wrong = 0;
    const OutputConsumer consume = [&](const char* bytes, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            wrong += bytes[i] != expected_period[seen++ % expected_period.size()];
        }
    };
    const StreamedRunResult large = run_tool_streamed("zelk", {}, generate, consume);
    EXPECT_EQ(large.status, 0);
    EXPECT_EQ(large.err, "");
    EXPECT_EQ(seen, total);
    EXPECT_EQ(wrong, 0u);

    // A child's peak includes what it took over from this process before it
    // started the program, so measure against an empty run started the same way.
    const StreamedRunResult empty = run_tool_streamed(
        "zelk", {}, [](char*, std::size_t) { return std::size_t{0}; },
        [](const char*, std::size_t) {});
    EXPECT_EQ(empty.status, 0);
    EXPECT_LT(large.peak_kib, empty.peak_kib + 1024)
        << "peak " << large.peak_kib << " KiB against " << empty.peak_kib << " KiB when empty";
}

}  // namespace
