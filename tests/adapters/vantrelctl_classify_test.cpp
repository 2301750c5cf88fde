#include <gtest/gtest.h>

#include <fstream>

#include "tests/adapters/run_program.h"
#include "tests/adapters/temp_dir.h"

namespace {

class VantrelctlClassify : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        std::ofstream(dir.path() + "allowed.lis", std::ios::binary) << "good.org\r\n";
        std::ofstream(dir.path() + "blacklist.lis", std::ios::binary)
            << "tracker.net\r\nxy:1\r\nabc\r\n";
    }
    ProgramResult classify(std::vector<std::string> extra, const std::string& input) {
        std::vector<std::string> args = {"classify", "--allowed", dir.path() + "allowed.lis",
                                         "--blacklist", dir.path() + "blacklist.lis"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runProgram(VANTRELCTL_PATH, args, input);
    }

    TempDir dir;
};

const std::string kInput =
    "http://tracker.net/x.js\r\n"
    "http://tracker.net/?back=GOOD.ORG\n"
    "https://example.com/ads/r468x60.gif\n"
    "ftp://example.com/banners/\n"
    "http://example.com/abc\n"
    "HTTP://XYZ.COM/";  // no line break after the last URL

const std::string kExpected =
    "1\t0\thttp://tracker.net/x.js\n"
    "0\t1\thttp://tracker.net/?back=GOOD.ORG\n"
    "0\t0\thttps://example.com/ads/r468x60.gif\n"
    "0\t0\tftp://example.com/banners/\n"
    "0\t0\thttp://example.com/abc\n"
    "1\t0\tHTTP://XYZ.COM/\n";

TEST_F(VantrelctlClassify, PrintsBothVerdictsPerUrlOnBothPaths) {
    for (const char* path : {"--stats", "--linear"}) {
        const ProgramResult r = classify({path}, kInput);
        EXPECT_EQ(r.status, 0) << path << ": " << r.err;
        EXPECT_EQ(r.out, kExpected) << path;
    }
}

TEST_F(VantrelctlClassify, StatsLineCountsTheUrls) {
    const ProgramResult r = classify({"--stats"}, kInput);
    EXPECT_EQ(r.err.rfind("urls=6 load_ms=", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" classify_ns_per_url="), std::string::npos) << r.err;
    EXPECT_EQ(r.err.back(), '\n');
    EXPECT_EQ(classify({}, kInput).err, "");
}

TEST_F(VantrelctlClassify, WithoutListsOnlyTheFragmentTablesCount) {
    const ProgramResult r =
        runProgram(VANTRELCTL_PATH, {"classify"}, "http://tracker.net/\nhttp://a.com/popup\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t0\thttp://tracker.net/\n1\t0\thttp://a.com/popup\n0\t0\t\n");
}

TEST_F(VantrelctlClassify, UnreadableListOrBadArgumentsGiveStatusTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {"classify", "--blacklist", dir.path() + "missing.lis"},
        {"classify", "--allowed", dir.path()},  // a folder, not a file
        {"classify", "--blacklist"},
        {"classify", "--fast"},
        {"classify", "extra"},
    };
    for (const auto& args : bad) {
        const ProgramResult r = runProgram(VANTRELCTL_PATH, args, "http://a.com/\n");
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        ASSERT_FALSE(r.err.empty()) << args.back();
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // exactly one line
    }
}

}  // namespace
