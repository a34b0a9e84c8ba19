// The row converters at every vector level this machine runs, against what
// each layout's masks say: every short length and a few long ones, unaligned
// source and destination, a source row that ends at an unreadable page and
// guards around the destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "display/converters.h"
#include "tests/level_fixture.h"
#include "tests/pixel_reference.h"
#include "tests/test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A negative count, every count up to a few groups of the widest path, and a
// frame row with one pixel either side.
std::vector<std::int32_t> Counts() {
    std::vector<std::int32_t> counts;
    for (std::int32_t count = -1; count <= 40; ++count) counts.push_back(count);
    for (std::int32_t count : {639, 640, 641}) counts.push_back(count);
    return counts;
}
constexpr std::size_t kSourceMisalignments[] = {0, 1, 2, 3};
// Every 4-byte step of a 32-byte span, and a few odd ones.
constexpr std::size_t kDestinationOffsets[] = {0, 1, 2, 3, 4, 6, 8, 12, 15, 16, 20, 24, 28};

std::vector<const PixelLayout*> AllLayouts() {
    std::vector<const PixelLayout*> layouts;
    for (const PixelLayout& layout : PixelLayouts()) layouts.push_back(&layout);
    return layouts;
}

using LevelAndLayout = std::tuple<SimdLevel, const PixelLayout*>;

class RowConverterTest : public AtBuiltLevel<LevelAndLayout> {};

TEST_P(RowConverterTest, MatchesTheLayoutAtEveryLengthAndAlignmentAndWritesNothingElse) {
    const auto [level, layout] = GetParam();
    const AtSimdLevel at(level);
    const std::size_t bpp = layout->bytesPerPixel;
    // Above plain, every layout but the canvas's has group paths and runs them.
    if (level != SimdLevel::Plain && layout->name != "abgr32") {
        ASSERT_NE(ConverterFor(*layout), layout->converters[0]);
    }
    std::uint32_t seed = 1;
    for (const std::int32_t count : Counts()) {
        for (const std::size_t misalignment : kSourceMisalignments) {
            const auto pixels = RandomPixels(static_cast<std::size_t>(std::max(count, 0)), seed++);
            // The row starts `misalignment` bytes past a multiple of 4 and ends
            // at most 3 bytes before an unreadable page.
            const BytesBeforeAFence source(pixels.size() * 4, (4 - misalignment % 4) % 4);
            ASSERT_NE(source.start(), nullptr);
            if (!pixels.empty()) std::memcpy(source.start(), pixels.data(), pixels.size() * 4);
            for (const std::size_t offset : kDestinationOffsets) {
                Bytes actual = GuardedBytes(offset + pixels.size() * bpp), expected = actual;
                std::uint8_t* row = expected.data() + kGuardMargin + offset;
                for (std::size_t i = 0; i < pixels.size(); ++i) ExpectedPixelBytes(*layout, pixels[i], row + i * bpp);
                ConverterFor(*layout)(source.start(), actual.data() + kGuardMargin + offset, count);
                ASSERT_EQ(FirstDifference(expected, actual, kGuardMargin + offset), "")
                    << layout->name << ", count " << count << ", source misaligned by " << misalignment
                    << ", destination offset " << offset;
            }
        }
    }
}

std::string LevelAndLayoutName(const ::testing::TestParamInfo<LevelAndLayout>& info) {
    return SimdLevelTestName(std::get<0>(info.param)) + "_" + std::string(std::get<1>(info.param)->name);
}

INSTANTIATE_TEST_SUITE_P(EveryLevelAndLayout, RowConverterTest,
                         ::testing::Combine(::testing::ValuesIn(BuiltSimdLevels()),
                                            ::testing::ValuesIn(AllLayouts())),
                         LevelAndLayoutName);

