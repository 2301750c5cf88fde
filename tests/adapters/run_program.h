#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/adapters/temp_dir.h"

struct ProgramResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args`, feeding `input` on standard input. A program that hangs is killed
// by an alarm after `timeoutSeconds`, so the wait is bounded.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& input = "", unsigned timeoutSeconds = 20) {
    TempDir io;
    const std::string inPath = io.path() + "in";
    const std::string outPath = io.path() + "out";
    const std::string errPath = io.path() + "err";
    std::ofstream(inPath, std::ios::binary) << input;

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::alarm(timeoutSeconds);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ProgramResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    auto slurp = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream data;
        data << file.rdbuf();
        return data.str();
    };
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}
