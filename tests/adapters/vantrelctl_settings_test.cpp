#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/adapters/run_program.h"
#include "tests/adapters/scoped_env.h"
#include "tests/adapters/temp_dir.h"

namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel";

ProgramResult vantrelctl(const std::vector<std::string>& args) {
    return runProgram(VANTRELCTL_PATH, args);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

void expectUsageFailure(const ProgramResult& r) {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

const char* const kFirstRunOutput =
    "killpop=1\nkillurl=1\nkillbanner=1\nkillimage=0\nautostart=1\nenhotcut=1\nautomin=0\n"
    "killidle=0\nkilllevel=0\nis_blinked=1\nis_sound=1\nvtr_sound=\nvtr_key=69\nvtr_bkey=66\n"
    "vtr_slevel=\nvtr_snlevel=1\nvtr_banner=\nvtr_update=\nvtr_auto_update=1\n"
    "vtr_checked_version=\nvtr_bldate=\nvtr_cldate=\nvtr_getdate=\nvtr_count=0\nvtr_first=\n";

}  // namespace

TEST(VantrelctlSettings, FirstRunStoresAndPrintsTheInitialSettings) {
    TempDir dir;
    const std::string db = dir.path() + "sub/registry.db";
    ProgramResult r = vantrelctl({"settings", "--registry", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kFirstRunOutput);

    r = vantrelctl({"reg", "list", "--registry", db, kKey});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 24) << r.out;  // vtr_first not saved
    EXPECT_NE(r.out.find("vtr_key=69\n"), std::string::npos);
}

TEST(VantrelctlSettings, LoadsStoredValuesWithFallbacks) {
    TempDir dir;
    const std::string db = dir.path() + "registry.db";
    ASSERT_EQ(vantrelctl({"settings", "--registry", db}).status, 0);
    for (const auto& [name, value] :
         {std::pair{"vtr_count", "99999999999"}, {"KILLLEVEL", "1"}, {"vtr_first", "1"}}) {
        ASSERT_EQ(vantrelctl({"reg", "set", "--registry", db, kKey, name, value}).status, 0);
    }
    ASSERT_EQ(vantrelctl({"reg", "delete", "--registry", db, kKey, "vtr_key"}).status, 0);

    const ProgramResult r = vantrelctl({"settings", "--registry", db});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"\nvtr_key=65\n", "\nvtr_count=0\n", "\nkilllevel=0\n", "\nvtr_first=1\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
    }
}

TEST(VantrelctlReg, SetGetListDelete) {
    TempDir dir;
    const std::vector<std::string> db = {"--registry", dir.path() + "r.db"};
    auto reg = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, db.begin(), db.end());
        args.insert(args.begin(), "reg");
        return vantrelctl(args);
    };
    EXPECT_EQ(reg({"set", "K", "b", "two words"}).status, 0);
    EXPECT_EQ(reg({"set", "k", "A", ""}).status, 0);
    EXPECT_EQ(reg({"get", "K", "B"}).out, "two words\n");
    EXPECT_EQ(reg({"get", "K", "missing"}).out, "\n");
    EXPECT_EQ(reg({"list", "K"}).out, "A=\nb=two words\n");
    EXPECT_EQ(reg({"delete", "K", "a"}).status, 0);
    const ProgramResult r = reg({"list", "K"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "b=two words\n");
}

TEST(VantrelctlReg, BadArgumentsAndUnusableFilesExitWithStatus2) {
    TempDir dir;
    const std::string db = dir.path() + "r.db";
    expectUsageFailure(vantrelctl({"reg"}));
    expectUsageFailure(vantrelctl({"reg", "rename", "--registry", db, "K", "a"}));
    expectUsageFailure(vantrelctl({"reg", "get", "--registry", db, "K"}));
    expectUsageFailure(vantrelctl({"reg", "set", "--registry", db, "K", "a", "b", "c"}));
    expectUsageFailure(vantrelctl({"reg", "list", "--registry"}));
    expectUsageFailure(vantrelctl({"reg", "list", "--bogus", "x", "K"}));
    expectUsageFailure(vantrelctl({"settings", "--registry", db, "extra"}));

    const std::string notDb = dir.path() + "notes.txt";
    std::ofstream(notDb, std::ios::binary) << "killpop=1\n";
    std::ofstream(dir.path() + "folder-is-file") << "x";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"settings", "--registry", notDb},
             {"reg", "set", "--registry", notDb, "K", "a", "b"},
             {"reg", "list", "--registry", dir.path() + "folder-is-file/r.db", "K"}}) {
        const ProgramResult r = vantrelctl(args);
        expectUsageFailure(r);
        EXPECT_NE(r.err.find(args[args[0] == "settings" ? 2 : 3]), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(notDb), "killpop=1\n");
}

TEST(VantrelctlSettings, DefaultRegistryComesFromTheEnvironment) {
    TempDir dir;
    const std::string chosen = dir.path() + "chosen.db";
    const ProgramResult r = [&] {
        ScopedEnv env("VANTREL_REGISTRY", chosen.c_str());
        return vantrelctl({"reg", "set", kKey, "killpop", "0"});
    }();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(vantrelctl({"reg", "get", "--registry", chosen, kKey, "killpop"}).out, "0\n");

    ScopedEnv noChoice("VANTREL_REGISTRY", nullptr);
    ScopedEnv config("XDG_CONFIG_HOME", dir.path().c_str());
    EXPECT_EQ(vantrelctl({"settings"}).out, kFirstRunOutput);
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "vantrel/registry.db"));
}
