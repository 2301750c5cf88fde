#include <gtest/gtest.h>

#include <cstdio>

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "common/error.h"
#include "platform/sqlite/sqlite_registry.h"
#include "tests/adapters/scoped_env.h"
#include "tests/adapters/temp_dir.h"

using vantrel::RegistryStore;
using vantrel::sqlite::SqliteRegistry;

namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel";

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream data;
    data << file.rdbuf();
    return data.str();
}

// Names of everything in `folder`, sorted.
std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Expects opening `path` to fail with an Error that names the file.
void expectRefused(const std::string& path) {
    try {
        SqliteRegistry registry(path);
        ADD_FAILURE() << "opened " << path;
    } catch (const vantrel::Error& e) {
        EXPECT_NE(std::string(e.what()).find('"' + path + '"'), std::string::npos) << e.what();
    }
}

}  // namespace

TEST(SqliteRegistry, CreatesFolderFileAndKeyAndKeepsValuesAcrossOpens) {
    TempDir dir;
    const std::string path = dir.path() + "config/vantrel/registry.db";
    const RegistryStore::Values values = {{"empty", ""},
                                          {"quote", "it's \"x\"; DROP TABLE registry_values"},
                                          {"bytes", "caf\xc3\xa9\r\nline\xff"},
                                          {"vtr_count", "-2147483648"}};
    {
        SqliteRegistry registry(path);
        registry.openKey(kKey);
        EXPECT_TRUE(registry.listValues(kKey).empty());
        registry.writeValues(kKey, values);
        registry.writeValue("other\\key", "empty", "elsewhere");
    }
    // A clean close leaves the database alone, without log files.
    EXPECT_EQ(folderEntries(dir.path() + "config/vantrel"),
              std::vector<std::string>{"registry.db"});

    SqliteRegistry registry(path);
    for (const auto& [name, value] : values) EXPECT_EQ(registry.readValue(kKey, name), value);
    EXPECT_TRUE(registry.hasValue(kKey, "empty"));
    EXPECT_FALSE(registry.hasValue(kKey, "missing"));
    EXPECT_EQ(registry.readValue(kKey, "missing"), "");
    EXPECT_EQ(registry.readValue("no\\such\\key", "empty"), "");
    EXPECT_EQ(registry.listValues("other\\key"), (RegistryStore::Values{{"empty", "elsewhere"}}));
}

TEST(SqliteRegistry, KeysAndNamesIgnoreLetterCase) {
    TempDir dir;
    SqliteRegistry registry(dir.path() + "r.db");
    registry.writeValues(kKey, {{"KillPop", "1"}, {"b", "x"}, {"A", "y"}});
    registry.writeValue("hkey_local_machine\\software\\VANTREL", "KILLPOP", "0");
    EXPECT_EQ(registry.readValue(kKey, "killpop"), "0");
    // One value, still under the spelling it was created with; listed in case-blind order.
    EXPECT_EQ(registry.listValues(kKey),
              (RegistryStore::Values{{"A", "y"}, {"b", "x"}, {"KillPop", "0"}}));
    registry.deleteValue(kKey, "KILLPOP");
    EXPECT_FALSE(registry.hasValue(kKey, "killpop"));
    registry.deleteValue(kKey, "never-there");  // not an error
}

TEST(SqliteRegistry, FileThatIsNoRegistryIsRefusedAndLeftUntouched) {
    TempDir dir;
    const std::string text = dir.path() + "text.db";
    std::ofstream(text, std::ios::binary) << "killpop=1\n";
    const std::string zeros = dir.path() + "zeros.db";
    std::ofstream(zeros, std::ios::binary) << std::string(8192, '\0');
    const std::string foreign = dir.path() + "foreign.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    // A table of the registry's name, but of another shape, is no registry either.
    const std::string otherShape = dir.path() + "other-shape.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(otherShape.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE registry_values (key TEXT, name TEXT, data TEXT)", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    }
    const auto before = folderEntries(dir.path());
    for (const auto& path : {text, zeros, foreign, otherShape}) {
        const std::string content = readFile(path);
        expectRefused(path);
        EXPECT_EQ(readFile(path), content) << path;
    }
    EXPECT_EQ(folderEntries(dir.path()), before);  // no log files beside them either
}

TEST(SqliteRegistry, PlaceThatCannotHoldOrWriteTheFileIsReported) {
    TempDir dir;
    std::ofstream(dir.path() + "file") << "x";
    expectRefused(dir.path() + "file/registry.db");  // the folder is a file
    std::filesystem::create_directory(dir.path() + "folder.db");
    expectRefused(dir.path() + "folder.db");  // the file is a folder
    expectRefused("");

    // A folder where the write-ahead log must go: the database cannot be used.
    const std::string blocked = dir.path() + "blocked.db";
    SqliteRegistry(blocked).writeValue(kKey, "killpop", "1");
    std::filesystem::create_directory(blocked + "-wal");
    const std::string content = readFile(blocked);
    expectRefused(blocked);
    EXPECT_EQ(readFile(blocked), content);
}

