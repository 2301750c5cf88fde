#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/error.h"
#include "platform/posix/posix_temporary_files.h"
#include "tests/adapters/scoped_env.h"
#include "tests/adapters/temp_dir.h"

using vantrel::posix::PosixTemporaryFiles;

TEST(PosixTemporaryFiles, EachFileIsNewPrivateAndHoldsTheData) {
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.path().c_str());
    PosixTemporaryFiles temporary;
    const std::string first = temporary.createTemporaryFile("GIF89a", ".gif");
    const std::string second = temporary.createTemporaryFile("GIF89a", ".gif");
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.starts_with(dir.path()));
    EXPECT_TRUE(first.ends_with(".gif"));
    EXPECT_EQ(readAll(first), "GIF89a");
    struct stat info {};
    ASSERT_EQ(::stat(first.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(PosixTemporaryFiles, AMissingFolderIsAnError) {
    ScopedEnv tmp("TMPDIR", "/nonexistent/folder");
    PosixTemporaryFiles temporary;
    EXPECT_THROW(temporary.createTemporaryFile("data", ".gif"), vantrel::Error);
}
