// Speed of one whole frame and of each stage, against the memory floor and
// against two peers drawing the same scene: Mesa's software OpenGL and SDL's
// software renderer.
//
// The vector instructions a process uses are fixed when it starts (DEMO_SIMD
// caps them), so the bench runs itself once per level this processor has, with
// DEMO_SIMD set, and prints one table of all of them at the end. Each path's
// ratios come from its own run, where the floor and the peers are timed in the
// same process, minutes apart at most.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/random.h"
#include "app/scene.h"
#include "bench/osmesa_scene.h"
#include "bench/peer_triangles.h"
#include "bench/ratio_reporter.h"
#include "bench/sdl_scene.h"
#include "cpu/simd_level.h"
#include "display/converters.h"
#include "geometry/depth_sort.h"
#include "geometry/matrix.h"
#include "geometry/transform.h"
#include "raster/mesh_renderer.h"

extern char** environ;

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

// The step as a page's animation frames run it: one every 16.7 ms. In between,
// the rest of the machine's work takes the caches, so each step starts cold;
// this is what the web page's frame-step line is compared with.
void FrameStepPaced(benchmark::State& state) {
    auto scene = NewScene();
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
        state.ResumeTiming();
        StepFrame(*scene);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FrameStepPaced)->Iterations(360)->ComputeStatistics("min", Fastest);  // one turn

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
    OverSamples(state, [&](Scene& s) { DrawMeshGouraud(*frame, s.vertices, s.faces, s.lightDir, s.corners); });
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

// The same triangles through SDL's software renderer, with the faces that turn
// away dropped beforehand by our rule, since it culls nothing.
void SdlFrame(benchmark::State& state) {
    auto scene = NewScene();
    SdlScene peer;
    if (!OpenSdlScene(peer)) {
        state.SkipWithError("SDL software renderer could not be created");
        return;
    }
    for (auto _ : state) DrawSdlFrame(peer, *scene);
    CloseSdlScene(peer);
}
BENCHMARK(SdlFrame)->ComputeStatistics("min", Fastest);

// Once, before timing: each peer draws the first frame of the scene we draw.
// The pixels it lights must agree with ours to within a few percent, in number
// and in place (edges are rasterized by different rules), or the peer is not
// drawing the same picture and the ratio against it means nothing.
bool SameShape(const char* peerName, std::span<const std::uint32_t> peerPixels, const FrameBuffer& ours) {
    std::int64_t oursLit = 0;
    for (const PackedColor pixel : ours.pixels) oursLit += pixel != 0;
    const std::int64_t peerLit = CountLitPixels(peerPixels);
    const std::int64_t bothLit = CountLitInBoth(peerPixels, ours);
    const auto share = [&](std::int64_t count) { return static_cast<double>(count) / static_cast<double>(oursLit); };
    const bool same = std::abs(share(peerLit) - 1.0) < kShapeTolerance && share(bothLit) > 1.0 - kShapeTolerance;
    std::printf("shape check: we light %lld pixels, %s %lld (%+.2f%%), %.2f%% of ours lit by both: %s\n",
                static_cast<long long>(oursLit), peerName, static_cast<long long>(peerLit),
                100.0 * (share(peerLit) - 1.0), 100.0 * share(bothLit), same ? "same shape" : "DIFFERENT SHAPE");
    return same;
}

bool OsMesaDrawsTheSameShape(const FrameBuffer& ours) {
    auto scene = NewScene();
    OsMesaScene peer;
    if (!OpenOsMesaScene(peer)) {
        std::printf("shape check: OSMesa context could not be created\n");
        return false;
    }
    DrawOsMesaFrame(peer, *scene);
    const bool same = SameShape("OSMesa", peer.pixels, ours);
    CloseOsMesaScene(peer);
    return same;
}

bool SdlDrawsTheSameShape(const FrameBuffer& ours) {
    auto scene = NewScene();
    SdlScene peer;
    if (!OpenSdlScene(peer)) {
        std::printf("shape check: SDL software renderer could not be created\n");
        return false;
    }
    DrawSdlFrame(peer, *scene);
    const bool same = SameShape("SDL", SdlScenePixels(peer), ours);
    CloseSdlScene(peer);
    return same;
}

bool PeersDrawTheSameShape() {
    auto ours = NewScene();
    StepFrame(*ours);
    const bool osMesaSame = OsMesaDrawsTheSameShape(ours->frameBuffer);
    return SdlDrawsTheSameShape(ours->frameBuffer) && osMesaSame;
}

// What one path's run hands back to the run that started it, through a pipe:
// a plain record, since both ends are this same program.
struct StageTimes {
    RatioReporter::Times floor, frame, osMesa, sdl, clear, transform, sort, draw;
};

struct PathReport {
    char path[16];
    bool repeated;
    StageTimes median, fastest;
};

constexpr const char* kReportFdVariable = "DEMO_FRAME_BENCH_REPORT_FD";

StageTimes CollectTimes(const RatioReporter& reporter, const char* statistic) {
    const auto times = [&](const char* name) { return reporter.Nanoseconds(name, statistic); };
    return {times("MemoryFloor"), times("FrameStepAndConvert"), times("OsMesaFrame"), times("SdlFrame"),
            times("StageClear"),  times("StageTransform"),      times("StageDepthSort"), times("StageDraw")};
}

