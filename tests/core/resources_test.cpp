#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "resources/embedded_resources.h"

namespace {

using vantrel::embeddedResource;

// Bounds-checked reading of a file held in memory; running off the end is a malformed file.
class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}

    std::uint8_t byte() {
        if (pos_ >= data_.size()) throw std::runtime_error("truncated");
        return static_cast<std::uint8_t>(data_[pos_++]);
    }
    std::string_view bytes(std::size_t count) {
        if (count > data_.size() - pos_) throw std::runtime_error("truncated");
        std::string_view out = data_.substr(pos_, count);
        pos_ += count;
        return out;
    }
    unsigned littleEndian16() {
        unsigned low = byte();
        return low | (unsigned{byte()} << 8);
    }
    std::uint32_t littleEndian32() { return littleEndian16() | (littleEndian16() << 16); }
    std::uint32_t bigEndian32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
        return value;
    }
    bool atEnd() const { return pos_ == data_.size(); }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// GIF's variable-width LZW, decoded the way a browser does; throws on an impossible code.
std::vector<std::uint8_t> lzwDecode(std::string_view stream, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<std::uint8_t> suffix(4096);
    for (int i = 0; i < clear; ++i) suffix[i] = static_cast<std::uint8_t>(i);

    std::vector<std::uint8_t> out;
    auto firstOf = [&](int code) {
        while (prefix[code] >= 0) code = prefix[code];
        return suffix[code];
    };
    auto emit = [&](int code) {
        std::size_t start = out.size();
        for (; code >= 0; code = prefix[code]) out.push_back(suffix[code]);
        std::reverse(out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
    };

    std::size_t bit = 0;
    auto read = [&](int width) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) {
            if (bit / 8 >= stream.size()) throw std::runtime_error("LZW data ends early");
            code |= ((static_cast<std::uint8_t>(stream[bit / 8]) >> (bit % 8)) & 1) << i;
        }
        return code;
    };

    int width = minCodeSize + 1;
    int next = end + 1;
    int previous = -1;
    for (;;) {
        const int code = read(width);
        if (code == clear) {
            width = minCodeSize + 1;
            next = end + 1;
            previous = -1;
            continue;
        }
        if (code == end) return out;
        if (previous < 0) {
            if (code >= clear) throw std::runtime_error("first code is not a colour");
            emit(code);
            previous = code;
            continue;
        }
        if (code > next) throw std::runtime_error("bad code");
        const std::uint8_t first = code < next ? firstOf(code) : firstOf(previous);
        if (next < 4096) {
            prefix[next] = previous;
            suffix[next] = first;
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        emit(code);
        previous = code;
    }
}

struct Gif {
    unsigned screenWidth = 0;
    unsigned screenHeight = 0;
    int images = 0;
    unsigned imageWidth = 0;
    unsigned imageHeight = 0;
    std::vector<std::uint8_t> pixels;  // colour indices of the first image
};

std::string subBlocks(Reader& in) {
    std::string joined;
    while (std::uint8_t size = in.byte()) joined += in.bytes(size);
    return joined;
}

Gif decodeGif(std::string_view data) {
    Reader in(data);
    const std::string_view signature = in.bytes(6);
    if (signature != "GIF89a" && signature != "GIF87a") throw std::runtime_error("not a GIF");
    Gif gif;
    gif.screenWidth = in.littleEndian16();
    gif.screenHeight = in.littleEndian16();
    const std::uint8_t flags = in.byte();
    in.bytes(2);  // background colour, aspect ratio
    unsigned paletteSize = 0;
    if (flags & 0x80) {
        paletteSize = 2u << (flags & 7);
        in.bytes(3 * paletteSize);
    }
    for (;;) {
        const std::uint8_t block = in.byte();
        if (block == 0x3B) break;
        if (block == 0x21) {
            in.byte();  // extension label
            subBlocks(in);
            continue;
        }
        if (block != 0x2C) throw std::runtime_error("unknown block");
        const unsigned left = in.littleEndian16();
        const unsigned top = in.littleEndian16();
        const unsigned width = in.littleEndian16();
        const unsigned height = in.littleEndian16();
        const std::uint8_t imageFlags = in.byte();
        if (imageFlags & 0x80) {
            paletteSize = 2u << (imageFlags & 7);
            in.bytes(3 * paletteSize);
        }
        if (left + width > gif.screenWidth || top + height > gif.screenHeight)
            throw std::runtime_error("image outside the screen");
        const int minCodeSize = in.byte();
        if (minCodeSize < 2 || minCodeSize > 8) throw std::runtime_error("bad code size");
        std::vector<std::uint8_t> pixels = lzwDecode(subBlocks(in), minCodeSize);
        for (std::uint8_t index : pixels) {
            if (index >= paletteSize) throw std::runtime_error("colour outside the palette");
        }
        if (gif.images++ == 0) {
            gif.imageWidth = width;
            gif.imageHeight = height;
            gif.pixels = std::move(pixels);
        }
    }
    if (!in.atEnd()) throw std::runtime_error("bytes after the trailer");
    return gif;
}

std::string_view resource(std::string_view name) {
    std::optional<std::string_view> bytes = embeddedResource(name);
    if (!bytes) throw std::runtime_error("missing resource " + std::string(name));
    return *bytes;
}

struct Picture {
    std::string_view name;
    unsigned width;
    unsigned height;
};

