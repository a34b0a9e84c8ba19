// Preloaded into demo-windowed by the soak test: counts the frames presented
// (calls of SDL_UpdateWindowSurface) and writes the count to the file named by
// DEMO_PRESENT_COUNT_FILE, every 100 frames and when the process ends.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> presented{0};

void WriteCount() {
    const char* path = std::getenv("DEMO_PRESENT_COUNT_FILE");
    if (path == nullptr) return;
    if (std::FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%ld\n", presented.load());
        std::fclose(file);
    }
}

struct WriteAtExit {
    ~WriteAtExit() { WriteCount(); }
} writeAtExit;

}  // namespace

extern "C" int SDL_UpdateWindowSurface(void* window) {
    using Update = int (*)(void*);
    static const auto next = reinterpret_cast<Update>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
    if (++presented % 100 == 0) WriteCount();
    return next(window);
}
