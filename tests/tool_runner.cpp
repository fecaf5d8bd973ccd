// Process plumbing for the black-box tests.
#include "tool_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

std::string tool_path(const std::string& program) {
    return std::string(TOOL_BIN_DIR) + "/" + program;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tooltest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    dir_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& bytes) const {
    const std::string full = path(name);
    std::ofstream(full, std::ios::binary) << bytes;
    return full;
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string read_within(int fd, std::size_t length, int time_limit_ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(time_limit_ms);
    std::string bytes;
    while (bytes.size() < length) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, std::max(0, static_cast<int>(left.count()))) <= 0) {
            break;
        }
        char piece[4096];
        const ssize_t n = read(fd, piece, std::min(sizeof piece, length - bytes.size()));
        if (n <= 0) {
            break;
        }
        bytes.append(piece, static_cast<std::size_t>(n));
    }
    return bytes;
}

// Waits for the program to end, killing it once the time limit has passed.
static int wait_for_exit(pid_t pid, int time_limit_ms) {
    int wait_status = 0;
    if (time_limit_ms == 0) {
        waitpid(pid, &wait_status, 0);
    }
    for (int waited_ms = 0; time_limit_ms > 0 && waitpid(pid, &wait_status, WNOHANG) == 0;
         waited_ms += 5) {
        if (waited_ms >= time_limit_ms) {
            kill(pid, SIGKILL);
            waitpid(pid, &wait_status, 0);
            break;
        }
        usleep(5000);
    }
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

static void redirect(const std::string& path, int flags, int target) {
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        _exit(125);
    }
    dup2(fd, target);
    close(fd);
}

// The emulator of a cross build, word by word; none in a native build.
static const std::vector<std::string>& emulator() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> split;
        std::istringstream text(TOOL_EMULATOR);
        for (std::string word; text >> word;) {
            split.push_back(word);
        }
        return split;
    }();
    return words;
}

bool runs_emulated() {
    return !emulator().empty();
}

// The argument vector for execv, whose first entry is also the file to run:
// the emulator if there is one, the program's path, its arguments, a null.
static std::vector<char*> make_argv(const std::string& binary,
                                    const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& word : emulator()) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

RunResult run_tool(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options) {
    ScratchDir scratch;
    const std::string in_path =
        options.stdin_path.empty() ? scratch.write("stdin", options.input) : options.stdin_path;
    const std::string out_path = scratch.path("stdout");
    const std::string err_path = scratch.path("stderr");
    const std::string binary = tool_path(program);

    std::vector<char*> argv = make_argv(binary, args);

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (options.close_stdin) {
            close(STDIN_FILENO);
        } else if (options.stdin_fd >= 0) {
            dup2(options.stdin_fd, STDIN_FILENO);
        } else {
            redirect(in_path, O_RDONLY, STDIN_FILENO);
        }
        if (options.close_stdout) {
            close(STDOUT_FILENO);
        } else if (options.stdout_fd >= 0) {
            dup2(options.stdout_fd, STDOUT_FILENO);
        } else if (!options.stdout_path.empty()) {
            redirect(options.stdout_path, O_WRONLY, STDOUT_FILENO);
        } else {
            redirect(out_path, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
        }
        redirect(err_path, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        if (options.stack_kib > 0) {
            const rlim_t bytes = static_cast<rlim_t>(options.stack_kib) * 1024;
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_STACK, &limit);
        }
        setenv("LC_ALL", "C", 1);
        for (const std::string& setting : options.environment) {
            const std::size_t equals = setting.find('=');
            setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(126);
    }
    if (options.while_running) {
        options.while_running();
    }
    RunResult result;
    result.status = wait_for_exit(pid, options.time_limit_ms);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

static void write_all_or_exit(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, bytes, length);
        if (n <= 0) {
            _exit(n < 0 && errno == EPIPE ? 0 : 1);  // the program may stop reading early
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

StreamedRunResult run_tool_streamed(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const InputGenerator& generate, const OutputConsumer& consume,
                                    bool non_blocking) {
    ScratchDir scratch;
    const std::string err_path = scratch.path("stderr");
    const std::string binary = tool_path(program);
    std::vector<char*> argv = make_argv(binary, args);

    int to_tool[2];
    int from_tool[2];
    if (pipe2(to_tool, O_CLOEXEC) != 0 || pipe2(from_tool, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {"", -1, -1};
    }
    std::fflush(nullptr);
    const pid_t tool = fork();
    if (tool == 0) {
        dup2(to_tool[0], STDIN_FILENO);
        dup2(from_tool[1], STDOUT_FILENO);
        if (non_blocking) {
            fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
            fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
        }
        redirect(err_path, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        setenv("LC_ALL", "C", 1);
        execv(argv[0], argv.data());
        _exit(126);
    }
    close(to_tool[0]);
    close(from_tool[1]);
    const pid_t feeder = fork();
    if (feeder == 0) {
        signal(SIGPIPE, SIG_IGN);
        close(from_tool[0]);
        static char piece[64 * 1024];
        for (;;) {
            const std::size_t length = generate(piece, sizeof piece);
            if (length == 0) {
                _exit(0);
            }
            write_all_or_exit(to_tool[1], piece, length);
        }
    }
    close(to_tool[1]);

    static char piece[64 * 1024];
    for (;;) {
        const ssize_t n = read(from_tool[0], piece, sizeof piece);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        consume(piece, static_cast<std::size_t>(n));
    }
    close(from_tool[0]);

    int wait_status = 0;
    struct rusage usage {};
    wait4(tool, &wait_status, 0, &usage);
    int feeder_status = 0;
    waitpid(feeder, &feeder_status, 0);
    EXPECT_TRUE(WIFEXITED(feeder_status) && WEXITSTATUS(feeder_status) == 0)
        << "input feeder failed";
    StreamedRunResult result;
    result.err = read_file(err_path);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    result.peak_kib = usage.ru_maxrss;
    return result;
}

std::string usage_block(const std::string& banner, const std::string& error,
                        const std::string& section, const std::string& program) {
    std::string text = "\n  Tovrane Software " + banner + "\n\n";
    if (!error.empty()) {
        text += "  Error: " + error + "\n\n";
    }
    text += section;
    text += "  USAGE 2: " + program + " -?\n\n    Displays this help\n\n";
    text +=
        "  Contact Tovrane Software (Pty) Ltd\n"
        "    at \"http://www.tovrane.com/quenby.html\",\n"
        "    or, via email, at \"support@tovrane.com\"\n\n";
    return text;
}

void run_cases(const std::string& program, const std::vector<ToolCase>& cases) {
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunOptions options;
        options.input = c.input;
        const RunResult r = run_tool(program, c.args, options);
        // Outputs can be large: show only their start when they differ.
        EXPECT_TRUE(r.out == c.out) << "stdout begins: " << r.out.substr(0, 200);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.status);
    }
}
