// The row converters against the per-pixel formulas: every layout, every
// short length and a few long ones, unaligned source and destination, a source
// row that ends at an unreadable page and guard bytes around the destination.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "display/converter_groups.h"
#include "display/converters.h"
#include "display/pixel_formulas.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One pixel's output in memory order: 16- and 32-bit values least significant
// byte first.
template <auto kFormula>
void FormulaBytes(std::uint32_t pixel, std::uint8_t* out) {
    const auto value = kFormula(pixel);
    if constexpr (std::is_same_v<std::remove_const_t<decltype(value)>, pixel::Bytes3>) {
        out[0] = value.first;
        out[1] = value.second;
        out[2] = value.third;
    } else {
        for (std::size_t i = 0; i < sizeof value; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

struct Layout {
    const char* name;
    RowConverter converter;
    GroupPath GroupPaths::*groups;
    std::size_t bytesPerPixel;
    void (*formula)(std::uint32_t pixel, std::uint8_t* out);
};

const Layout kLayouts[] = {
    {"Rgb32", ConvertRgb32, &GroupPaths::rgb32, 4, FormulaBytes<pixel::Rgb32>},
    {"Bgr32", ConvertBgr32, &GroupPaths::bgr32, 4, FormulaBytes<pixel::Bgr32>},
    {"Rgb24", ConvertRgb24, &GroupPaths::rgb24, 3, FormulaBytes<pixel::Rgb24>},
    {"Bgr24", ConvertBgr24, &GroupPaths::bgr24, 3, FormulaBytes<pixel::Bgr24>},
    {"Rgb565", ConvertRgb565, &GroupPaths::rgb565, 2, FormulaBytes<pixel::Rgb565>},
    {"Bgr565", ConvertBgr565, &GroupPaths::bgr565, 2, FormulaBytes<pixel::Bgr565>},
    {"Rgb555", ConvertRgb555, &GroupPaths::rgb555, 2, FormulaBytes<pixel::Rgb555>},
    {"Bgr555", ConvertBgr555, &GroupPaths::bgr555, 2, FormulaBytes<pixel::Bgr555>},
};
// The web page's canvas: formula only, no group paths.
const Layout kCanvasLayout = {"Rgba", ConvertRgba, nullptr, 4, FormulaBytes<pixel::Rgba>};

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char piece[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += piece;
    }
    return text;
}

std::vector<std::uint32_t> RandomPixels(std::size_t count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint32_t> pixels(count);
    for (std::uint32_t& p : pixels) p = static_cast<std::uint32_t>(generator());  // top byte too
    return pixels;
}

// A copy of the pixels that starts `misalignment` bytes past a multiple of 4 and
// ends at most 3 bytes before an unreadable page: reading a pixel or a vector
// past the row faults, with or without a sanitizer.
class SourceRow {
public:
    SourceRow(const std::vector<std::uint32_t>& pixels, std::size_t misalignment) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t rowBytes = pixels.size() * 4;
        const std::size_t slack = (4 - misalignment % 4) % 4;
        readableBytes_ = (rowBytes + slack + page - 1) / page * page;
        mappingBytes_ = readableBytes_ + page;
        void* mapping = mmap(nullptr, mappingBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return;
        mapping_ = static_cast<std::uint8_t*>(mapping);
        if (mprotect(mapping_ + readableBytes_, page, PROT_NONE) != 0) return;  // start() stays null
        start_ = mapping_ + readableBytes_ - slack - rowBytes;
        if (rowBytes > 0) std::memcpy(start_, pixels.data(), rowBytes);
    }
    ~SourceRow() {
        if (mapping_ != nullptr) munmap(mapping_, mappingBytes_);
    }
    SourceRow(const SourceRow&) = delete;
    SourceRow& operator=(const SourceRow&) = delete;

    const std::uint8_t* start() const { return start_; }

private:
    std::uint8_t* mapping_ = nullptr;
    std::uint8_t* start_ = nullptr;
    std::size_t readableBytes_ = 0;
    std::size_t mappingBytes_ = 0;
};

// A destination `offset` bytes into a buffer of guard bytes that reach past
// the widest store on both sides.
constexpr std::size_t kGuardBytes = 64;

std::uint8_t GuardByte(std::size_t index) { return static_cast<std::uint8_t>(0xA5 ^ (index * 7)); }

Bytes GuardedBuffer(std::size_t offset, std::size_t rowBytes) {
    Bytes buffer(kGuardBytes + offset + rowBytes + kGuardBytes);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = GuardByte(i);
    return buffer;
}

// Checks that the bytes from `first` on hold the formula's output for the first
// `writtenPixels` pixels and that every other byte still holds its guard byte.
::testing::AssertionResult HoldsFormulaOutput(const Layout& layout, const std::vector<std::uint32_t>& pixels,
                                              const Bytes& buffer, std::size_t first, std::size_t writtenPixels) {
    const std::size_t bpp = layout.bytesPerPixel;
    for (std::size_t i = 0; i < writtenPixels; ++i) {
        std::uint8_t expected[4];
        layout.formula(pixels[i], expected);
        const std::uint8_t* actual = buffer.data() + first + i * bpp;
        if (std::memcmp(expected, actual, bpp) != 0) {
            char source[16];
            std::snprintf(source, sizeof source, "0x%08X", pixels[i]);
            return ::testing::AssertionFailure() << "pixel " << i << " (source " << source << "): expected "
                                                 << Hex(expected, bpp) << ", actual " << Hex(actual, bpp);
        }
    }
    const std::size_t end = first + writtenPixels * bpp;
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        if ((i >= first && i < end) || buffer[i] == GuardByte(i)) continue;
        const std::uint8_t guard = GuardByte(i);
        const std::string place = i < first ? std::to_string(first - i) + " bytes before the row"
                                            : "byte " + std::to_string(i - end) + " past the written bytes";
        return ::testing::AssertionFailure() << place << ": expected guard " << Hex(&guard, 1) << ", actual "
                                             << Hex(&buffer[i], 1);
    }
    return ::testing::AssertionSuccess();
}

// Every count up to a few groups of the widest path, and a frame row with one
// pixel either side.
std::vector<std::int32_t> Counts() {
    std::vector<std::int32_t> counts;
    for (std::int32_t count = 0; count <= 40; ++count) counts.push_back(count);
    for (std::int32_t count : {639, 640, 641}) counts.push_back(count);
    return counts;
}
constexpr std::size_t kSourceMisalignments[] = {0, 1, 2, 3};
// Every 4-byte step of a 32-byte span, and a few odd ones.
constexpr std::size_t kDestinationOffsets[] = {0, 1, 2, 3, 4, 6, 8, 12, 15, 16, 20, 24, 28};

std::string Where(const Layout& layout, std::int32_t count, std::size_t sourceMisalignment,
                  std::size_t destinationOffset) {
    return std::string(layout.name) + ", count " + std::to_string(count) + ", source misaligned by " +
           std::to_string(sourceMisalignment) + ", destination offset " + std::to_string(destinationOffset);
}

class RowConverterTest : public ::testing::TestWithParam<Layout> {};

TEST_P(RowConverterTest, MatchesFormulaAtEveryLengthAndAlignmentAndWritesNothingElse) {
    const Layout& layout = GetParam();
    std::uint32_t seed = 1;
    for (const std::int32_t count : Counts()) {
        for (const std::size_t misalignment : kSourceMisalignments) {
            const std::vector<std::uint32_t> pixels = RandomPixels(static_cast<std::size_t>(count), seed++);
            const SourceRow source(pixels, misalignment);
            ASSERT_NE(source.start(), nullptr);
            for (const std::size_t offset : kDestinationOffsets) {
                Bytes buffer = GuardedBuffer(offset, pixels.size() * layout.bytesPerPixel);
                layout.converter(source.start(), buffer.data() + kGuardBytes + offset, count);
                ASSERT_TRUE(HoldsFormulaOutput(layout, pixels, buffer, kGuardBytes + offset, pixels.size()))
                    << Where(layout, count, misalignment, offset);
            }
        }
    }
}

TEST_P(RowConverterTest, NegativeCountWritesNothing) {
    const Layout& layout = GetParam();
    const std::vector<std::uint32_t> pixels = RandomPixels(16, 99);
    Bytes buffer = GuardedBuffer(0, 0);
    layout.converter(pixels.data(), buffer.data() + kGuardBytes, -1);
    EXPECT_TRUE(HoldsFormulaOutput(layout, pixels, buffer, kGuardBytes, 0)) << layout.name;
}

// Test names carry the layout; these keep gtest from dumping the records' bytes.
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(AllLayouts, RowConverterTest, ::testing::ValuesIn(kLayouts), LayoutName);
INSTANTIATE_TEST_SUITE_P(Canvas, RowConverterTest, ::testing::Values(kCanvasLayout), LayoutName);

// Each set of fast paths this build has, tested directly: the set the
// converters use on this processor is only one of them.
struct PathSet {
    const char* name;
    const GroupPaths* paths;
    bool runsHere;
};

std::vector<PathSet> PathSets() {
    std::vector<PathSet> sets;
#if defined(DEMO_HAVE_SSE2_GROUPS)
    sets.push_back({"Sse2", &kSse2GroupPaths, true});
#endif
#if defined(DEMO_HAVE_AVX2_GROUPS)
    sets.push_back({"Avx2", &kAvx2GroupPaths, __builtin_cpu_supports("avx2") != 0});
#endif
    return sets;
}

void PrintTo(const PathSet& set, std::ostream* out) { *out << set.name; }

class GroupPathTest : public ::testing::TestWithParam<std::tuple<PathSet, Layout>> {};

// A group path converts a start of the row and writes only that start's bytes.
// It leaves fewer pixels to the formula than its widest group (16), so the
// formula alone cannot pass for a fast path.
TEST_P(GroupPathTest, ConvertsWholeGroupsExactlyAndWritesNothingPastThem) {
    const auto& [set, layout] = GetParam();
    if (!set.runsHere) GTEST_SKIP() << "this processor cannot run the " << set.name << " paths";
    const GroupPath groups = set.paths->*layout.groups;
    std::uint32_t seed = 1000;
    for (const std::int32_t count : Counts()) {
        if (count == 0) continue;  // the converters never call a group path for an empty row
        for (const std::size_t misalignment : kSourceMisalignments) {
            const std::vector<std::uint32_t> pixels = RandomPixels(static_cast<std::size_t>(count), seed++);
            const SourceRow source(pixels, misalignment);
            ASSERT_NE(source.start(), nullptr);
            for (const std::size_t offset : kDestinationOffsets) {
                const std::string where = Where(layout, count, misalignment, offset);
                Bytes buffer = GuardedBuffer(offset, pixels.size() * layout.bytesPerPixel);
                const std::int32_t done = groups(source.start(), buffer.data() + kGuardBytes + offset, count);
                ASSERT_GE(done, 0) << where;
                ASSERT_LE(done, count) << where;
                ASSERT_LT(count - done, 16) << where;
                ASSERT_TRUE(HoldsFormulaOutput(layout, pixels, buffer, kGuardBytes + offset,
                                               static_cast<std::size_t>(done)))
                    << where << ", " << done << " pixels done by the group path";
            }
        }
    }
}

std::string PathSetAndLayoutName(const ::testing::TestParamInfo<std::tuple<PathSet, Layout>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GroupPathTest);  // no fast paths on this processor family
INSTANTIATE_TEST_SUITE_P(AllPathSets, GroupPathTest,
                         ::testing::Combine(::testing::ValuesIn(PathSets()), ::testing::ValuesIn(kLayouts)),
                         PathSetAndLayoutName);

// Outputs that pin the formulas themselves, each checked on a row long enough
// for the group paths and a tail.
struct Example {
    const char* what;
    std::uint32_t pixel;
    const Layout* layout;
    Bytes expected;  // one pixel, memory order
};

const Layout& LayoutNamed(const std::string& name) {
    for (const Layout& layout : kLayouts) {
        if (name == layout.name) return layout;
    }
    throw std::invalid_argument(name);
}

std::vector<Example> Examples() {
    const auto in = [](const char* name) { return &LayoutNamed(name); };
    return {
        {"white", 0x00FFFFFF, in("Rgb32"), {0xFF, 0xFF, 0xFF, 0x00}},
        {"white", 0x00FFFFFF, in("Bgr32"), {0xFF, 0xFF, 0xFF, 0x00}},
        {"white", 0x00FFFFFF, in("Rgb24"), {0xFF, 0xFF, 0xFF}},
        {"white", 0x00FFFFFF, in("Bgr24"), {0xFF, 0xFF, 0xFF}},
        {"white", 0x00FFFFFF, in("Rgb565"), {0xFF, 0xFF}},
        {"white", 0x00FFFFFF, in("Bgr565"), {0xFF, 0xFF}},
        {"white", 0x00FFFFFF, in("Rgb555"), {0xFF, 0x7F}},
        {"white", 0x00FFFFFF, in("Bgr555"), {0xFF, 0x7F}},
        {"pure red", 0x00FF0000, in("Bgr32"), {0xFF, 0x00, 0x00, 0x00}},
        {"pure red", 0x00FF0000, in("Rgb24"), {0x00, 0x00, 0xFF}},
        {"pure red", 0x00FF0000, in("Bgr24"), {0xFF, 0x00, 0x00}},
        {"pure red", 0x00FF0000, in("Rgb565"), {0x00, 0xF8}},
        {"pure red", 0x00FF0000, in("Bgr565"), {0x1F, 0x00}},
        {"pure red", 0x00FF0000, in("Rgb555"), {0x00, 0x7C}},
        {"pure red", 0x00FF0000, in("Bgr555"), {0x1F, 0x00}},
        {"lowest bit that survives", 0x00080408, in("Rgb565"), {0x21, 0x08}},
        {"lowest bit that survives", 0x00080408, in("Bgr565"), {0x21, 0x08}},
        {"lowest bit that survives", 0x00080408, in("Rgb555"), {0x01, 0x04}},
        {"lowest bit that survives", 0x00080408, in("Bgr555"), {0x01, 0x04}},
        {"bits that are dropped", 0x00070307, in("Rgb565"), {0x00, 0x00}},
        {"bits that are dropped", 0x00070307, in("Bgr565"), {0x00, 0x00}},
        {"bits that are dropped", 0x00070307, in("Rgb555"), {0x00, 0x00}},
        {"bits that are dropped", 0x00070307, in("Bgr555"), {0x00, 0x00}},
        {"top byte kept", 0x12345678, in("Rgb32"), {0x78, 0x56, 0x34, 0x12}},
        {"top byte cleared", 0x12345678, in("Bgr32"), {0x34, 0x56, 0x78, 0x00}},
        {"top byte ignored", 0x12345678, in("Rgb24"), {0x78, 0x56, 0x34}},
        {"top byte ignored", 0x12345678, in("Rgb565"), {0xAF, 0x32}},
        {"top byte ignored", 0x12345678, in("Rgb555"), {0x4F, 0x19}},
        {"only the top byte", 0xFF000000, in("Rgb32"), {0x00, 0x00, 0x00, 0xFF}},
        {"only the top byte", 0xFF000000, in("Bgr565"), {0x00, 0x00}},
        {"white", 0x00FFFFFF, &kCanvasLayout, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"top byte replaced by opaque alpha", 0x12345678, &kCanvasLayout, {0x34, 0x56, 0x78, 0xFF}},
    };
}

TEST(RowConverters, GiveTheKnownOutputsAtEveryPositionOfARow) {
    constexpr std::int32_t kCount = 45;  // whole groups of every path, then a tail
    for (const Example& example : Examples()) {
        const std::vector<std::uint32_t> pixels(kCount, example.pixel);
        Bytes out(kCount * example.layout->bytesPerPixel, 0xEE);
        example.layout->converter(pixels.data(), out.data(), kCount);
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::uint8_t* actual = out.data() + i * example.layout->bytesPerPixel;
            ASSERT_EQ(Hex(example.expected.data(), example.expected.size()), Hex(actual, example.expected.size()))
                << example.layout->name << ", " << example.what << ", pixel " << i;
        }
    }
}