TEST(EmbeddedResources, EveryNameTheProgramUsesIsPresentAndUnknownNamesAreNot) {
    for (std::string_view name :
         {"IMG_BANNER", "IMG_REMOVED", "IMG_SIMPLE", "IMG_SIMPLE_1", "IMG_SIMPLE_2", "IMG_SIMPLE_3",
          "IMG_SIMPLE_4", "IMG_SIMPLE_5", "IMG_SIMPLE_6", "IMG_SIMPLE_7", "IMG_SIMPLE_8",
          "WAV_DEFAULT", "STOPICON", "TRAY", "TRAY1", "MAINICON"}) {
        std::optional<std::string_view> bytes = embeddedResource(name);
        ASSERT_TRUE(bytes.has_value()) << name;
        EXPECT_GT(bytes->size(), 32u) << name;
    }
    EXPECT_FALSE(embeddedResource("IMG_SIMPLE_9").has_value());
    EXPECT_FALSE(embeddedResource("img_banner").has_value());
    EXPECT_FALSE(embeddedResource("").has_value());
}

TEST(EmbeddedResources, PlaceholdersAreWholeGifsOfTheirSlotSize) {
    // Slot 5 is 727 wide, but its picture is 728 wide.
    for (const Picture& picture : std::initializer_list<Picture>{{"IMG_SIMPLE_1", 300, 250},
                                                                 {"IMG_SIMPLE_2", 250, 250},
                                                                 {"IMG_SIMPLE_3", 240, 400},
                                                                 {"IMG_SIMPLE_4", 336, 280},
                                                                 {"IMG_SIMPLE_5", 728, 90},
                                                                 {"IMG_SIMPLE_6", 160, 600},
                                                                 {"IMG_SIMPLE_7", 120, 600},
                                                                 {"IMG_SIMPLE_8", 468, 60},
                                                                 {"IMG_BANNER", 468, 60},
                                                                 {"IMG_REMOVED", 300, 300},
                                                                 {"IMG_SIMPLE", 266, 96}}) {
        SCOPED_TRACE(picture.name);
        Gif gif;
        ASSERT_NO_THROW(gif = decodeGif(resource(picture.name)));
        EXPECT_EQ(gif.screenWidth, picture.width);
        EXPECT_EQ(gif.screenHeight, picture.height);
        EXPECT_EQ(gif.images, 1);
        EXPECT_EQ(gif.imageWidth, picture.width);
        EXPECT_EQ(gif.imageHeight, picture.height);
        EXPECT_EQ(gif.pixels.size(), std::size_t{picture.width} * picture.height);
        EXPECT_LT(resource(picture.name).size(), 8000u) << "placeholders should stay small";
    }
}

TEST(EmbeddedResources, GifCheckRejectsDamagedFiles) {
    const std::string good(resource("IMG_SIMPLE_8"));
    EXPECT_THROW(decodeGif(good.substr(0, good.size() / 2)), std::runtime_error);
    EXPECT_THROW(decodeGif(good + "x"), std::runtime_error);
    std::string wrongSignature = good;
    wrongSignature[3] = '9';
    EXPECT_THROW(decodeGif(wrongSignature), std::runtime_error);
}

TEST(EmbeddedResources, KillSoundIsAShortPcmWave) {
    Reader in(resource("WAV_DEFAULT"));
    ASSERT_EQ(in.bytes(4), "RIFF");
    const std::uint32_t riffSize = in.littleEndian32();
    ASSERT_EQ(in.bytes(4), "WAVE");
    EXPECT_EQ(riffSize, resource("WAV_DEFAULT").size() - 8);

    unsigned format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0, byteRate = 0, dataSize = 0;
    while (!in.atEnd()) {
        const std::string_view id = in.bytes(4);
        const std::uint32_t size = in.littleEndian32();
        if (id == "fmt ") {
            Reader fmt(in.bytes(size));
            format = fmt.littleEndian16();
            channels = fmt.littleEndian16();
            rate = fmt.littleEndian32();
            byteRate = fmt.littleEndian32();
            fmt.littleEndian16();  // block align
            bits = fmt.littleEndian16();
        } else {
            in.bytes(size + (size & 1));
            if (id == "data") dataSize = size;
        }
    }
    EXPECT_EQ(format, 1u);
    EXPECT_EQ(channels, 1u);
    EXPECT_EQ(bits, 16u);
    EXPECT_EQ(rate, 22050u);
    ASSERT_EQ(byteRate, rate * channels * bits / 8);
    const double seconds = static_cast<double>(dataSize) / byteRate;
    EXPECT_GE(seconds, 0.1);
    EXPECT_LE(seconds, 1.0);
}

TEST(EmbeddedResources, IconsArePngsWithAlphaOfTheirSize) {
    for (const Picture& picture : std::initializer_list<Picture>{
             {"STOPICON", 32, 32}, {"TRAY", 32, 32}, {"TRAY1", 32, 32}, {"MAINICON", 64, 64}}) {
        SCOPED_TRACE(picture.name);
        Reader in(resource(picture.name));
        ASSERT_EQ(in.bytes(8), std::string_view("\x89PNG\r\n\x1a\n", 8));
        ASSERT_EQ(in.bigEndian32(), 13u);
        ASSERT_EQ(in.bytes(4), "IHDR");
        EXPECT_EQ(in.bigEndian32(), picture.width);
        EXPECT_EQ(in.bigEndian32(), picture.height);
        EXPECT_EQ(in.byte(), 8);  // bits per channel
        EXPECT_EQ(in.byte(), 6);  // RGBA
        in.bytes(3 + 4);          // compression, filter, interlace; CRC
        // The chunks run exactly to IEND.
        std::string_view last;
        while (!in.atEnd()) {
            const std::uint32_t size = in.bigEndian32();
            last = in.bytes(4);
            in.bytes(size + 4);
        }
        EXPECT_EQ(last, "IEND");
    }
    EXPECT_EQ(resource("TRAY"), resource("TRAY1"));
}

}  // namespace
