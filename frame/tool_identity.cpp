// The usage block and the version line, the same frame for every program.
#include "frame/tool_identity.h"

void show_usage(const ToolIdentity& identity, int exit_after, const char* error_message) {
    std::FILE* stream = stderr;
    const ToolVersion& v = identity.version;
    std::fprintf(stream, "\n  %s %s Tool, v%d.%d.%d.%04d\n\n", identity.maker_name,
                 identity.tool_title, static_cast<int>(v.major), static_cast<int>(v.minor),
                 static_cast<int>(v.revision), static_cast<int>(v.build));
    if (error_message != nullptr) {
        std::fprintf(stream, "  Error: %s\n\n", error_message);
    }
    identity.write_usage_section(identity, stream);
    std::fprintf(stream, "  USAGE 2: %s -?\n\n    Displays this help\n\n", identity.program_name);
    std::fprintf(stream, "  Contact %s\n    at \"%s\",\n    or, via email, at \"%s\"\n\n",
                 identity.company_name, identity.web_page, identity.email_address);
    if (exit_after != 0) {
        end_program(exit_failure);
    }
}

int show_version(const ToolIdentity& identity) {
    const ToolVersion& v = identity.version;
    std::printf("%d.%d.%d.%d\r\n", static_cast<int>(v.major), static_cast<int>(v.minor),
                static_cast<int>(v.revision), static_cast<int>(v.build));
    return exit_success;
}
