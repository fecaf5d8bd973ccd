// Runs a program's main routine inside the fuzzer's process: arguments and
// input decoded from the fuzzer's bytes, the standard streams on memory
// files, and every end the frame makes brought back here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ProgramRun {
    std::vector<std::string> args;  // the program name not included
    std::string input;              // standard input, and the file "in" as well
    int status;
    std::string out;                 // standard output
    std::string err;                 // standard error
    std::vector<std::string> files;  // every file the run left behind, "in" included
};

// The first byte gives the number of arguments (0 to 7), each of which then
// ends at a NUL byte; the bytes after them are the input. Arguments can only
// name files in the harness's own folder: a slash becomes an underscore.
ProgramRun run_program(const std::uint8_t* data, std::size_t size);

// Ends the fuzzer with a finding when condition is false.
void require(bool condition, const char* property, const ProgramRun& run);

// The count of positional arguments: those that do not begin with '-'.
std::size_t count_positionals(const ProgramRun& run);

bool has_arg(const ProgramRun& run, const std::string& arg);
