// Black-box tests of quorva: arguments, input and files in, bytes and status out.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool_runner.h"

namespace {

const std::string banner = "Line Splicing Tool, v1.2.3.0006";
const std::string section =
    "  USAGE 1: quorva <N> [-s<sep>] [<input>] [<output>]\n"
    "    where:\n\n"
    "    N           -   the number of lines to join. Can be *, to join all lines\n"
    "    <input>     -   input file, or to stdout if not specified\n"
    "    <output>    -   output file, or to stdout if not specified\n"
    "    -s<sep>     -   insert the separator <sep> between joined lines\n"
    "\n";

std::string usage(const std::string& error = "") {
    return usage_block(banner, error, section, "quorva");
}

const std::string abc = "a\nb\nc\n";

TEST(Quorva, JoinsGroupsOfLines) {
    run_cases(
        "quorva",
        {
            {"pairs without separator", {"2"}, abc, "ab\nc", "", 0},
            {"pairs with separator", {"2", "-s, "}, abc, "a, b\nc, ", "", 0},
            {"separator before count", {"-s, ", "2"}, abc, "a, b\nc, ", "", 0},
            {"last separator wins", {"-s;", "2", "-s+"}, abc, "a+b\nc+", "", 0},
            {"all lines with separator", {"*", "-s,"}, abc, "a,b,c,", "", 0},
            {"all lines without separator", {"*"}, abc, "abc", "", 0},
            {"group of one never writes the separator", {"1", "-s,"}, abc, "a\nb\nc\n", "", 0},
            {"exact groups end in a line feed", {"3", "-s-"}, abc, "a-b-c\n", "", 0},
            {"empty separator is none", {"2", "-s"}, abc, "ab\nc", "", 0},
            {"separator is not unescaped", {"2", "-s\\n"}, abc, "a\\nb\nc\\n", "", 0},
            {"carriage returns stay", {"2", "-s|"}, "a\r\nb\r\nc\r\n", "a\r|b\r\nc\r|", "", 0},
            {"last line without line feed", {"2"}, "a\nb\nc", "ab\nc", "", 0},
            {"empty lines still count", {"2", "-s,"}, "\n\nx\n", ",\nx,", "", 0},
            {"empty input", {"2", "-s,"}, "", "", "", 0},
            {"text after the digits is ignored", {"3x"}, "1\n2\n3\n4\n", "123\n4", "", 0},
            {"leading white space and minus one joins all", {" -1", "-s,"}, abc, "a,b,c,", "", 0},
            {"huge count clamps to the largest size", {"4294967296", "-s,"}, abc, "a,b,c,", "", 0},
        });
}

TEST(Quorva, NegativeGroupSizes) {
    // A count that begins with '-' is an option, so give it leading white space.
    run_cases("quorva",
              {
                  {"minus two", {" -2", "-s,"}, "1\n2\n3\n4\n5\n", "1,2\n3,4\n5,", "", 0},
                  {"below the range clamps", {" -9999999999", "-s,"}, abc, "a,b,c,", "", 0},
              });
}

TEST(Quorva, HelpVersionAndCommandLineErrors) {
    run_cases(
        "quorva",
        {
            {"help", {"-?"}, abc, "", usage(), 1},
            {"help stops before the count", {"-?", "2"}, abc, "", usage(), 1},
            {"version", {"--version"}, abc, "1.2.3.6\r\n", "", 0},
            {"version ignores what follows", {"--version", "-x"}, abc, "1.2.3.6\r\n", "", 0},
            {"help with more characters carries on", {"-?x", "2"}, abc, "ab\nc", usage(), 0},
            {"help with more characters twice",
             {"-?x", "-?y", "2"},
             abc,
             "ab\nc",
             usage() + usage(),
             0},
            {"help with more characters alone",
             {"-?x"},
             abc,
             "",
             usage() + usage("Must specify number of lines to join"),
             1},
            {"no arguments", {}, abc, "", usage("Must specify number of lines to join"), 1},
            {"zero count",
             {"0"},
             abc,
             "",
             usage("Number of lines to join must be greater than 0"),
             1},
            {"count without digits",
             {"x"},
             abc,
             "",
             usage("Number of lines to join must be greater than 0"),
             1},
            {"empty count",
             {""},
             abc,
             "",
             usage("Number of lines to join must be greater than 0"),
             1},
            {"zero count beats a missing input",
             {"0", "/nonexistent/in"},
             "",
             "",
             usage("Number of lines to join must be greater than 0"),
             1},
            {"double dash", {"--x", "2"}, abc, "", usage("unrecognised argument"), 1},
            {"unknown option", {"-x", "2"}, abc, "", usage("unrecognised argument"), 1},
            {"lone dash", {"-", "2"}, abc, "", usage("unrecognised argument"), 1},
            {"fourth positional", {"2", "a", "b", "c"}, abc, "", usage("unrecognised argument"), 1},
        });
}

TEST(Quorva, LineLimit) {
    const std::string longest(2045, 'x');
    run_cases("quorva",
              {
                  {"2045 and a line feed pass", {"2"}, longest + "\nb\n", longest + "b\n", "", 0},
                  {"2046 and a line feed are too long",
                   {"*", "-s,"},
                   "a\n" + longest + "y\nb\n",
                   "a,",
                   "Line 2 too long!\n",
                   3},
                  {"2046 without a line feed pass", {"*"}, longest + "y", longest + "y", "", 0},
                  {"2047 without a line feed are too long",
                   {"*"},
                   longest + "yz",
                   "",
                   "Line 1 too long!\n",
                   3},
                  {"too long fifth line in join-all mode",
                   {"*"},
                   "1\n2\n3\n4\n" + longest + "yy\n",
                   "1234",
                   "Line 5 too long!\n",
                   3},
              });
}

TEST(Quorva, NulBytesAreOrdinaryBytes) {
    const std::string input("a\0b\nc\n\0\nd\n", 10);
    run_cases("quorva", {
                            {"whole lines with NUL pass",
                             {"2", "-s,"},
                             input,
                             std::string("a\0b,c\n\0,d\n", 10),
                             "",
                             0},
                        });
}

TEST(Quorva, ReadsAndWritesNamedFiles) {
    ScratchDir dir;
    const std::string in = dir.write("in.txt", abc);
    const std::string out = dir.path("out.txt");
    RunResult r = run_tool("quorva", {"2", in, out, "-s+"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(out), "a+b\nc+");

    // An existing output is emptied first.
    dir.write("old.txt", "old contents that are longer\n");
    r = run_tool("quorva", {"*", in, dir.path("old.txt")});
    EXPECT_EQ(read_file(dir.path("old.txt")), "abc");
}

// Checked before any stream is opened: the output is never emptied.
TEST(Quorva, ZeroCountLeavesTheOutputAlone) {
    ScratchDir dir;
    const std::string out = dir.write("out.txt", "keep me\n");
    const RunResult r = run_tool("quorva", {"0", dir.write("in.txt", abc), out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usage("Number of lines to join must be greater than 0"));
    EXPECT_EQ(read_file(out), "keep me\n");
}

TEST(Quorva, LargeInputKeepsGroupBoundaries) {
    std::string input;
    std::string expected;
    for (int i = 1; i <= 100000; ++i) {
        const std::string n = std::to_string(i);
        input += n + "\n";
        expected += n + (i % 3 == 0 ? "\n" : ",");
    }
    RunOptions options;
    options.input = input;
    const RunResult r = run_tool("quorva", {"3", "-s,"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == expected);
}

}  // namespace
