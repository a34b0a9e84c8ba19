// One 640 x 480 frame of the demo converted into each display layout, by our
// row converters and by the peers, with memcpy of the 32-bit frame as the
// memory floor. After the run a table gives, per layout, our time over the
// memcpy time and over the fastest peer's time.
//
// --destination_offset=N starts every destination frame N bytes past a 64-byte
// boundary (0 by default): a frame centred on a wider surface starts at any
// multiple of 4.
//
// Times are CPU times, and each is the best of the repetitions: this machine
// is shared, and other work only ever adds time. Repetitions of all the
// benchmarks are interleaved at random so that a slow spell does not fall on
// one contender alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/floating_point.h"
#include "app/random.h"
#include "app/scene.h"
#include "bench/converter_peers.h"

namespace {

constexpr double kSeed = 12345;
// Frame 40 of seed 12345, as demo-snapshot draws it: the torus covers about a fifth of the frame in some
// 45000 colours, the rest is the black background.
constexpr int kFrame = 40;  // frames count from 0
constexpr int kRepetitions = 9;
constexpr double kMinSecondsPerRepetition = 0.1;

struct Contestant {
    const char* name;
    MakeConversion make;
};
// Ours first: the others are checked against it.
constexpr Contestant kContestants[] = {
    {"ours", MakeRowConverterConversion},
    {"plain loop", MakePlainLoopConversion},
    {"SDL_ConvertPixels", MakeSdlConversion},
    {"pixman", MakePixmanConversion},
};
const char* const kOurs = kContestants[0].name;
const char* const kMemcpy = "memcpy";

std::unique_ptr<FrameBuffer> RenderFrame() {
    InitFloatingPoint();
    auto scene = std::make_unique<Scene>();
    CreateScene(*scene);
    SeedRandom(kSeed);
    BuildScene(*scene);
    for (int i = 0; i <= kFrame; ++i) StepFrame(*scene);
    return std::make_unique<FrameBuffer>(scene->frameBuffer);
}

std::size_t FrameBytesOf(const BenchLayout& layout) { return kFramePixelCount * layout.bytesPerPixel; }

std::size_t destinationOffset = 0;

// A frame's bytes starting destinationOffset bytes past a 64-byte boundary.
struct Destination {
    explicit Destination(std::size_t bytes) : buffer(bytes + 64 + destinationOffset, 0xA5), size(bytes) {
        const auto address = reinterpret_cast<std::uintptr_t>(buffer.data());
        start = buffer.data() + (64 - address % 64) % 64 + destinationOffset;
    }
    FrameBytes Bytes() const { return FrameBytes(start, start + size); }
    FrameBytes buffer;
    std::uint8_t* start;
    std::size_t size;
};

// A conversion into its own destination and, for a peer, where its bytes first
// differ from ours (empty when they match).
struct Contender {
    Destination destination;
    FrameConversion convert;
    std::string mismatch;
};

std::string BenchmarkName(const char* who, const BenchLayout& layout) { return std::string(who) + "/" + layout.name; }

void TimeConversion(benchmark::State& state, Contender& contender) {
    if (!contender.mismatch.empty()) {
        state.SkipWithError(("bytes differ from ours: " + contender.mismatch).c_str());
        return;
    }
    for (auto _ : state) {
        contender.convert();
        benchmark::DoNotOptimize(contender.destination.start);
        benchmark::ClobberMemory();
    }
}

void TimeMemcpy(benchmark::State& state, const FrameBuffer& frame, Destination& destination) {
    for (auto _ : state) {
        std::memcpy(destination.start, frame.pixels.data(), destination.size);
        benchmark::DoNotOptimize(destination.start);
        benchmark::ClobberMemory();
    }
}

double Best(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

void Register(const std::string& name, std::function<void(benchmark::State&)> body) {
    benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(kMinSecondsPerRepetition)
        ->Repetitions(kRepetitions)
        ->ComputeStatistics("best", Best)
        ->ReportAggregatesOnly(true);
}

// Converts once with every contender and keeps, for each peer, where its bytes
// first differ from ours.
std::map<std::string, Contender> MakeContenders(const FrameBuffer& frame) {
    std::map<std::string, Contender> contenders;
    for (const BenchLayout& layout : kBenchLayouts) {
        FrameBytes oursBytes;
        for (const Contestant& contestant : kContestants) {
            // Moving the contender into the map keeps the destination's buffer
            // where the conversion was told it is.
            Contender contender{Destination(FrameBytesOf(layout)), {}, {}};
            contender.convert = contestant.make(layout, frame, contender.destination.start);
            contender.convert();
            if (contestant.name == kOurs) {
                oursBytes = contender.destination.Bytes();
            } else {
                contender.mismatch = CompareColourBits(layout, oursBytes, contender.destination.Bytes());
            }
            contenders.emplace(BenchmarkName(contestant.name, layout), std::move(contender));
        }
    }
    return contenders;
}

// Keeps the best CPU time of every benchmark, in seconds, and prints the usual
// console output as it goes.
struct BestTimeCollector final : benchmark::ConsoleReporter {
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate || run.aggregate_name != "best") continue;
            bestSeconds[run.run_name.function_name] =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
    std::map<std::string, double> bestSeconds;
};

void PrintRatioTable(const std::map<std::string, double>& seconds) {
    const auto memcpyTime = seconds.find(kMemcpy);
    if (memcpyTime == seconds.end()) return;  // filtered out of this run
    std::printf("\nBest of %d repetitions, CPU time\n", kRepetitions);
    std::printf("%-8s %10s %12s %16s  %s\n", "layout", "ours (us)", "/ memcpy", "/ fastest peer",
                "fastest peer (us)");
    for (const BenchLayout& layout : kBenchLayouts) {
        const auto ours = seconds.find(BenchmarkName(kOurs, layout));
        if (ours == seconds.end()) continue;
        std::string fastestName = "none";
        double fastest = 0;
        for (const Contestant& peer : kContestants) {
            const auto time = seconds.find(BenchmarkName(peer.name, layout));
            if (peer.name == kOurs || time == seconds.end()) continue;
            if (fastestName == "none" || time->second < fastest) {
                fastestName = peer.name;
                fastest = time->second;
            }
        }
        std::printf("%-8s %10.1f %11.2fx", layout.name, ours->second * 1e6, ours->second / memcpyTime->second);
        if (fastestName == "none") {
            std::printf(" %16s\n", "-");
        } else {
            std::printf(" %15.2fx  %.1f %s\n", ours->second / fastest, fastest * 1e6, fastestName.c_str());
        }
    }
    std::printf("memcpy of the %zu-byte frame: %.1f us\n", sizeof(PackedColor) * kFramePixelCount,
                memcpyTime->second * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    // Interleaved unless the command line says otherwise (a later flag wins).
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + (argc > 0 ? 1 : 0), interleave);
    argc = static_cast<int>(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    constexpr std::string_view kOffsetFlag = "--destination_offset=";
    if (argc > 1 && std::string_view(argv[1]).starts_with(kOffsetFlag)) {
        destinationOffset = std::stoul(std::string(argv[1] + kOffsetFlag.size()));
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const std::unique_ptr<FrameBuffer> frame = RenderFrame();
    std::map<std::string, Contender> contenders = MakeContenders(*frame);
    for (const auto& [name, contender] : contenders) {
        if (contender.mismatch.empty()) continue;
        std::printf("%s: bytes differ from ours at %s\n", name.c_str(), contender.mismatch.c_str());
    }

    Destination memcpyDestination(sizeof(PackedColor) * kFramePixelCount);
    Register(kMemcpy, [&](benchmark::State& state) { TimeMemcpy(state, *frame, memcpyDestination); });
    for (const BenchLayout& layout : kBenchLayouts) {
        for (const Contestant& contestant : kContestants) {
            Contender& contender = contenders.at(BenchmarkName(contestant.name, layout));
            Register(BenchmarkName(contestant.name, layout),
                     [&](benchmark::State& state) { TimeConversion(state, contender); });
        }
    }

    BestTimeCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    PrintRatioTable(collector.bestSeconds);
    benchmark::Shutdown();
    return 0;
}