TEST(SqliteRegistry, ImmutableFileIsReportedAsUnwritable) {
    TempDir dir;
    const std::string path = dir.path() + "registry.db";
    SqliteRegistry(path).writeValue(kKey, "killpop", "1");
    const std::string content = readFile(path);

    // Root ignores permission bits but not the immutable attribute.
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) GTEST_SKIP() << "no file attributes here";
    const int writable = flags;
    flags |= FS_IMMUTABLE_FL;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
        ::close(fd);
        GTEST_SKIP() << "cannot make a file immutable here";
    }
    expectRefused(path);
    flags = writable;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"registry.db"});
}

// Runs `body` in a child process bounded to a minute; a registry error there is printed under
// `name` and makes the child's status 1.
pid_t startChild(const std::string& name, const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::alarm(60);  // bounds the child even if a lock is never given up
    try {
        body();
    } catch (const vantrel::Error& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
        ::_exit(1);
    }
    ::_exit(0);
}

void expectChildrenSucceed(const std::vector<pid_t>& children) {
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
}

// Copies started at the same moment on a file none of them has made yet (two program copies at
// login): every one opens it; none is refused because another was turning it into a database.
TEST(SqliteRegistry, CopiesOpeningOneNewFileAtOnceAllSucceed) {
    constexpr int kRounds = 10;
    constexpr int kCopies = 6;
    for (int round = 0; round < kRounds; ++round) {
        TempDir dir;
        const std::string path = dir.path() + "registry.db";
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::vector<pid_t> copies;
        for (int c = 0; c < kCopies; ++c) {
            copies.push_back(startChild("copy " + std::to_string(c), [&] {
                ::close(start[1]);
                char go;
                // All wait for the same signal: the end of the pipe.
                [[maybe_unused]] const auto n = ::read(start[0], &go, 1);
                SqliteRegistry registry(path);
                registry.writeValues(kKey, {{"copy" + std::to_string(c), "here"}});
            }));
            ASSERT_GE(copies.back(), 0);
        }
        ::close(start[0]);
        ::close(start[1]);
        expectChildrenSucceed(copies);
        EXPECT_EQ(SqliteRegistry(path).listValues(kKey).size(), size_t(kCopies));
    }
}

// Several processes create one new file together and save whole sets of values over each other,
// while this process reads: every list it sees comes from one save.
TEST(SqliteRegistry, ConcurrentSavesFromSeveralProcessesLandWhole) {
    TempDir dir;
    const std::string path = dir.path() + "shared.db";
    constexpr int kWriters = 4;
    constexpr int kSaves = 25;  // enough overlap to catch an unguarded save, little time under load
    constexpr int kValues = 24;

    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(startChild("writer " + std::to_string(w), [&] {
            SqliteRegistry registry(path);
            for (int s = 0; s < kSaves; ++s) {
                RegistryStore::Values values;
                for (int v = 0; v < kValues; ++v) {
                    values.emplace_back("value" + std::to_string(v),
                                        std::to_string(w) + "." + std::to_string(s));
                }
                registry.writeValues(kKey, values);
            }
        }));
        ASSERT_GE(writers.back(), 0);
    }

    int mixed = 0;
    int seen = 0;
    for (int round = 0; round < 200; ++round) {
        try {
            SqliteRegistry reader(path);
            const auto values = reader.listValues(kKey);
            if (values.empty()) continue;
            ++seen;
            for (const auto& [name, value] : values) mixed += value != values.front().second;
            if (int(values.size()) != kValues) ++mixed;
        } catch (const vantrel::Error& e) {
            ADD_FAILURE() << e.what();
            break;
        }
    }
    expectChildrenSucceed(writers);
    EXPECT_EQ(mixed, 0) << "of " << seen << " lists seen";

    SqliteRegistry registry(path);
    const auto final = registry.listValues(kKey);
    ASSERT_EQ(final.size(), size_t(kValues));
    for (const auto& [name, value] : final) EXPECT_EQ(value, final.front().second);
    EXPECT_EQ(final.front().second.substr(final.front().second.find('.')),
              "." + std::to_string(kSaves - 1));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string integrity;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** columns, char**) {
            *static_cast<std::string*>(out) += columns[0];
            return 0;
        },
        &integrity, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(integrity, "ok");
}

TEST(SqliteRegistry, DefaultPathFollowsTheEnvironment) {
    ScopedEnv registry("VANTREL_REGISTRY", nullptr);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/cfg");
        EXPECT_EQ(vantrel::sqlite::defaultRegistryPath(), "/tmp/cfg/vantrel/registry.db");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(vantrel::sqlite::defaultRegistryPath(),
                  "/home/someone/.config/vantrel/registry.db");
    }
    {
        // A relative value is ignored, as the XDG rules say: it would give a store per folder.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(vantrel::sqlite::defaultRegistryPath(),
                  "/home/someone/.config/vantrel/registry.db");
    }
    ScopedEnv chosen("VANTREL_REGISTRY", "/elsewhere/r.db");
    EXPECT_EQ(vantrel::sqlite::defaultRegistryPath(), "/elsewhere/r.db");
}
