// demo-snapshot: renders frames of the demo with no display and writes them as
// PNG pictures or raw bytes, printing a CRC-32 per frame written.
//
//   demo-snapshot --seed S [--frame N] [--count K] [--format FMT] -o PATH
//
// Exit codes: 0 done, 1 a file could not be written, 2 bad arguments.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "app/floating_point.h"
#include "app/random.h"
#include "app/scene.h"
#include "tools/frame_files.h"
#include "tools/frame_formats.h"
#include "tools/snapshot_options.h"

namespace {

constexpr int kExitWriteFailed = 1;
constexpr int kExitBadArguments = 2;

// The bytes that go to the file for one frame, and the bytes its CRC covers.
struct FrameOutput {
    Bytes file;
    Bytes checksummed;
};

FrameOutput RenderOutput(const FrameBuffer& frame, const SnapshotOptions& options) {
    if (EndsWith(options.outputPattern, ".png")) return {EncodePng(frame), FrameBufferBytes(frame)};
    Bytes raw = options.format.empty() ? FrameBufferBytes(frame) : ConvertFrame(frame, options.format);
    return {raw, raw};
}

int Run(const SnapshotOptions& options) {
    InitFloatingPoint();
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(options.seed);
    BuildScene(*scene);
    SkipFrames(*scene, options.firstFrame);

    const FramePattern pattern = *ParseFramePattern(options.outputPattern);
    for (std::int64_t k = 0; k < options.frameCount; ++k) {
        const std::int64_t frame = options.firstFrame + k;
        StepFrame(*scene);
        const FrameOutput output = RenderOutput(scene->frameBuffer, options);
        const std::string path = FramePath(pattern, frame);
        if (output.file.empty()) {
            std::fprintf(stderr, "demo-snapshot: cannot encode frame %" PRId64 " for %s\n", frame, path.c_str());
            return kExitWriteFailed;
        }
        if (const auto error = WriteWholeFile(path, output.file)) {
            std::fprintf(stderr, "demo-snapshot: %s\n", error->c_str());
            return kExitWriteFailed;
        }
        std::printf("frame %" PRId64 " crc32 %08" PRIX32 "\n", frame, Crc32(output.checksummed));
    }
    return std::fflush(stdout) == 0 ? 0 : kExitWriteFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    SnapshotOptions options;
    if (const auto error = ParseSnapshotArgs(args, options)) {
        std::fprintf(stderr, "demo-snapshot: %s\n", error->c_str());
        return kExitBadArguments;
    }
    if (const auto error = CheckFormatSupported(options.format)) {
        std::fprintf(stderr, "demo-snapshot: %s\n", error->c_str());
        return kExitBadArguments;
    }
    return Run(options);
}
