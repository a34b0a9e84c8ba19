// demo-snapshot's command line, output paths and file writing.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include <png.h>

#include "app/frame_crc.h"
#include "app/random.h"
#include "app/scene.h"
#include "tools/frame_files.h"
#include "tools/snapshot_options.h"

namespace {

using Args = std::vector<std::string>;

std::optional<std::string> Parse(const Args& args, SnapshotOptions& options) {
    return ParseSnapshotArgs(args, options);
}

std::optional<std::string> Parse(const Args& args) {
    SnapshotOptions options;
    return Parse(args, options);
}

// Decodes the PNG with libpng and compares every pixel with the frame's.
void ExpectPngHoldsFrame(const Bytes& png, const FrameBuffer& frame) {
    ASSERT_FALSE(png.empty()) << "the encoder gave up";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_memory(&image, png.data(), png.size()), 0) << image.message;
    ASSERT_EQ(image.width, static_cast<png_uint_32>(kFrameWidth));
    ASSERT_EQ(image.height, static_cast<png_uint_32>(kFrameHeight));
    image.format = PNG_FORMAT_RGB;
    Bytes rgb(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0) << image.message;
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const std::uint32_t decoded = static_cast<std::uint32_t>(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
        ASSERT_EQ(decoded, frame.pixels[i]) << "pixel (" << i % kFrameWidth << ", " << i / kFrameWidth << "): PNG "
                                             << std::hex << decoded << ", frame " << frame.pixels[i];
    }
}

}  // namespace

TEST(SnapshotArgs, AcceptsEveryOptionOnce) {
    SnapshotOptions options;
    EXPECT_EQ(Parse({"--seed", "12345", "--frame", "7", "--count", "3", "--format", "bgr565", "-o",
                     "out/f%04d.raw"},
                    options),
              std::nullopt);
    EXPECT_EQ(options.seed, 12345);
    EXPECT_EQ(options.firstFrame, 7);
    EXPECT_EQ(options.frameCount, 3);
    ASSERT_NE(options.layout, nullptr);
    EXPECT_EQ(options.layout->name, "bgr565");
    EXPECT_EQ(options.output, OutputKind::kRawFiles);
    EXPECT_EQ(FramePath(options.paths, 7), "out/f0007.raw");

    SnapshotOptions defaults;
    EXPECT_EQ(Parse({"-o", "x.png", "--seed", "0"}, defaults), std::nullopt);
    EXPECT_EQ(defaults.firstFrame, 0);
    EXPECT_EQ(defaults.frameCount, 1);
    EXPECT_EQ(defaults.layout, nullptr);
    EXPECT_EQ(defaults.output, OutputKind::kPng);

    SnapshotOptions stream;  // many frames to one stream need no frame number in the path
    EXPECT_EQ(Parse({"--seed", "1", "--count", "5", "--format", "rgb24", "-o", "-"}, stream), std::nullopt);
    EXPECT_EQ(stream.output, OutputKind::kStandardOutput);

    for (const Args& asked : {Args{"--help"}, Args{"--bogus", "-h"}, Args{"--seed", "x", "--help"}}) {
        SnapshotOptions help;  // --help wins over anything wrong around it
        EXPECT_EQ(Parse(asked, help), std::nullopt);
        EXPECT_TRUE(help.help);
    }
}

TEST(SnapshotArgs, RefusesBadNumbersAndMissingPieces) {
    const Args refused[] = {
        {},
        {"-o", "x.png"},                                 // no seed
        {"--seed", "1"},                                 // no output
        {"--seed", "-1", "-o", "x.png"},                 // -1 would mean "the uptime"
        {"--seed", "2147483648", "-o", "x.png"},
        {"--seed", "12abc", "-o", "x.png"},
        {"--seed", "", "-o", "x.png"},
        {"--seed", " 1", "-o", "x.png"},
        {"--seed", "1", "--frame", "-3", "-o", "x.png"},
        {"--seed", "1", "--count", "0", "-o", "x.png"},
        {"--seed", "1", "--count", "99999999999999999999", "-o", "x%d.png"},
        {"--seed", "1", "--format", "rgb48", "-o", "x.raw"},
        {"--seed", "1", "--format", "rgb565", "-o", "x.png"},  // PNG is always RGB
        {"--seed", "1", "-o", "x.bmp"},
        {"--seed", "1", "--count", "2", "-o", "x.png"},  // frames would overwrite each other
        {"--seed", "1", "--count", "2", "-o", "x%s.png"},
        {"--seed", "1", "-o", "x%d%d.png"},
        {"--seed", "1", "-o", "x%n.raw"},
        {"--seed", "1", "--verbose", "-o", "x.png"},
        {"--seed"},
        {"--seed", "1\n2", "-o", "x.png"},  // the message must stay on one line
        {"--se\ned", "1", "-o", "x.png"},
    };
    for (const Args& args : refused) {
        const auto error = Parse(args);
        ASSERT_TRUE(error.has_value()) << ::testing::PrintToString(args);
        EXPECT_EQ(error->find('\n'), std::string::npos) << *error;
    }
}

