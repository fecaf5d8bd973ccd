// zelk's whole run from fuzzer bytes: a successful copy to standard output is
// the input with every backslash swapped, so of the same length and with no
// backslash; no file it writes holds a backslash or outgrows the input. Each
// input tries one word kit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "program_harness.h"
#include "reference_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    use_kit_for_input(size);  // each kit's swap in turn
    const ProgramRun run = run_program(data, size);
    require(run.status == 0 || run.status == 1, "a known status", run);
    std::size_t names = 0;
    for (const std::string& arg : run.args) {
        const bool help =
            arg.size() > 1 && arg[0] == '-' && (arg[1] == '?' || arg == "-h" || arg == "-help");
        names += !help && arg != "--version";
    }
    if (run.status == 0 && !has_arg(run, "--version") && names <= 1) {
        require(run.out.size() == run.input.size(), "output of the input's length", run);
        for (std::size_t i = 0; i < run.out.size(); ++i) {
            const char expected = run.input[i] == '\\' ? '/' : run.input[i];
            require(run.out[i] == expected, "the input with slashes swapped", run);
        }
    }
    for (const std::string& written : run.files) {
        // The file "in" is never zelk's output: no other file exists to read.
        if (written != run.input) {
            require(written.find('\\') == std::string::npos, "no backslash in a file", run);
            require(written.size() <= run.input.size(), "no file longer than the input", run);
        }
    }
    return 0;
}
