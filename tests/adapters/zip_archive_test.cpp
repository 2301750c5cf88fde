// The packed extension, read back by an independent ZIP reader (Python's zipfile module, which
// checks every entry's CRC) rather than by this program's own code.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/posix/posix_file_system.h"
#include "platform/webext/browser_extension.h"
#include "platform/webext/zip_archive.h"
#include "temp_dir.h"

using namespace vantrel::webext;

namespace {

// Every entry of the archive at `path` by name; empty when the reader refuses it.
std::map<std::string, std::string> readArchive(const std::string& path) {
    const std::string command =
        "python3 -c 'import json, sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "print(json.dumps({n: z.read(n).hex() for n in z.namelist()}))' '" +
        path + "' 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    const auto json = nlohmann::json::parse(output, nullptr, false);
    if (!json.is_object()) {
        ADD_FAILURE() << "the reader refused the archive: " << output;
        return {};
    }
    std::map<std::string, std::string> entries;
    for (const auto& [name, hex] : json.items()) {
        const std::string digits = hex.get<std::string>();
        std::string bytes;
        for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
            bytes += char(std::stoi(digits.substr(i, 2), nullptr, 16));
        }
        entries[name] = bytes;
    }
    return entries;
}

}  // namespace

TEST(ZipArchive, AnotherReaderGetsBackEveryFileByteForByte) {
    TempDir dir;
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += char(i);
    const std::vector<ArchiveEntry> entries = {
        {"manifest.json", "{}\n"}, {"empty.txt", ""}, {"icons/16.png", binary + binary}};
    const std::string archive = zipArchive(entries);
    std::FILE* file = std::fopen((dir.path() + "a.zip").c_str(), "wb");
    std::fwrite(archive.data(), 1, archive.size(), file);
    std::fclose(file);

    const auto read = readArchive(dir.path() + "a.zip");
    ASSERT_EQ(read.size(), entries.size());
    for (const ArchiveEntry& entry : entries) EXPECT_EQ(read.at(entry.name), entry.data);
    // The same files give the same bytes: a rewrite at every start changes nothing.
    EXPECT_EQ(zipArchive(entries), archive);
}

TEST(ZipArchive, TheExtensionsPackageHoldsTheFolderFiles) {
    TempDir dir;
    vantrel::posix::PosixFileSystem files;
    BrowserExtension(files, dir.path(), "/opt/vantrel/vantrel", {})
        .registerButton({"Kill popup", "Kill popup", "Run Script", true});

    const auto packed = readArchive(extensionPackage(dir.path()));
    // The manifest, the three scripts, the guard's answer and four icons.
    EXPECT_EQ(packed.size(), 9u);
    for (const auto& [name, data] : packed) {
        EXPECT_EQ(data, readAll(extensionFolder(dir.path()) + name)) << name;
    }
    EXPECT_TRUE(packed.contains("manifest.json"));
}
