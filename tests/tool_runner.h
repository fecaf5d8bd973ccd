// Runs a built program the way a shell would, and captures what it did.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct RunResult {
    std::string out;
    std::string err;
    int status;  // the exit status, or 128 + signal number
};

struct RunOptions {
    std::string input;          // bytes on standard input
    std::string stdin_path;     // a file to open as standard input instead
    std::string stdout_path;    // a file to open as standard output instead of capturing
    bool close_stdout = false;  // run with standard output closed
    bool close_stdin = false;   // run with standard input closed
    int stack_kib = 0;          // a limit on the stack in KiB; 0 for none
    int stdin_fd = -1;          // a descriptor of the test's to give as standard input instead
    int stdout_fd = -1;         // likewise for standard output, which is then not captured
    int time_limit_ms = 0;      // how long to wait for it to end before killing it; 0 for ever
    std::vector<std::string> environment;  // NAME=value, set for the program
    std::function<void()> while_running;   // the test's part, done before waiting for it to end
};

// Path of one of the suite's programs in the build tree.
std::string tool_path(const std::string& program);

RunResult run_tool(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options = {});

// Fills a buffer with the next piece of input; returns its length, 0 at the end.
using InputGenerator = std::function<std::size_t(char* bytes, std::size_t capacity)>;
// Takes each piece of output as it arrives.
using OutputConsumer = std::function<void(const char* bytes, std::size_t length)>;

struct StreamedRunResult {
    std::string err;
    int status;  // the exit status, or 128 + signal number
    // Peak resident memory in KiB. It counts the pages the child took over
    // from the test process before it started the program, so compare runs.
    long peak_kib;
};

// Runs a program with pipes on standard input and output, so that inputs far
// larger than the test's own memory can pass through it: a separate process
// feeds the generator's pieces in, and the consumer sees the output as it comes.
// With non_blocking, the program's ends of both pipes are left non-blocking.
StreamedRunResult run_tool_streamed(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const InputGenerator& generate, const OutputConsumer& consume,
                                    bool non_blocking = false);

// One row of a black-box table: arguments and standard input in; standard
// output, standard error and exit status expected.
struct ToolCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string out;
    std::string err;
    int status;
};

// Runs every row against the program and compares all three results.
void run_cases(const std::string& program, const std::vector<ToolCase>& cases);

// A fresh directory, removed with everything in it when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes) const;

  private:
    std::string dir_;
};

// Reads from fd until length bytes have come, its input has ended or
// time_limit_ms has passed, whichever is first.
std::string read_within(int fd, std::size_t length, int time_limit_ms);

// Whether the programs run under the emulator of a cross build, where they
// start and work many times slower.
bool runs_emulated();

std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The usage block a program writes, built from the frame's fixed pieces, for
// comparing whole standard error texts.
std::string usage_block(const std::string& banner, const std::string& error,
                        const std::string& section, const std::string& program);
