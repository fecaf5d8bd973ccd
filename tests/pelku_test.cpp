// Black-box tests of pelku: arguments, input and files in, bytes and status out.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool_runner.h"

namespace {

const std::string banner = "Blank Line Stripping Tool, v1.1.1.0003";
const std::string section =
    "  USAGE 1: pelku [-?] [<input>] [<output>]\n"
    "    where:\n\n"
    "    -?          -   displays help\n"
    "    <input>     -   input file, or to stdout if not specified\n"
    "    <output>    -   output file, or to stdout if not specified\n"
    "\n"
    "    Strips the blank lines from the input, and writes the\n"
    "    remainder to the output\n"
    "\n";

std::string usage(const std::string& error = "") {
    return usage_block(banner, error, section, "pelku");
}

const std::string invalid = "Invalid argument(s) specified";

std::string bytes(const char* text, std::size_t length) {
    return std::string(text, length);
}

TEST(Pelku, DropsOnlyBlankLines) {
    run_cases("pelku",
              {
                  {"spaces, tabs and empty lines go", {}, "a\n\n  \t\nb\n", "a\nb\n", "", 0},
                  {"carriage return line feed alone goes", {}, "a\r\n\r\n", "a\r\n", "", 0},
                  {"form feed is content", {}, "\f\n", "\f\n", "", 0},
                  {"vertical tab is content", {}, " \v \n", " \v \n", "", 0},
                  {"kept lines are not trimmed", {}, "  x \t\r\n", "  x \t\r\n", "", 0},
                  {"last line without line feed kept as it is", {}, "a\n b", "a\n b", "", 0},
                  {"blank last line without line feed dropped", {}, "a\n \t\r", "a\n", "", 0},
                  {"only blank lines", {}, "\n\n \n\t\n", "", "", 0},
                  {"empty input", {}, "", "", "", 0},
                  {"bytes above 127 are content", {}, "\xa0\n\xff\n", "\xa0\n\xff\n", "", 0},
              });
}

TEST(Pelku, NulBytesAreContent) {
    run_cases(
        "pelku",
        {
            {"NUL alone is not blank", {}, bytes("\0\n\n", 3), bytes("\0\n", 2), "", 0},
            {"NUL after blanks is not blank", {}, bytes(" \t\0\n", 4), bytes(" \t\0\n", 4), "", 0},
            {"line with NUL written whole", {}, bytes("ab\0cd\n", 6), bytes("ab\0cd\n", 6), "", 0},
        });
}

TEST(Pelku, HelpVersionAndCommandLineErrors) {
    run_cases("pelku", {
                           {"help", {"-?"}, "a\n", "", usage(), 1},
                           {"help after a path", {"in", "-?"}, "a\n", "", usage(), 1},
                           {"version", {"--version"}, "a\n", "1.1.1.3\r\n", "", 0},
                           {"version ignores what follows",
                            {"--version", "-x", "a", "b", "c"},
                            "",
                            "1.1.1.3\r\n",
                            "",
                            0},
                           {"unknown option", {"-x"}, "a\n", "", usage(invalid), 1},
                           {"long help is not help", {"--help"}, "a\n", "", usage(invalid), 1},
                           {"help with more characters", {"-?x"}, "a\n", "", usage(invalid), 1},
                           {"lone dash", {"-"}, "a\n", "", usage(invalid), 1},
                           {"error before help wins", {"-x", "-?"}, "a\n", "", usage(invalid), 1},
                           {"third path", {"a", "b", "c"}, "a\n", "", usage(invalid), 1},
                       });
}

TEST(Pelku, LineLimit) {
    const std::string longest(509, 'x');
    run_cases("pelku",
              {
                  {"509 and a line feed pass", {}, longest + "\n", longest + "\n", "", 0},
                  {"510 and a line feed are too long after earlier lines",
                   {},
                   "a\n\nb\n" + longest + "y\nc\n",
                   "a\nb\n",
                   "Line 4 too long!\n",
                   3},
                  {"510 without a line feed pass", {}, longest + "y", longest + "y", "", 0},
                  {"511 without a line feed are too long",
                   {},
                   longest + "yz",
                   "",
                   "Line 1 too long!\n",
                   3},
                  {"a long blank line is still too long",
                   {},
                   std::string(510, ' ') + "\n",
                   "",
                   "Line 1 too long!\n",
                   3},
              });
}

TEST(Pelku, ReadsAndWritesNamedFiles) {
    ScratchDir dir;
    const std::string in = dir.write("in.txt", "a\n\nb\n");
    const std::string out = dir.write("out.txt", "old contents that are longer\n");
    RunResult r = run_tool("pelku", {in, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(out), "a\nb\n");

    RunOptions from_file;
    from_file.input = "ignored\n";
    r = run_tool("pelku", {in}, from_file);
    EXPECT_EQ(r.out, "a\nb\n");
}

// The run stops on a too-long line, but its earlier output must still reach the disk.
TEST(Pelku, ATooLongLineStillReportsTheWriteFailureBeforeIt) {
    ScratchDir dir;
    const RunResult r =
        run_tool("pelku", {dir.write("long.txt", "a\n" + std::string(600, 'x')), "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Line 2 too long!\nCould not write \"/dev/full\"!\n");
}

}  // namespace