struct SurfaceLayout {
    std::uint32_t bits, red, green, blue;
};

TEST(SelectRowConverter, PicksTheConverterOfEachLayout) {
    const struct {
        SurfaceLayout surface;
        RowConverter expected;
    } rows[] = {
        {{32, 0x00FF0000, 0x0000FF00, 0x000000FF}, ConvertRgb32},
        {{32, 0x000000FF, 0x0000FF00, 0x00FF0000}, ConvertBgr32},  // not the canvas's rgba
        {{24, 0x00FF0000, 0x0000FF00, 0x000000FF}, ConvertRgb24},
        {{24, 0x000000FF, 0x0000FF00, 0x00FF0000}, ConvertBgr24},
        {{16, 0xF800, 0x07E0, 0x001F}, ConvertRgb565},
        {{16, 0x001F, 0x07E0, 0xF800}, ConvertBgr565},
        {{16, 0x7C00, 0x03E0, 0x001F}, ConvertRgb555},
        {{16, 0x001F, 0x03E0, 0x7C00}, ConvertBgr555},
    };
    for (const auto& row : rows) {
        const SurfaceLayout& s = row.surface;
        EXPECT_EQ(SelectRowConverter(s.bits, s.red, s.green, s.blue), row.expected)
            << s.bits << " bits, masks " << std::hex << s.red << " " << s.green << " " << s.blue;
    }
}

TEST(SelectRowConverter, RefusesEveryOtherLayout) {
    const SurfaceLayout refused[] = {
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
    for (const SurfaceLayout& s : refused) {
        EXPECT_EQ(SelectRowConverter(s.bits, s.red, s.green, s.blue), nullptr)
            << s.bits << " bits, masks " << std::hex << s.red << " " << s.green << " " << s.blue;
    }
}

}  // namespace
