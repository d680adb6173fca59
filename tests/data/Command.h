// Runs a shell command for the tests of installed files, capturing what it prints.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace testing_support {

struct CommandResult {
    int status = -1;     // the exit status, or -1 when the command did not end normally
    std::string output;  // standard output, and standard error when the command joins them
};

// Runs the command through sh; add "2>&1" to the command to capture standard error as well.
inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The lines of a text that begin with the prefix, each with its line end.
inline std::string linesStartingWith(const std::string& text, const std::string& prefix) {
    std::string found;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, prefix.size(), prefix) == 0)
            found += text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return found;
}

}  // namespace testing_support
