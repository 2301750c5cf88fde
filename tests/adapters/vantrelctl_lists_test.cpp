#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/adapters/run_program.h"
#include "tests/adapters/temp_dir.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

ProgramResult vantrelctl(const std::vector<std::string>& args, const std::string& input = "") {
    return runProgram(VANTRELCTL_PATH, args, input);
}

}  // namespace

TEST(VantrelctlDomain, PrintsTheDomainOfEachLine) {
    const ProgramResult r = vantrelctl(
        {"domain"}, "http://www.Example.COM:8080/a\r\nexample.org/path\n\nhttp://WWW.x.net/\nlast");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Example.COM\nexample.org\n\nWWW.x.net\nlast\n");
    EXPECT_EQ(vantrelctl({"domain"}).out, "");
}

TEST(VantrelctlDomain, RejectsArguments) {
    const ProgramResult r = vantrelctl({"domain", "extra"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(VantrelctlAdd, AddsLikeTheListPagesAndKeepsTheFileSorted) {
    TempDir dir;
    const std::string list = dir.path() + "blacklist.lis";
    ProgramResult r = vantrelctl({"add", list, "http://www.b.com/x", "ab", "A.com"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(list), "A.com\r\nb.com\r\n");

    std::ofstream(list, std::ios::binary) << "c.com:1\r\n\r\nB.COM";
    r = vantrelctl({"add", list, "C.COM", "b.com", "d.org"});  // duplicates in any case
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(list), "\r\nB.COM\r\nc.com:1\r\nd.org\r\n");
    EXPECT_FALSE(std::filesystem::exists(list + ".new"));
}

TEST(VantrelctlAdd, BadArgumentsAndUnusableFilesGiveOneLineAndStatusTwo) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() + "folder");
    std::filesystem::create_directory(dir.path() + "busy.lis");
    std::ofstream(dir.path() + "busy.lis/inside") << "x";
    const std::vector<std::vector<std::string>> cases = {
        {"add"},
        {"add", dir.path() + "only-file.lis"},
        {"add", dir.path() + "folder", "a.com"},                // a folder is no list file
        {"add", dir.path() + "no-such-folder/x.lis", "a.com"},  // cannot be written
    };
    for (const auto& args : cases) {
        const ProgramResult r = vantrelctl(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    const ProgramResult r = vantrelctl({"add", dir.path() + "no-such-folder/x.lis", "a.com"});
    EXPECT_NE(r.err.find("no-such-folder/x.lis"), std::string::npos) << r.err;
}
