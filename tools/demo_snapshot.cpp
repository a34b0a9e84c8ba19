// demo-snapshot: renders frames of the demo with no display and writes them as
// PNG pictures, raw files or a raw stream, printing a CRC-32 per frame written.
//
//   demo-snapshot --seed S [--frame N] [--count K] [--format FMT] -o PATH|-
//
// Exit codes: 0 done, 1 a frame could not be written, 2 bad arguments.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <version>

#ifdef __cpp_lib_jthread
#include <thread>
#endif

#include "app/floating_point.h"
#include "app/frame_crc.h"
#include "app/random.h"
#include "app/scene.h"
#include "tools/frame_files.h"
#include "tools/snapshot_options.h"

namespace {

constexpr int kExitWriteFailed = 1;
constexpr int kExitBadArguments = 2;

// What became of one frame: a message if it was not written (empty for a
// reader that has gone away, which is no news to anyone), else its CRC.
struct FrameResult {
    std::optional<std::string> error;
    std::uint32_t crc = 0;
};

// PNG files carry the CRC of the frame buffer's bytes, raw output that of the
// bytes written.
FrameResult WriteFrame(const FrameBuffer& frame, const SnapshotOptions& options, std::int64_t number,
                       PngBuffers& pngBuffers) {
    if (options.output == OutputKind::kPng) {
        const std::string path = FramePath(options.paths, number);
        const Bytes png = EncodePng(frame, pngBuffers);
        if (png.empty()) return {"cannot encode frame " + std::to_string(number) + " for " + path};
        if (auto error = WriteWholeFile(path, png)) return {std::move(error)};
        return {std::nullopt, FrameCrc32(frame)};
    }
    const Bytes raw = options.layout == nullptr ? FrameBufferBytes(frame) : FrameInLayout(frame, *options.layout);
    if (options.output == OutputKind::kRawFiles) {
        if (auto error = WriteWholeFile(FramePath(options.paths, number), raw)) return {std::move(error)};
    } else if (const int error = WriteToStandardOutput(raw); error != 0) {
        return {error == EPIPE ? "" : std::string("cannot write standard output: ") + std::strerror(error)};
    }
    return {std::nullopt, Crc32(raw)};
}

// Calls work(0) .. work(count - 1), count at most 2, the second on a thread of
// its own where the build has threads (MinGW's win32 thread model has none).
void RunSideBySide(int count, const std::function<void(int)>& work) {
#ifdef __cpp_lib_jthread
    std::jthread second;
    if (count == 2) second = std::jthread(work, 1);
    work(0);
#else
    for (int i = 0; i < count; ++i) work(i);
#endif
}

// Lane `lane` of a round of `count` frames draws the round's frame `lane` and
// skips the others: a frame depends on its angles alone.
void DrawLaneFrame(Scene& scene, int lane, int count) {
    SkipFrames(scene, lane);
    StepFrame(scene);
    SkipFrames(scene, count - 1 - lane);
}

int Run(const SnapshotOptions& options) {
    InitFloatingPoint();
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(options.seed);
    BuildScene(*scene);
    SkipFrames(*scene, options.firstFrame);

    // Encoding and writing cost more than the drawing: files are done two
    // frames at a time, each drawn, encoded and written on a core of its own
    // from a scene of its own. A stream must stay in order.
    const bool streaming = options.output == OutputKind::kStandardOutput;
    const std::int64_t perRound = streaming ? 1 : 2;
    if (streaming) PrepareStandardOutputForBytes();
    std::FILE* crcLines = streaming ? stderr : stdout;  // keep stdout for the frames
    std::unique_ptr<Scene> lanes[2] = {std::move(scene), nullptr};
    if (perRound == 2) lanes[1] = std::make_unique<Scene>(*lanes[0]);
    PngBuffers pngBuffers[2];
    FrameResult results[2];

    for (std::int64_t done = 0; done < options.frameCount; done += perRound) {
        const auto count = static_cast<int>(std::min(perRound, options.frameCount - done));
        const std::int64_t first = options.firstFrame + done;
        RunSideBySide(count, [&](int lane) {
            DrawLaneFrame(*lanes[lane], lane, count);
            results[lane] = WriteFrame(lanes[lane]->frameBuffer, options, first + lane, pngBuffers[lane]);
        });
        for (int i = 0; i < count; ++i) {
            if (results[i].error) {
                if (!results[i].error->empty()) std::fprintf(stderr, "demo-snapshot: %s\n", results[i].error->c_str());
                return kExitWriteFailed;
            }
            if (std::fprintf(crcLines, "frame %" PRId64 " crc32 %08" PRIX32 "\n", first + i, results[i].crc) < 0) {
                return kExitWriteFailed;
            }
        }
    }
    return std::fflush(crcLines) == 0 ? 0 : kExitWriteFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    SnapshotOptions options;
    if (const auto error = ParseSnapshotArgs(args, options)) {
        std::fprintf(stderr, "demo-snapshot: %s\n", error->c_str());
        return kExitBadArguments;
    }
    if (options.help) {
        std::fputs(SnapshotHelp().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : kExitWriteFailed;
    }
    return Run(options);
}
