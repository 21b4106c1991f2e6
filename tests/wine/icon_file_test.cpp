// The icon that make_icon.py makes for resource 101, read back byte by byte
// and compared with the XPM source image it was made from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 32;

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

unsigned le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8);
}
std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return le16(b, at) | (static_cast<std::uint32_t>(le16(b, at + 2)) << 16);
}

struct Colour {
    int r, g, b;
    bool operator==(const Colour&) const = default;
};
using Pixel = std::optional<Colour>;  // nothing: transparent

// The XPM subset our source image uses: one character per pixel, colours
// given as "c #RRGGBB" or "c None".
std::vector<std::vector<Pixel>> readXpm(const std::string& path) {
    std::ifstream file(path);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::string> strings;
    const std::regex quoted("\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), quoted);
         it != std::sregex_iterator(); ++it) {
        strings.push_back((*it)[1]);
    }
    int width = 0, height = 0, colours = 0, cpp = 0;
    if (strings.empty() ||
        std::sscanf(strings[0].c_str(), "%d %d %d %d", &width, &height, &colours, &cpp) != 4 ||
        cpp != 1) {
        return {};
    }
    std::map<char, Pixel> table;
    for (int i = 1; i <= colours; ++i) {
        const std::string& line = strings.at(i);
        const auto c = line.find(" c ");
        const std::string value = line.substr(c + 3);
        if (value == "None") {
            table[line[0]] = std::nullopt;
        } else {
            const long rgb = std::strtol(value.c_str() + 1, nullptr, 16);
            table[line[0]] = Colour{int(rgb >> 16 & 255), int(rgb >> 8 & 255), int(rgb & 255)};
        }
    }
    std::vector<std::vector<Pixel>> rows;
    for (int y = 0; y < height; ++y) {
        std::vector<Pixel> row;
        for (char key : strings.at(1 + colours + y)) {
            row.push_back(table.at(key));
        }
        rows.push_back(row);
    }
    return rows;
}

// One image of the icon file, decoded.
struct IconImage {
    int bitCount = 0;
    std::vector<Colour> palette;
    std::vector<std::vector<int>> indices;  // top row first
    std::vector<std::vector<int>> mask;     // 1: transparent
};

IconImage decodeImage(const std::vector<std::uint8_t>& file, std::uint32_t offset) {
    IconImage image;
    EXPECT_EQ(le32(file, offset), 40u) << "BITMAPINFOHEADER size";
    EXPECT_EQ(static_cast<std::int32_t>(le32(file, offset + 4)), kSide);
    EXPECT_EQ(static_cast<std::int32_t>(le32(file, offset + 8)), 2 * kSide) << "colour + mask";
    image.bitCount = static_cast<int>(le16(file, offset + 14));
    const std::uint32_t colours = le32(file, offset + 32);
    std::size_t at = offset + 40;
    for (std::uint32_t i = 0; i < colours; ++i, at += 4) {
        image.palette.push_back({file.at(at + 2), file.at(at + 1), file.at(at)});
    }
    const std::size_t colourStride = (kSide * image.bitCount / 8 + 3) / 4 * 4;
    const std::size_t maskStride = 4;
    const std::size_t maskStart = at + colourStride * kSide;
    image.indices.assign(kSide, std::vector<int>(kSide));
    image.mask.assign(kSide, std::vector<int>(kSide));
    for (int y = 0; y < kSide; ++y) {
        const int stored = kSide - 1 - y;  // rows are stored bottom up
        for (int x = 0; x < kSide; ++x) {
            const int bit = x * image.bitCount;
            const std::uint8_t byte = file.at(at + stored * colourStride + bit / 8);
            const int shift = 8 - image.bitCount - bit % 8;
            image.indices[y][x] = (byte >> shift) & ((1 << image.bitCount) - 1);
            const std::uint8_t maskByte = file.at(maskStart + stored * maskStride + x / 8);
            image.mask[y][x] = (maskByte >> (7 - x % 8)) & 1;
        }
    }
    return image;
}