TEST(SnapshotArgs, FramePatternsFillInTheFrameNumber) {
    const auto pattern = ParseFramePattern("frames/%%f%04d.raw");
    ASSERT_TRUE(pattern.has_value());
    EXPECT_EQ(FramePath(*pattern, 7), "frames/%f0007.raw");
    EXPECT_EQ(FramePath(*pattern, 123456), "frames/%f123456.raw");
    EXPECT_EQ(FramePath(*ParseFramePattern("f%d.png"), 42), "f42.png");
    EXPECT_EQ(FramePath(*ParseFramePattern("plain.png"), 42), "plain.png");
    EXPECT_FALSE(ParseFramePattern("f%5d.png").has_value());
    EXPECT_FALSE(ParseFramePattern("f%0d.png").has_value());
    EXPECT_FALSE(ParseFramePattern("f%").has_value());
}

namespace {

std::filesystem::path FreshDirectory(const std::string& name) {
    const auto directory = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory;
}

}  // namespace

TEST(FrameFiles, WritesWholeFilesAndLeavesNothingOnFailure) {
    const auto directory = FreshDirectory("frame_files");
    const Bytes bytes{1, 2, 3, 4, 5};
    const std::string path = (directory / "out.raw").string();
    ASSERT_EQ(WriteWholeFile(path, bytes), std::nullopt);
    EXPECT_EQ(std::filesystem::file_size(path), 5u);
    ASSERT_EQ(WriteWholeFile(path, Bytes{9}), std::nullopt);  // replaces the old file
    EXPECT_EQ(std::filesystem::file_size(path), 1u);

    const std::string missing = (directory / "no/such/dir/out.raw").string();
    const auto error = WriteWholeFile(missing, bytes);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(missing), std::string::npos) << *error;

    if (std::filesystem::exists("/dev/full")) {
        const auto full = WriteWholeFile("/dev/full", Bytes(100000, 7));
        ASSERT_TRUE(full.has_value());
        EXPECT_NE(full->find("/dev/full"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));  // still the device
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

TEST(FrameFiles, PngAndRawBytesDescribeTheFrame) {
    auto frame = std::make_unique<FrameBuffer>();
    ClearFrameBuffer(*frame);
    frame->pixels[1] = 0x00123456;
    const Bytes raw = FrameBufferBytes(*frame);
    ASSERT_EQ(raw.size(), 1228800u);
    EXPECT_EQ((Bytes{raw[4], raw[5], raw[6], raw[7]}), (Bytes{0x56, 0x34, 0x12, 0x00}));
    EXPECT_EQ(Crc32(Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xCBF43926u);
    EXPECT_EQ(FrameCrc32(*frame), Crc32(raw));

    // libpng, a strict reader, finds exactly the frame's pixels; the buffers
    // reused for the next frame must not leak the torus into it, and noise,
    // which no deflate can shrink, must still fit.
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(5);
    BuildScene(*scene);
    StepFrame(*scene);
    PngBuffers buffers;
    ExpectPngHoldsFrame(EncodePng(scene->frameBuffer, buffers), scene->frameBuffer);
    ExpectPngHoldsFrame(EncodePng(*frame, buffers), *frame);
    std::mt19937 noise(7);
    for (PackedColor& pixel : frame->pixels) pixel = noise() & 0xFFFFFFu;
    ExpectPngHoldsFrame(EncodePng(*frame, buffers), *frame);
}

// A reader gone from the pipe ends the tool quietly on every platform; the
// Windows C runtime says EINVAL for it, the system error beneath tells.
TEST(FrameFiles, AClosedPipeIsEpipeOnWindowsToo) {
    constexpr unsigned long kBrokenPipe = 109, kNoData = 232, kDiskFull = 112;
    EXPECT_EQ(StandardOutputWriteError(EPIPE, 0), EPIPE);
    EXPECT_EQ(StandardOutputWriteError(EINVAL, kNoData), EPIPE);
    EXPECT_EQ(StandardOutputWriteError(EINVAL, kBrokenPipe), EPIPE);
    EXPECT_EQ(StandardOutputWriteError(EPIPE, kBrokenPipe), EPIPE);
    // Every other failure keeps its own errno.
    EXPECT_EQ(StandardOutputWriteError(EINVAL, 0), EINVAL);
    EXPECT_EQ(StandardOutputWriteError(ENOSPC, kDiskFull), ENOSPC);
    EXPECT_EQ(StandardOutputWriteError(EIO, 0), EIO);
}
