#include <gtest/gtest.h>

#include "common/error.h"
#include "net/self_replacement.h"
#include "platform/sim/sim_file_system.h"

using vantrel::isExecutableLike;
using vantrel::quoteForShell;
using vantrel::sim::SimFileSystem;

namespace {

// The first 64 bytes of a 64-bit little-endian ELF file of the given type and machine.
std::string elfHeader(std::uint16_t type, std::uint16_t machine, char elfClass = 2) {
    std::string header(64, '\0');
    header.replace(0, 4,
                   "\x7f"
                   "ELF");
    header[4] = elfClass;
    header[5] = 1;
    header[6] = 1;
    header[16] = char(type & 0xff);
    header[18] = char(machine & 0xff);
    return header;
}

class FakeProcess : public vantrel::ProgramProcess {
  public:
    std::string executablePath() override { return "/opt/my apps/vantrel"; }
    long processId() override { return 4242; }
    void startShellScript(const std::string& path) override {
        if (failStart) throw vantrel::Error("cannot start");
        started.push_back(path);
    }
    bool failStart = false;
    std::vector<std::string> started;
};

class SelfReplacementTest : public ::testing::Test {
  protected:
    SimFileSystem files;
    FakeProcess process;
    const std::string folder = "/opt/my apps/";
    const std::string download = folder + "vantrel1.exe";
    const std::string script = folder + "$$336699.bat";

    void SetUp() override { files.files[process.executablePath()] = elfHeader(3, 62) + "old"; }
};

}  // namespace

TEST(SelfReplacementScript, QuotesEveryPathSoThatNothingInItRuns) {
    EXPECT_EQ(quoteForShell("/a b/it's/$HOME/`x`"), "'/a b/it'\\''s/$HOME/`x`'");
    const std::string text = vantrel::buildReplacementScript(
        {"/p/it's/vantrel", "/p/it's/vantrel1.exe", "/p/it's/$$336699.bat", 77});
    EXPECT_NE(text.find("program='/p/it'\\''s/vantrel'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("script='/p/it'\\''s/$$336699.bat'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("while kill -0 77 2>/dev/null; do sleep 1; done\n"), std::string::npos);
    EXPECT_NE(text.find("mv -f -- \"$update\" \"$program\""), std::string::npos);
}

TEST(SelfReplacementScript, OnlyAProgramForTheSameMachineIsInstallable) {
    const std::string running = elfHeader(3, 62);
    EXPECT_TRUE(isExecutableLike(elfHeader(2, 62) + "code", running));
    EXPECT_TRUE(isExecutableLike(elfHeader(3, 62), running));
    EXPECT_FALSE(isExecutableLike(elfHeader(1, 62), running));     // relocatable object
    EXPECT_FALSE(isExecutableLike(elfHeader(3, 183), running));    // other machine
    EXPECT_FALSE(isExecutableLike(elfHeader(3, 62, 1), running));  // 32-bit
    EXPECT_FALSE(isExecutableLike("<html>Not found</html>", running));
    EXPECT_FALSE(isExecutableLike("", running));
    EXPECT_FALSE(isExecutableLike(elfHeader(3, 62).substr(0, 40), running));
}

TEST_F(SelfReplacementTest, InstallableDownloadWritesAndStartsTheScript) {
    files.files[download] = elfHeader(2, 62) + "new";
    EXPECT_TRUE(vantrel::startSelfReplacement(files, process, folder));
    EXPECT_EQ(process.started, std::vector<std::string>{script});
    const std::string text = files.files[script];
    EXPECT_NE(text.find("program='/opt/my apps/vantrel'"), std::string::npos) << text;
    EXPECT_NE(text.find("update='/opt/my apps/vantrel1.exe'"), std::string::npos) << text;
    EXPECT_NE(text.find("kill -0 4242 "), std::string::npos) << text;
}

TEST_F(SelfReplacementTest, ErrorPageIsNeverInstalled) {
    const std::string running = files.files[process.executablePath()];
    files.files[download] = "<html>Server busy</html>";
    EXPECT_FALSE(vantrel::startSelfReplacement(files, process, folder));
    EXPECT_TRUE(process.started.empty());
    EXPECT_FALSE(files.exists(script));
    EXPECT_FALSE(files.exists(download));
    EXPECT_EQ(files.files[process.executablePath()], running);
}

TEST_F(SelfReplacementTest, ScriptThatCannotBeWrittenOrStartedLeavesTheProgramAlone) {
    files.files[download] = elfHeader(2, 62);
    files.failWrite.insert(script);
    EXPECT_FALSE(vantrel::startSelfReplacement(files, process, folder));
    EXPECT_TRUE(process.started.empty());

    files.failWrite.clear();
    process.failStart = true;
    EXPECT_FALSE(vantrel::startSelfReplacement(files, process, folder));
    EXPECT_FALSE(files.exists(script));
    EXPECT_TRUE(files.exists(download));
}
