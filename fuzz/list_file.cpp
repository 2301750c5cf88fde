// A list file of any bytes: loaded, then matched and changed like the program does.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"
#include "engine/domain_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line is the URL; the rest is the file.
    const size_t split = input.find('\n');
    const std::string url = toUpperAscii(input.substr(0, split));
    const std::string_view file = split == std::string_view::npos ? "" : input.substr(split + 1);

    DomainList list;
    list.assign(parseListFile(file));
    if (list.matchesUpper(url) != list.matchesUpperLinear(url)) __builtin_trap();
    if (formatListFile(list.entries()).size() < list.size() * 2) __builtin_trap();
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0 && entryLess(list.at(i), list.at(i - 1))) __builtin_trap();  // sorted
    }
    // Take the entries out one by one from the front; the answers must keep agreeing.
    while (list.size() > 0) {
        list.removeAt(0);
        if (list.matchesUpper(url) != list.matchesUpperLinear(url)) __builtin_trap();
    }
    return 0;
}
