#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "common/error.h"
#include "platform/posix/posix_file_system.h"
#include "tests/adapters/temp_dir.h"

using vantrel::posix::PosixFileSystem;

TEST(PosixFileSystem, ReplaceWritesNewContentAndLeavesNoTemporary) {
    TempDir dir;
    PosixFileSystem files;
    const std::string path = dir.path() + "list.lis";
    vantrel::replaceFileContents(files, path, "old\r\n");
    vantrel::replaceFileContents(files, path, "new\r\n");
    EXPECT_EQ(files.readFile(path), "new\r\n");
    EXPECT_FALSE(files.exists(path + ".new"));
}

TEST(PosixFileSystem, FailedRenameKeepsTheOldFileWhole) {
    TempDir dir;
    PosixFileSystem files;
    const std::string path = dir.path() + "list.lis";
    vantrel::replaceFileContents(files, path, "old\r\n");
    // A directory where the temporary file should go makes the write fail.
    std::filesystem::create_directory(path + ".new");
    EXPECT_THROW(vantrel::replaceFileContents(files, path, "new\r\n"), vantrel::Error);
    EXPECT_EQ(files.readFile(path), "old\r\n");
}

TEST(PosixFileSystem, UnreadableOrMissingFileReadsAsNothing) {
    TempDir dir;
    PosixFileSystem files;
    EXPECT_FALSE(files.readFile(dir.path() + "missing").has_value());
    EXPECT_FALSE(files.readFile(dir.path()).has_value());  // a folder
    EXPECT_FALSE(files.readFileStart(dir.path() + "missing", 8).has_value());
    EXPECT_FALSE(files.readFileStart(dir.path(), 8).has_value());
}

TEST(PosixFileSystem, TheStartOfAFileIsAtMostWhatWasAskedFor) {
    TempDir dir;
    PosixFileSystem files;
    const std::string path = dir.path() + "program";
    files.writeFile(path, std::string(100000, 'p') + "end");
    EXPECT_EQ(files.readFileStart(path, 64), std::string(64, 'p'));
    EXPECT_EQ(files.readFileStart(path, 200000)->size(), 100003u);
    files.writeFile(path, "");
    EXPECT_EQ(files.readFileStart(path, 64), "");
}

TEST(PosixFileSystem, WriteErrorNamesTheFile) {
    PosixFileSystem files;
    try {
        files.writeFile("/nonexistent-folder/x.lis", "a");
        FAIL();
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/x.lis"), std::string::npos);
    }
}