class IconFile : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = readFile(MORVANE_TEST_ICON);
        source_ = readXpm(MORVANE_ICON_SOURCE);
        ASSERT_EQ(source_.size(), static_cast<std::size_t>(kSide)) << "source image unreadable";
        ASSERT_GE(file_.size(), 6u + 2 * 16u);
    }
    std::vector<std::uint8_t> file_;
    std::vector<std::vector<Pixel>> source_;
};

TEST_F(IconFile, HoldsA16AndA256ColourImageOf32By32) {
    EXPECT_EQ(le16(file_, 0), 0u);
    EXPECT_EQ(le16(file_, 2), 1u) << "type 1: icon";
    ASSERT_EQ(le16(file_, 4), 2u);
    const int expectedBits[2] = {4, 8};
    std::uint32_t end = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        const std::size_t entry = 6 + 16 * i;
        EXPECT_EQ(file_[entry], kSide);
        EXPECT_EQ(file_[entry + 1], kSide);
        EXPECT_EQ(file_[entry + 2], i == 0 ? 16 : 0) << "colour count (0 means 256)";
        EXPECT_EQ(le16(file_, entry + 6), static_cast<unsigned>(expectedBits[i]));
        const std::uint32_t size = le32(file_, entry + 8);
        const std::uint32_t offset = le32(file_, entry + 12);
        EXPECT_EQ(offset, end) << "images follow each other without gaps or overlap";
        end = offset + size;
        const IconImage image = decodeImage(file_, offset);
        EXPECT_EQ(image.bitCount, expectedBits[i]);
        EXPECT_EQ(image.palette.size(), std::size_t{1} << expectedBits[i]);
    }
    EXPECT_EQ(end, file_.size());
}

TEST_F(IconFile, The256ColourImageKeepsEveryColourAndTheTransparency) {
    const IconImage image = decodeImage(file_, le32(file_, 6 + 16 + 12));
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const Pixel& want = source_[y][x];
            EXPECT_EQ(image.mask[y][x], want ? 0 : 1) << "mask at " << x << "," << y;
            if (want) {
                EXPECT_EQ(image.palette.at(image.indices[y][x]), *want)
                    << "colour at " << x << "," << y;
            } else {
                EXPECT_EQ(image.palette.at(image.indices[y][x]), (Colour{0, 0, 0}))
                    << "transparent pixels are black, so the screen shows through";
            }
        }
    }
}

TEST_F(IconFile, The16ColourImageUsesTheStandardPaletteAndTheSameMask) {
    const IconImage small = decodeImage(file_, le32(file_, 6 + 12));
    const IconImage large = decodeImage(file_, le32(file_, 6 + 16 + 12));
    const std::vector<Colour> vga = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    EXPECT_EQ(small.palette, vga);
    EXPECT_EQ(small.mask, large.mask);
    // A picture, not one flat colour: several palette entries are used.
    std::map<int, int> used;
    for (const auto& row : small.indices) {
        for (int index : row) {
            ++used[index];
        }
    }
    EXPECT_GE(used.size(), 4u);
}

TEST(IconScript, RefusesAnImageThatIsNot32By32) {
    const std::string dir = ::testing::TempDir();
    const std::string xpm = dir + "morvane_small_icon.xpm";
    const std::string ico = dir + "morvane_small_icon.ico";
    std::remove(ico.c_str());
    std::ofstream(xpm) << "/* XPM */\nstatic char *s[] = {\n\"2 2 1 1\",\n\"a c #FF0000\",\n"
                          "\"aa\",\n\"aa\"};\n";
    const std::string command = std::string(MORVANE_PYTHON) + " " + MORVANE_ICON_SCRIPT + " " +
                                xpm + " --ico " + ico + " 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_TRUE(readFile(ico).empty()) << "an icon was written for a wrong-size image";
}

}  // namespace
