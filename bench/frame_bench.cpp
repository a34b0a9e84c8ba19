// Speed of one whole frame and of each stage, against the memory floor and
// against Mesa's software OpenGL drawing the same scene.
//
// Prints, after the run, the frame (with its 32-bit conversion) divided by the
// floor and by the OSMesa frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "app/random.h"
#include "app/scene.h"
#include "bench/osmesa_scene.h"
#include "bench/ratio_reporter.h"
#include "display/converters.h"
#include "geometry/depth_sort.h"
#include "geometry/matrix.h"
#include "geometry/transform.h"
#include "raster/mesh_renderer.h"

namespace {

constexpr std::int32_t kSeed = 12345;
constexpr std::size_t kFrameBytes = kFramePixelCount * sizeof(PackedColor);
constexpr double kShapeTolerance = 0.03;

std::unique_ptr<Scene> NewScene() {
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(kSeed);
    BuildScene(*scene);
    return scene;
}

// Scenes stopped at every tenth frame of a turn, each ready for its next stage.
std::vector<std::unique_ptr<Scene>> SceneSamples() {
    std::vector<std::unique_ptr<Scene>> samples;
    for (int frame = 0; frame < 360; frame += 10) {
        auto scene = NewScene();
        SkipFrames(*scene, frame);
        StepFrame(*scene);
        samples.push_back(std::move(scene));
    }
    return samples;
}

// With --benchmark_repetitions, the fastest repetition as well as the median:
// on a shared machine the fastest is the one least slowed by other work.
double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

// The least any frame must cost: clearing the frame and copying it out once.
void MemoryFloor(benchmark::State& state) {
    std::vector<std::uint8_t> frame(kFrameBytes), surface(kFrameBytes);
    for (auto _ : state) {
        std::memset(frame.data(), 0, kFrameBytes);
        benchmark::ClobberMemory();
        std::memcpy(surface.data(), frame.data(), kFrameBytes);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(MemoryFloor)->ComputeStatistics("min", Fastest);

void FrameStep(benchmark::State& state) {
    auto scene = NewScene();
    for (auto _ : state) {
        StepFrame(*scene);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FrameStep)->ComputeStatistics("min", Fastest);

// What one frame of the demo costs up to the display: the step plus the
// conversion into a 32-bit surface, row by row.
void FrameStepAndConvert(benchmark::State& state) {
    auto scene = NewScene();
    std::vector<std::uint8_t> surface(kFrameBytes);
    const RowConverter convert = SelectRowConverter(32, 0x00FF0000, 0x0000FF00, 0x000000FF);
    for (auto _ : state) {
        StepFrame(*scene);
        for (std::int32_t row = 0; row < kFrameHeight; ++row) {
            convert(scene->frameBuffer.pixels.data() + row * kFrameWidth,
                    surface.data() + static_cast<std::size_t>(row) * kFrameWidth * 4, kFrameWidth);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FrameStepAndConvert)->ComputeStatistics("min", Fastest);

void StageClear(benchmark::State& state) {
    auto scene = NewScene();
    for (auto _ : state) {
        ClearFrameBuffer(scene->frameBuffer);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(StageClear)->ComputeStatistics("min", Fastest);

void StageWorldMatrix(benchmark::State& state) {
    auto scene = NewScene();
    std::int32_t angle = 0;
    for (auto _ : state) {
        angle = (angle + 1) % 360;
        MatrixIdentity(scene->worldMatrix);
        MatrixRotateX(scene->rotationMatrix, angle);
        MatrixMultiply(scene->worldMatrix, scene->rotationMatrix);
        MatrixRotateY(scene->rotationMatrix, angle);
        MatrixMultiply(scene->worldMatrix, scene->rotationMatrix);
        MatrixRotateZ(scene->rotationMatrix, angle);
        MatrixMultiply(scene->worldMatrix, scene->rotationMatrix);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(StageWorldMatrix)->ComputeStatistics("min", Fastest);

// Runs one stage on each sampled scene in turn.
template <typename Stage>
void OverSamples(benchmark::State& state, Stage stage) {
    auto samples = SceneSamples();
    std::size_t next = 0;
    for (auto _ : state) {
        stage(*samples[next]);
        next = (next + 1) % samples.size();
        benchmark::ClobberMemory();
    }
}

void StageTransform(benchmark::State& state) {
    OverSamples(state, [](Scene& s) { TransformVertices(s.vertices, s.worldMatrix); });
}
BENCHMARK(StageTransform)->ComputeStatistics("min", Fastest);

void StageDepthSort(benchmark::State& state) {
    OverSamples(state, [](Scene& s) { DepthSortFaces(s.vertices, s.faces); });
}
BENCHMARK(StageDepthSort)->ComputeStatistics("min", Fastest);

// Into one frame for all samples: a frame per sample would spread the draw
// over 44 MB and time the memory rather than the drawing.
void StageDraw(benchmark::State& state) {
    auto frame = std::make_unique<FrameBuffer>();
    ClearFrameBuffer(*frame);
    OverSamples(state, [&](Scene& s) { DrawMeshGouraud(*frame, s.vertices, s.faces, s.lightDir); });
}
BENCHMARK(StageDraw)->ComputeStatistics("min", Fastest);

// The same scene through OSMesa: transform, sort and lighting on the CPU as we
// do them, then smooth-shaded, back-face-culled triangles in back-to-front
// order, ending with glFinish.
void OsMesaFrame(benchmark::State& state) {
    auto scene = NewScene();
    OsMesaScene peer;
    if (!OpenOsMesaScene(peer)) {
        state.SkipWithError("OSMesa context could not be created");
        return;
    }
    for (auto _ : state) DrawOsMesaFrame(peer, *scene);
    CloseOsMesaScene(peer);
}
BENCHMARK(OsMesaFrame)->ComputeStatistics("min", Fastest);

// Once, before timing: both renderers draw the first frame of the same scene.
// The pixels they light must agree to within a few percent, in number and in
// place (edges are rasterized by different rules), or the peer is not drawing
// the same picture and the ratio against it means nothing.
bool PeerDrawsTheSameShape() {
    auto ours = NewScene();
    auto theirs = NewScene();
    OsMesaScene peer;
    if (!OpenOsMesaScene(peer)) {
        std::printf("shape check: OSMesa context could not be created\n");
        return false;
    }
    StepFrame(*ours);
    DrawOsMesaFrame(peer, *theirs);
    std::int64_t oursLit = 0;
    for (const PackedColor pixel : ours->frameBuffer.pixels) oursLit += pixel != 0;
    const std::int64_t peerLit = CountLitPixels(peer);
    const std::int64_t bothLit = CountLitInBoth(peer, ours->frameBuffer);
    CloseOsMesaScene(peer);
    const auto share = [&](std::int64_t count) { return static_cast<double>(count) / static_cast<double>(oursLit); };
    const bool same = std::abs(share(peerLit) - 1.0) < kShapeTolerance && share(bothLit) > 1.0 - kShapeTolerance;
    std::printf("shape check: we light %lld pixels, OSMesa %lld (%+.2f%%), %.2f%% of ours lit by both: %s\n",
                static_cast<long long>(oursLit), static_cast<long long>(peerLit), 100.0 * (share(peerLit) - 1.0),
                100.0 * share(bothLit), same ? "same shape" : "DIFFERENT SHAPE");
    return same;
}

// One line per pair: ours divided by the floor and by the OSMesa frame.
void PrintRatioLines(const char* label, RatioReporter::Times floor, RatioReporter::Times ours,
                     RatioReporter::Times peer) {
    if (ours.wall <= 0) return;
    std::printf("\nframe step + 32-bit conversion (%s): %.1f us wall, %.1f us processor\n", label, ours.wall / 1000.0,
                ours.processor / 1000.0);
    if (floor.wall > 0) {
        std::printf("  / memory floor (memset + memcpy of 1228800 bytes, %.1f us): %.2fx wall, %.2fx processor\n",
                    floor.wall / 1000.0, ours.wall / floor.wall, ours.processor / floor.processor);
    }
    if (peer.wall > 0) {
        std::printf("  / OSMesa frame (%.1f us): %.3fx wall, %.3fx processor, i.e. %.1f (%.1f) times as fast\n",
                    peer.wall / 1000.0, ours.wall / peer.wall, ours.processor / peer.processor, peer.wall / ours.wall,
                    peer.processor / ours.processor);
    }
}

void PrintRatios(const RatioReporter& reporter) {
    const auto times = [&](const char* name, const char* statistic) { return reporter.Nanoseconds(name, statistic); };
    if (!reporter.Repeated()) {
        PrintRatioLines("one run", times("MemoryFloor", ""), times("FrameStepAndConvert", ""), times("OsMesaFrame", ""));
        return;
    }
    for (const auto& [statistic, label] : {std::pair{"median", "medians of the repetitions"},
                                           std::pair{"min", "fastest repetitions"}}) {
        PrintRatioLines(label, times("MemoryFloor", statistic), times("FrameStepAndConvert", statistic),
                        times("OsMesaFrame", statistic));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Mesa's software rasterizer on this thread alone, like ours.
    setenv("LP_NUM_THREADS", "0", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const bool sameShape = PeerDrawsTheSameShape();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatios(reporter);
    return sameShape ? 0 : 1;
}
