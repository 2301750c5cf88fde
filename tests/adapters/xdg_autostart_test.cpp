#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/xdg_autostart.h"
#include "temp_dir.h"

using vantrel::posix::desktopExecQuote;
using vantrel::posix::PosixFileSystem;
using vantrel::posix::XdgAutostart;

TEST(XdgAutostart, AddWritesAnEntryThatRunsTheExecutable) {
    TempDir dir;
    PosixFileSystem files;
    XdgAutostart autostart(files, dir.path() + "config", "/opt/vantrel/vantrel");
    EXPECT_FALSE(autostart.exists());
    autostart.add();  // creates the missing autostart folder too
    ASSERT_TRUE(autostart.exists());
    EXPECT_EQ(autostart.entryPath(), dir.path() + "config/autostart/Vantrel.desktop");
    const std::string text = files.readFile(autostart.entryPath()).value_or("");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Vantrel\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/vantrel/vantrel\"\n"), std::string::npos);
}

TEST(XdgAutostart, AnExistingEntryKeepsItsPath) {
    TempDir dir;
    PosixFileSystem files;
    XdgAutostart(files, dir.path(), "/old/place/vantrel").add();
    XdgAutostart moved(files, dir.path(), "/new/place/vantrel");
    moved.add();
    const std::string text = files.readFile(moved.entryPath()).value_or("");
    EXPECT_NE(text.find("/old/place/vantrel"), std::string::npos);
    EXPECT_EQ(text.find("/new/place"), std::string::npos);
}

TEST(XdgAutostart, RemoveDeletesTheEntryAndIsSilentWithoutOne) {
    TempDir dir;
    PosixFileSystem files;
    XdgAutostart autostart(files, dir.path(), "/usr/bin/vantrel");
    autostart.remove();
    autostart.add();
    autostart.remove();
    EXPECT_FALSE(autostart.exists());
}

TEST(XdgAutostart, UnwritableFolderRaisesAnError) {
    TempDir dir;
    PosixFileSystem files;
    ASSERT_TRUE(files.exists(dir.path()));
    files.writeFile(dir.path() + "file", "not a folder");
    XdgAutostart autostart(files, dir.path() + "file", "/usr/bin/vantrel");
    EXPECT_THROW(autostart.add(), vantrel::Error);
}

TEST(DesktopExecQuote, PathsWithSpecialCharactersStayOneArgument) {
    EXPECT_EQ(desktopExecQuote("/home/a b/vantrel"), "\"/home/a b/vantrel\"");
    EXPECT_EQ(desktopExecQuote("/x/$HOME\"`"), "\"/x/\\\\$HOME\\\\\"\\\\`\"");
    EXPECT_EQ(desktopExecQuote("/x\\y"), "\"/x\\\\\\\\y\"");
    EXPECT_EQ(desktopExecQuote("/100%/v"), "\"/100%%/v\"");
    // A line break cannot end the Exec line and smuggle in another key.
    EXPECT_EQ(desktopExecQuote("/a\nHidden=true"), "\"/a\\nHidden=true\"");
}
