# Writes OUTPUT, a C++ file holding each file of ENTRIES ("NAME=path,NAME=path,...") as a byte
# array, and the lookup vantrel::embeddedResource over them.
string(REPLACE "," ";" entries "${ENTRIES}")

set(arrays "")
set(rows "")
set(index 0)
foreach(entry IN LISTS entries)
    string(FIND "${entry}" "=" eq)
    string(SUBSTRING "${entry}" 0 ${eq} name)
    math(EXPR start "${eq} + 1")
    string(SUBSTRING "${entry}" ${start} -1 path)
    file(SIZE "${path}" size)
    file(READ "${path}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # The trailing 0 keeps the array non-empty for an empty file; the size excludes it.
    string(APPEND arrays "const unsigned char data${index}[] = {${bytes}0};\n")
    string(APPEND rows "    {\"${name}\", data${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()

string(CONFIGURE [=[
// Generated from the files under resources/ by embed_resources.cmake; do not edit.
#include "resources/embedded_resources.h"

#include <cstddef>

namespace vantrel {
namespace {

@arrays@
struct Entry {
    std::string_view name;
    const unsigned char* data;
    std::size_t size;
};

const Entry entries[] = {
@rows@};

}  // namespace

std::optional<std::string_view> embeddedResource(std::string_view name) {
    for (const Entry& entry : entries) {
        if (entry.name == name) {
            return std::string_view(reinterpret_cast<const char*>(entry.data), entry.size);
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
]=] source @ONLY)
file(WRITE "${OUTPUT}" "${source}")
