// frame-match: which frame of the demo a screen dump shows, to the byte.
//
//   frame-match uptime
//       prints the uptime in seconds, with milliseconds, by the clock that
//       Wine's GetTickCount follows: the demo seeds with its whole seconds
//   frame-match find FORMAT SEED[,SEED...] DUMP...
//       for each seed in the order given (the likeliest first: the search stops
//       when every dump has matched) renders the 360 frames of one turn (the
//       angles come round after 360 frames, so these are all the pictures the
//       demo can show for that seed), converts each into FORMAT (a name that
//       demo-snapshot --format takes) and compares it with every DUMP, a whole
//       640 x 480 screen written by x11_test_helper dump. Prints
//       "DUMP seed S frame F" for a dump equal to frame F of seed S, and for a
//       dump equal to no frame the closest one and how many pixels differ.
//
// Exit codes: 0 done and every dump matched a frame, 1 some did not, 2 bad
// arguments or an unreadable dump.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

#include "app/floating_point.h"
#include "app/random.h"
#include "app/scene.h"
#include "tools/frame_files.h"

namespace {

constexpr int kFramesPerTurn = 360;

struct Dump {
    std::string path;
    Bytes bytes;
    bool matched = false;
    long bestSeed = 0;
    int bestFrame = 0;
    std::size_t bestDifferingPixels = SIZE_MAX;
};

bool ReadDump(const std::string& path, Bytes& bytes) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    bytes.clear();
    std::uint8_t chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return std::ferror(file.get()) == 0;
}

std::size_t DifferingPixels(const Bytes& a, const Bytes& b, std::size_t bytesPerPixel) {
    std::size_t differing = 0;
    const std::uint8_t* p = a.data();
    const std::uint8_t* q = b.data();
    for (std::size_t i = 0; i < a.size(); i += bytesPerPixel) {
        differing += std::memcmp(p + i, q + i, bytesPerPixel) != 0;
    }
    return differing;
}

// "12,11,13" as numbers; false for anything else.
bool ParseSeeds(const std::string& text, std::vector<long>& seeds) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        char* stop = nullptr;
        const long seed = std::strtol(item.c_str(), &stop, 10);
        if (item.empty() || *stop != '\0') return false;
        seeds.push_back(seed);
        start = end + 1;
    }
    return true;
}

// Compares one frame with every dump not matched yet; with measure, also
// keeps the closest frame of each. Returns true once every dump has matched.
bool CompareFrame(const Bytes& frame, long seed, int frameNumber, bool measure, std::vector<Dump>& dumps) {
    bool allMatched = true;
    for (Dump& dump : dumps) {
        if (dump.matched) continue;
        if (dump.bytes == frame) {
            dump.matched = true;
            std::printf("%s seed %ld frame %d\n", dump.path.c_str(), seed, frameNumber);
            continue;
        }
        allMatched = false;
        if (!measure || dump.bytes.size() != frame.size()) continue;
        const std::size_t differing = DifferingPixels(dump.bytes, frame, frame.size() / kFramePixelCount);
        if (differing < dump.bestDifferingPixels) {
            dump.bestDifferingPixels = differing;
            dump.bestSeed = seed;
            dump.bestFrame = frameNumber;
        }
    }
    return allMatched;
}

// Returns true once every dump has matched.
bool SearchSeeds(const std::string& format, const std::vector<long>& seeds, bool measure,
                 std::vector<Dump>& dumps) {
    for (const long seed : seeds) {
        auto scene = std::make_unique<Scene>();
        CreateScene(*scene);
        SeedRandom(static_cast<double>(seed));
        BuildScene(*scene);
        for (int frame = 0; frame < kFramesPerTurn; ++frame) {
            StepFrame(*scene);
            const Bytes converted = FrameInLayout(scene->frameBuffer, *FindPixelLayout(format));
            if (CompareFrame(converted, seed, frame, measure, dumps)) return true;
        }
    }
    return false;
}

// Wine counts its ticks on the raw monotonic clock, which can drift from the
// boot time in /proc/uptime by whole seconds on a machine that has run long.
int PrintUptime() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC_RAW, &now) != 0) return 1;
    std::printf("%lld.%03ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000000);
    return 0;
}

int FindFrames(const std::string& format, const std::vector<long>& seeds,
               const std::vector<std::string>& paths) {
    if (FindPixelLayout(format) == nullptr) {
        std::fprintf(stderr, "frame-match: unknown format %s\n", format.c_str());
        return 2;
    }
    std::vector<Dump> dumps;
    for (const std::string& path : paths) {
        Dump& dump = dumps.emplace_back();
        dump.path = path;
        if (!ReadDump(dump.path, dump.bytes)) {
            std::fprintf(stderr, "frame-match: cannot read %s\n", path.c_str());
            return 2;
        }
    }

    InitFloatingPoint();
    // Measuring how far off a frame is costs as much as drawing it: only for
    // the dumps that matched nothing, in a second pass.
    const bool allMatched = SearchSeeds(format, seeds, false, dumps) || SearchSeeds(format, seeds, true, dumps);
    for (const Dump& dump : dumps) {
        if (dump.matched) continue;
        if (dump.bestDifferingPixels == SIZE_MAX) {
            std::printf("%s: %zu bytes, no frame of that size\n", dump.path.c_str(), dump.bytes.size());
        } else {
            std::printf("%s: no frame; closest seed %ld frame %d, %zu pixels differ\n", dump.path.c_str(),
                        dump.bestSeed, dump.bestFrame, dump.bestDifferingPixels);
        }
    }
    return allMatched ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.size() == 1 && args[0] == "uptime") return PrintUptime();
    std::vector<long> seeds;
    if (args.size() >= 4 && args[0] == "find" && ParseSeeds(args[2], seeds)) {
        return FindFrames(args[1], seeds, std::vector<std::string>(args.begin() + 3, args.end()));
    }
    std::fprintf(stderr, "usage: frame-match uptime | find FORMAT SEED[,SEED...] DUMP...\n");
    return 2;
}
