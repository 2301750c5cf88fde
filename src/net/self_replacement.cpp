#include "net/self_replacement.h"

#include <cstdint>
#include <exception>
#include <optional>

namespace vantrel {

namespace {

// e_ident (16 bytes), then e_type and e_machine; the whole header is 52 or 64 bytes.
constexpr size_t kElfHeaderSize = 64;

struct ElfIdentity {
    unsigned char elfClass;   // 1: 32-bit, 2: 64-bit
    unsigned char byteOrder;  // 1: little-endian, 2: big-endian
    std::uint16_t type;
    std::uint16_t machine;
};

std::optional<ElfIdentity> readElfIdentity(std::string_view bytes) {
    if (bytes.size() < 52 || bytes.substr(0, 4) !=
                                 "\x7f"
                                 "ELF")
        return std::nullopt;
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    ElfIdentity id{byteAt(4), byteAt(5), 0, 0};
    if ((id.elfClass != 1 && id.elfClass != 2) || (id.byteOrder != 1 && id.byteOrder != 2) ||
        byteAt(6) != 1 || (id.elfClass == 2 && bytes.size() < 64)) {
        return std::nullopt;
    }
    const auto half = [&](size_t i) {
        return std::uint16_t(id.byteOrder == 1 ? byteAt(i) | byteAt(i + 1) << 8
                                               : byteAt(i) << 8 | byteAt(i + 1));
    };
    id.type = half(16);
    id.machine = half(18);
    return id;
}

}  // namespace

std::string quoteForShell(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string buildReplacementScript(const ReplacementPaths& paths) {
    return "#!/bin/sh\n"
           "# Puts the downloaded Vantrel in place once the running one has ended.\n"
           "program=" +
           quoteForShell(paths.executable) +
           "\n"
           "update=" +
           quoteForShell(paths.download) +
           "\n"
           "script=" +
           quoteForShell(paths.script) +
           "\n"
           "while kill -0 " +
           std::to_string(paths.processId) +
           " 2>/dev/null; do sleep 1; done\n"
           "chmod a+x -- \"$update\" && mv -f -- \"$update\" \"$program\"\n"
           "rm -f -- \"$script\"\n";
}

bool isExecutableLike(std::string_view candidate, std::string_view running) {
    const auto update = readElfIdentity(candidate);
    const auto self = readElfIdentity(running);
    constexpr std::uint16_t executable = 2, sharedObject = 3;
    return update && self && (update->type == executable || update->type == sharedObject) &&
           update->elfClass == self->elfClass && update->byteOrder == self->byteOrder &&
           update->machine == self->machine;
}

bool startSelfReplacement(FileSystem& files, ProgramProcess& process,
                          const std::string& programFolder) {
    ReplacementPaths paths;
    paths.executable = process.executablePath();
    paths.download = programFolder + std::string(UpdateFileName);
    paths.script = programFolder + std::string(ReplacementScriptName);
    paths.processId = process.processId();

    const auto update = files.readFileStart(paths.download, kElfHeaderSize);
    const auto running = files.readFileStart(paths.executable, kElfHeaderSize);
    if (!update || !running || !isExecutableLike(*update, *running)) {
        files.removeFile(paths.download);
        return false;
    }
    try {
        files.writeFile(paths.script, buildReplacementScript(paths));
        process.startShellScript(paths.script);
    } catch (const std::exception&) {
        files.removeFile(paths.script);
        return false;
    }
    return true;
}

}  // namespace vantrel