// Outputs that pin the layouts themselves, each checked on a row long enough
// for the group paths and a tail.
TEST(RowConverters, GiveTheKnownOutputsAtEveryPositionOfARow) {
    const struct {
        const char* what;
        std::uint32_t pixel;
        const char* layout;
        std::uint32_t expected;  // stored least significant byte first
    } examples[] = {
        {"white", 0x00FFFFFF, "rgb32", 0x00FFFFFF},
        {"white", 0x00FFFFFF, "bgr32", 0x00FFFFFF},
        {"white", 0x00FFFFFF, "rgb24", 0xFFFFFF},
        {"white", 0x00FFFFFF, "bgr24", 0xFFFFFF},
        {"white", 0x00FFFFFF, "rgb565", 0xFFFF},
        {"white", 0x00FFFFFF, "bgr565", 0xFFFF},
        {"white", 0x00FFFFFF, "rgb555", 0x7FFF},
        {"white", 0x00FFFFFF, "bgr555", 0x7FFF},
        {"pure red", 0x00FF0000, "bgr32", 0x000000FF},
        {"pure red", 0x00FF0000, "rgb24", 0xFF0000},  // bytes 00 00 FF
        {"pure red", 0x00FF0000, "bgr24", 0x0000FF},  // bytes FF 00 00
        {"pure red", 0x00FF0000, "rgb565", 0xF800},
        {"pure red", 0x00FF0000, "bgr565", 0x001F},
        {"pure red", 0x00FF0000, "rgb555", 0x7C00},
        {"pure red", 0x00FF0000, "bgr555", 0x001F},
        {"lowest bit that survives", 0x00080408, "rgb565", 0x0821},
        {"lowest bit that survives", 0x00080408, "bgr565", 0x0821},
        {"lowest bit that survives", 0x00080408, "rgb555", 0x0401},
        {"lowest bit that survives", 0x00080408, "bgr555", 0x0401},
        {"bits that are dropped", 0x00070307, "rgb565", 0},
        {"bits that are dropped", 0x00070307, "bgr565", 0},
        {"bits that are dropped", 0x00070307, "rgb555", 0},
        {"bits that are dropped", 0x00070307, "bgr555", 0},
        {"top byte kept", 0x12345678, "rgb32", 0x12345678},
        {"top byte cleared", 0x12345678, "bgr32", 0x00785634},
        {"top byte ignored", 0x12345678, "rgb24", 0x345678},
        {"top byte ignored", 0x12345678, "rgb565", 0x32AF},
        {"top byte ignored", 0x12345678, "rgb555", 0x194F},
        {"only the top byte", 0xFF000000, "rgb32", 0xFF000000},
        {"only the top byte", 0xFF000000, "bgr565", 0},
        {"white", 0x00FFFFFF, "abgr32", 0xFFFFFFFF},
        {"top byte replaced by opaque alpha", 0x12345678, "rgba", 0xFF785634},  // by its earlier name
    };
    constexpr std::size_t kCount = 45;  // whole groups of every path, then a tail
    for (const auto& example : examples) {
        const PixelLayout* layout = FindPixelLayout(example.layout);
        ASSERT_NE(layout, nullptr) << example.layout;
        const std::size_t bpp = layout->bytesPerPixel;
        std::uint8_t expected[4];
        for (std::size_t i = 0; i < bpp; ++i) {
            expected[i] = static_cast<std::uint8_t>(example.expected >> (8 * i));
        }
        const std::vector<std::uint32_t> pixels(kCount, example.pixel);
        Bytes out(kCount * bpp, 0xEE);
        ConverterFor(*layout)(pixels.data(), out.data(), kCount);
        for (std::size_t i = 0; i < kCount; ++i) {
            ASSERT_EQ(HexBytes(expected, bpp), HexBytes(out.data() + i * bpp, bpp))
                << example.layout << ", " << example.what << ", pixel " << i;
        }
    }
}

