#include "platform/webext/zip_archive.h"

#include <zlib.h>

#include <cstdint>

#include "common/error.h"

namespace vantrel::webext {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfCentral = 0x06054b50;
constexpr std::uint16_t kVersion = 20;  // 2.0: the plain format
constexpr std::uint16_t kMadeOnUnix = (3 << 8) | kVersion;
constexpr std::uint16_t kDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01, the format's first day
constexpr std::uint32_t kFileMode = 0100644u << 16;       // a regular file, rw-r--r--

std::uint32_t checksum(const std::string& data) {
    return std::uint32_t(::crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Little-endian fields, as the format has them.
void put16(std::string& out, std::uint32_t value) {
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields a local header and a central header share, from "version needed" on.
void putCommon(std::string& out, const ArchiveEntry& entry, std::uint32_t crc) {
    put16(out, kVersion);
    put16(out, 0);  // flags
    put16(out, 0);  // stored
    put16(out, 0);  // time 00:00
    put16(out, kDate);
    put32(out, crc);
    put32(out, std::uint32_t(entry.data.size()));  // compressed
    put32(out, std::uint32_t(entry.data.size()));
    put16(out, std::uint32_t(entry.name.size()));
    put16(out, 0);  // extra field
}

}  // namespace

std::string zipArchive(const std::vector<ArchiveEntry>& entries) {
    // Without the 64-bit extension: sizes and offsets below 4 GiB, fewer than 65536 entries.
    constexpr std::size_t kLimit = 0xFFFFFFFFu;
    if (entries.size() >= 0xFFFF) throw Error("Too many files for a ZIP archive");
    std::string archive;
    std::string central;
    for (const ArchiveEntry& entry : entries) {
        if (entry.name.size() >= 0xFFFF || entry.data.size() >= kLimit) {
            throw Error("The file " + entry.name + " is too large for a ZIP archive");
        }
        const std::uint32_t crc = checksum(entry.data);
        const auto offset = std::uint32_t(archive.size());
        put32(archive, kLocalHeader);
        putCommon(archive, entry, crc);
        archive += entry.name;
        archive += entry.data;

        put32(central, kCentralHeader);
        put16(central, kMadeOnUnix);
        putCommon(central, entry, crc);
        put16(central, 0);  // comment
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, kFileMode);
        put32(central, offset);
        central += entry.name;
        if (archive.size() + central.size() >= kLimit) throw Error("The ZIP archive is too large");
    }
    const auto centralOffset = std::uint32_t(archive.size());
    archive += central;
    put32(archive, kEndOfCentral);
    put16(archive, 0);  // this disk
    put16(archive, 0);  // the disk the directory starts on
    put16(archive, std::uint32_t(entries.size()));
    put16(archive, std::uint32_t(entries.size()));
    put32(archive, std::uint32_t(central.size()));
    put32(archive, centralOffset);
    put16(archive, 0);  // comment
    return archive;
}

}  // namespace vantrel::webext
