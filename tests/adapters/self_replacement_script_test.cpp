#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "net/self_replacement.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_process.h"
#include "tests/adapters/temp_dir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// Polls `done` every 50 ms for at most `limit`.
template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Stands in for the running program: a process whose end the test decides.
class StandInProcess {
  public:
    StandInProcess() {
        const char* argv[] = {"sleep", "60", nullptr};
        posix_spawnp(&pid_, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ);
    }
    ~StandInProcess() { end(); }
    void end() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    long pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

}  // namespace

TEST(SelfReplacementScript, ReplacesTheProgramOnlyAfterItEndedAndRemovesItself) {
    TempDir temp;
    // Nothing of this name may run: a quote, a dollar, backticks and a command substitution.
    const std::string folder =
        temp.path() + "my apps 'quoted' $HOME `touch pwned` $(touch pwned2)/";
    fs::create_directories(folder);
    vantrel::posix::PosixFileSystem files;
    const vantrel::ReplacementPaths paths{folder + "vantrel", folder + "vantrel1.exe",
                                          folder + "$$336699.bat", 0};
    files.writeFile(paths.executable, "old program");
    files.writeFile(paths.download, "new program");
    files.writeFile(folder + "allowed.lis", "example.com\r\n");

    StandInProcess program;
    ASSERT_GT(program.pid(), 0);
    vantrel::ReplacementPaths running = paths;
    running.processId = program.pid();
    files.writeFile(paths.script, vantrel::buildReplacementScript(running));
    vantrel::posix::PosixProgramProcess().startShellScript(paths.script);

    // While the program runs the script only waits.
    EXPECT_FALSE(
        waitFor([&] { return !fs::exists(paths.script); }, std::chrono::milliseconds(1500)));
    EXPECT_EQ(readAll(paths.executable), "old program");

    program.end();
    ASSERT_TRUE(waitFor([&] { return !fs::exists(paths.script); }, std::chrono::seconds(15)));
    EXPECT_EQ(readAll(paths.executable), "new program");
    struct stat info {};
    ASSERT_EQ(::stat(paths.executable.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"vantrel", "allowed.lis"}));
    EXPECT_EQ(readAll(folder + "allowed.lis"), "example.com\r\n");
    EXPECT_EQ(namesIn(temp.path()),
              std::set<std::string>{fs::path(folder).parent_path().filename()});
}

TEST(SelfReplacementScript, RealProgramHeaderIsRecognised) {
    vantrel::posix::PosixProgramProcess process;
    vantrel::posix::PosixFileSystem files;
    const auto self = files.readFile(process.executablePath());
    ASSERT_TRUE(self);
    EXPECT_TRUE(vantrel::isExecutableLike(*self, *self));
    EXPECT_FALSE(vantrel::isExecutableLike("#!/bin/sh\necho hi\n", *self));
}
