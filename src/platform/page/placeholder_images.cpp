#include "platform/page/placeholder_images.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace vantrel::page {

namespace {

// Placeholders are small; a larger file is not put into pages.
constexpr long long kMaxPicture = 1 << 20;

bool isDigits(const std::string& s, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

}  // namespace

PlaceholderImages::PlaceholderImages(std::string programFolder)
    : folder_(std::move(programFolder)) {}

bool PlaceholderImages::isPlaceholderName(const std::string& name) {
    if (name == "removed_banner.gif" || name == "removed.gif" || name == "removed_simple.gif") {
        return true;
    }
    // r<width>x<height>.gif
    if (name.size() < 8 || name[0] != 'r' || name.compare(name.size() - 4, 4, ".gif") != 0) {
        return false;
    }
    const size_t x = name.find('x', 1);
    return x != std::string::npos && isDigits(name, 1, x) && isDigits(name, x + 1, name.size() - 4);
}

std::string PlaceholderImages::dataUrlFor(const std::string& src) {
    if (folder_.empty() || src.size() <= folder_.size() || src.compare(0, folder_.size(), folder_))
        return {};
    const std::string name = src.substr(folder_.size());
    if (name.find('/') != std::string::npos || !isPlaceholderName(name)) return {};
    struct stat st {};
    if (::stat(src.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxPicture)
        return {};
    const long long stamp =
        (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec + (long long)st.st_size;
    auto& cached = cache_[src];
    if (cached.stamp == stamp && !cached.url.empty()) return cached.url;
    std::ifstream in(src, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return {};
    cached = {stamp, "data:image/gif;base64," + base64(bytes)};
    return cached.url;
}

std::string base64(const std::string& bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                           (unsigned char)bytes[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= (unsigned char)bytes[i + 1] << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace vantrel::page