// The run of one path: every benchmark at the level DEMO_SIMD chose, then the
// report down the pipe.
int RunOnePath(int reportFd) {
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PathReport report{};
    const std::string_view path = SimdLevelName(ChosenSimdLevel());
    path.copy(report.path, std::min(path.size(), sizeof report.path - 1));
    report.repeated = reporter.Repeated();
    report.median = CollectTimes(reporter, "median");
    report.fastest = CollectTimes(reporter, "min");
    const bool sent = write(reportFd, &report, sizeof report) == static_cast<ssize_t>(sizeof report);
    close(reportFd);
    return sent ? 0 : 1;
}

// Our environment with DEMO_SIMD and the report's pipe set for one path.
std::vector<std::string> EnvironmentFor(SimdLevel level, int reportFd) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        if (text.starts_with("DEMO_SIMD=") || text.starts_with(std::string(kReportFdVariable) + "=")) continue;
        environment.emplace_back(text);
    }
    environment.push_back("DEMO_SIMD=" + std::string(SimdLevelName(level)));
    environment.push_back(std::string(kReportFdVariable) + "=" + std::to_string(reportFd));
    return environment;
}

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool ReadWhole(int fd, PathReport& report) {
    auto* bytes = reinterpret_cast<char*>(&report);
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t count = read(fd, bytes + got, sizeof report - got);
        if (count <= 0) return false;
        got += static_cast<std::size_t>(count);
    }
    return true;
}

// Runs this program again, with the same arguments, at one level.
std::optional<PathReport> RunPath(SimdLevel level, std::vector<std::string> arguments) {
    int ends[2];
    if (pipe(ends) != 0) return std::nullopt;
    std::vector<std::string> environment = EnvironmentFor(level, ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    std::printf("\n=== path %s (DEMO_SIMD=%s) ===\n", SimdLevelName(level).data(), SimdLevelName(level).data());
    std::fflush(stdout);
    pid_t child = 0;
    const bool spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, NullTerminated(arguments).data(),
                                     NullTerminated(environment).data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    PathReport report{};
    const bool received = spawned && ReadWhole(ends[0], report);
    close(ends[0]);
    int status = 0;
    if (spawned) waitpid(child, &status, 0);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("path %s: its run failed\n", SimdLevelName(level).data());
        return std::nullopt;
    }
    return report;
}

using Clock = double RatioReporter::Times::*;

void PrintPathTable(const std::vector<PathReport>& reports, const char* title, StageTimes PathReport::*statistic,
                    Clock clock) {
    std::printf("\n%s, %s time in microseconds:\n", title, clock == &RatioReporter::Times::wall ? "wall" : "processor");
    std::printf("%-7s %10s %7s %7s %8s %8s %8s %6s %7s %9s %7s %7s\n", "path", "frame+cvt", "floor", "/floor",
                "OSMesa", "xOSMesa", "SDL", "xSDL", "clear", "transform", "sort", "draw");
    const auto us = [&](RatioReporter::Times times) { return times.*clock / 1000.0; };
    const auto ratio = [&](RatioReporter::Times top, RatioReporter::Times bottom) {
        return bottom.*clock > 0 ? top.*clock / bottom.*clock : 0.0;
    };
    for (const PathReport& report : reports) {
        const StageTimes& t = report.*statistic;
        std::printf("%-7s %10.1f %7.1f %6.2fx %8.1f %8.2f %8.1f %6.2f %7.1f %9.1f %7.1f %7.1f\n", report.path,
                    us(t.frame), us(t.floor), ratio(t.frame, t.floor), us(t.osMesa), ratio(t.osMesa, t.frame),
                    us(t.sdl), ratio(t.sdl, t.frame), us(t.clear), us(t.transform), us(t.sort), us(t.draw));
    }
}

// Wall time is what a user waits for; on a machine busy with other work the
// processor time, which leaves out the time others had the processor, is the
// steadier of the two.
void PrintPathTables(const std::vector<PathReport>& reports) {
    for (const Clock clock : {&RatioReporter::Times::wall, &RatioReporter::Times::processor}) {
        if (!reports.empty() && reports.front().repeated) {
            PrintPathTable(reports, "Medians of the repetitions", &PathReport::median, clock);
            PrintPathTable(reports, "Fastest repetitions", &PathReport::fastest, clock);
        } else {
            PrintPathTable(reports, "One run each", &PathReport::median, clock);
        }
    }
    std::printf("\nframe+cvt: our frame step and its 32-bit conversion; floor: a memset and a memcpy of the\n"
                "1228800-byte frame; xOSMesa, xSDL: how many times as fast as that peer's frame ours is.\n"
                "Each path's figures come from its own run of every benchmark.\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Mesa's software rasterizer on this thread alone, like ours.
    setenv("LP_NUM_THREADS", "0", 1);
    const std::vector<std::string> arguments(argv, argv + argc);  // before the library takes out its flags
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (const char* reportFd = std::getenv(kReportFdVariable)) return RunOnePath(std::atoi(reportFd));

    const bool sameShape = PeersDrawTheSameShape();
    std::vector<PathReport> reports;
    bool everyPathRan = true;
    for (const SimdLevel level : RunnableSimdLevels()) {
        const std::optional<PathReport> report = RunPath(level, arguments);
        if (report) reports.push_back(*report);
        everyPathRan = everyPathRan && report.has_value();
    }
    PrintPathTables(reports);
    return sameShape && everyPathRan ? 0 : 1;
}