// A surface gets the first layout of its bits and masks: bgr32, never the
// canvas's abgr32 that comes after it with the same masks.
TEST(PixelLayouts, EachIsFoundByItsNameAndASurfaceGetsTheFirstOfItsBitsAndMasks) {
    const auto sameSurface = [](const PixelLayout& a, const PixelLayout& b) {
        return a.bitsPerPixel == b.bitsPerPixel && a.redMask == b.redMask && a.greenMask == b.greenMask &&
               a.blueMask == b.blueMask;
    };
    for (const PixelLayout& layout : PixelLayouts()) {
        EXPECT_EQ(FindPixelLayout(layout.name), &layout) << layout.name;
        const PixelLayout& first = *std::find_if(PixelLayouts().begin(), PixelLayouts().end(),
                                                 [&](const PixelLayout& row) { return sameSurface(row, layout); });
        EXPECT_EQ(SelectRowConverter(layout.bitsPerPixel, layout.redMask, layout.greenMask, layout.blueMask),
                  ConverterFor(first))
            << layout.name;
        EXPECT_EQ(layout.bytesPerPixel, (layout.bitsPerPixel + 7) / 8) << layout.name;
    }
    EXPECT_EQ(FindPixelLayout("rgb"), nullptr);
    EXPECT_EQ(FindPixelLayout(""), nullptr);
    const AtSimdLevel plain(SimdLevel::Plain);  // where the converter chosen is the reference
    EXPECT_EQ(SelectRowConverter(32, 0x000000FF, 0x0000FF00, 0x00FF0000), ConvertBgr32);
}

TEST(SelectRowConverter, RefusesEveryOtherLayout) {
    const struct {
        std::uint32_t bits, red, green, blue;
    } refused[] = {
        {8, 0xE0, 0x1C, 0x03},                  // 8 bits, whatever the masks
        {8, 0x00FF0000, 0x0000FF00, 0x000000FF},
        {15, 0x7C00, 0x03E0, 0x001F},           // 5-5-5 comes with the bit count 16
        {16, 0xF800, 0x07E0, 0x003F},           // one mask a bit too wide
        {16, 0x001F, 0x07E0, 0x7C00},           // masks of two layouts mixed
        {24, 0xF800, 0x07E0, 0x001F},           // masks of another bit count
        {32, 0x00FF0000, 0x0000FF00, 0x00000000},
        {32, 0xFF000000, 0x00FF0000, 0x0000FF00},
        {0, 0, 0, 0},
    };
    for (const auto& s : refused) {
        EXPECT_EQ(SelectRowConverter(s.bits, s.red, s.green, s.blue), nullptr)
            << s.bits << " bits, masks " << Hex(s.red) << " " << Hex(s.green) << " " << Hex(s.blue);
    }
}

// A window of 5 x 3 pixels of a frame 7 pixels wide, into surface rows 16
// bytes apart: 10 bytes of pixels and 6 of gap each.
TEST(ConvertFrame, RowsFollowBothStridesAndTheBytesBetweenThemStayUntouched) {
    const PixelLayout& layout = *FindPixelLayout("rgb565");
    constexpr std::int32_t kWidth = 5, kHeight = 3, kFrameWidth = 7, kPitch = 16;
    const std::vector<std::uint32_t> frame = RandomPixels(kFrameWidth * kHeight, 5);
    Bytes surface = GuardedBytes(kPitch * kHeight), expected = surface;
    for (std::size_t y = 0; y < kHeight; ++y) {
        for (std::size_t x = 0; x < kWidth; ++x) {
            ExpectedPixelBytes(layout, frame[y * kFrameWidth + x + 1], &expected[kGuardMargin + y * kPitch + x * 2]);
        }
    }
    ConvertFrame(ConverterFor(layout), frame.data() + 1, kFrameWidth, surface.data() + kGuardMargin, kPitch, kWidth,
                 kHeight);
    EXPECT_EQ(FirstDifference(expected, surface), "");
}

}  // namespace
