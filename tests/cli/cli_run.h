#pragma once
// Runs the converter as a user runs it, for the converter's tests.

#include <cstdio>
#include <string>

#include <sys/wait.h>

namespace testing_support {

struct CliRun {
    int status;
    std::string output;  // standard output and error together
};

inline CliRun Tevlin(const std::string& args) {
    CliRun r{-1, {}};
    FILE* pipe = popen((std::string(TEVLIN_CLI) + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, got);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace testing_support
