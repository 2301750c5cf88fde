#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/error.h"
#include "engine/domain_lists.h"
#include "platform/posix/posix_file_system.h"
#include "tests/adapters/temp_dir.h"

using vantrel::DomainLists;
using vantrel::posix::PosixFileSystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

}  // namespace

TEST(DomainListsFiles, SaveAndLoadRoundTripInRealFiles) {
    TempDir dir;
    PosixFileSystem files;
    {
        DomainLists lists(files, dir.path());
        lists.AddURLToList(lists.CleanList, "http://www.Friend.net/");
        lists.AddURLToList(lists.BlackList, "ads.example.com");
        lists.BlackList.replaceAt(0, "ads.example.com:1");
        lists.SaveLists();
    }
    EXPECT_EQ(readFile(dir.path() + "allowed.lis"), "Friend.net\r\n");
    EXPECT_EQ(readFile(dir.path() + "blacklist.lis"), "ads.example.com:1\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "blacklist.lis.new"));

    DomainLists reloaded(files, dir.path());
    reloaded.LoadLists();
    EXPECT_EQ(reloaded.BlackList.entries(), std::vector<std::string>{"ads.example.com:1"});
    EXPECT_EQ(reloaded.BlackLV.row(0).at(0), "ads.example.com");
    EXPECT_TRUE(reloaded.BlackList.matches("HTTP://ADS.EXAMPLE.COM/X"));
}

TEST(DomainListsFiles, FailedRenameLeavesTheOldFileWhole) {
    TempDir dir;
    PosixFileSystem files;
    DomainLists lists(files, dir.path());
    const std::string path = dir.path() + "blacklist.lis";
    // A non-empty folder in the list's place cannot be replaced by a rename.
    std::filesystem::create_directory(path);
    writeFile(path + "/keep", "old");
    try {
        lists.AddURLToList(lists.BlackList, "new.com");
        FAIL() << "no error";
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(path + "/keep"), "old");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    EXPECT_EQ(lists.BlackList.size(), 1u);  // kept in memory and in the view
    EXPECT_EQ(lists.BlackLV.rowCount(), 1u);
}

TEST(DomainListsFiles, UnwritableFolderGivesAnErrorNamingTheFileAndKeepsTheOldOne) {
    TempDir dir;
    PosixFileSystem files;
    const std::string path = dir.path() + "allowed.lis";
    writeFile(path, "old.com\r\n");
    DomainLists lists(files, dir.path());
    lists.LoadLists();
    // Permission bits do not stop root; a folder where the temporary file goes does.
    std::filesystem::create_directory(path + ".new");
    writeFile(path + ".new/x", "");
    try {
        lists.SaveLists();
        FAIL() << "no error";
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(path), "old.com\r\n");
    EXPECT_EQ(readFile(dir.path() + "blacklist.lis"), "");  // the other list is still written

    DomainLists missingFolder(files, dir.path() + "gone/");
    missingFolder.CleanList.insertSorted("a.com");
    EXPECT_THROW(missingFolder.saveList(missingFolder.CleanList), vantrel::Error);
}

TEST(DomainListsFiles, UnreadableListIsReportedKeptAndTheOtherLoads) {
    TempDir dir;
    PosixFileSystem files;
    std::filesystem::create_directory(dir.path() + "allowed.lis");  // cannot be read as a file
    writeFile(dir.path() + "blacklist.lis", std::string("a\0b.com\r\n\xff\xfe.net", 15));
    DomainLists lists(files, dir.path());
    lists.CleanList.insertSorted("kept.com");
    EXPECT_THROW(lists.LoadLists(), vantrel::Error);
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"kept.com"});
    lists.SaveLists();
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "allowed.lis"));
    ASSERT_EQ(lists.BlackList.size(), 2u);
    EXPECT_EQ(lists.BlackList.at(0), std::string("a\0b.com", 7));
    EXPECT_EQ(lists.BlackList.at(1), "\xff\xfe.net");
}
