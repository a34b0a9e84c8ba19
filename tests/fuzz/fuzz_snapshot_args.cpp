// demo-snapshot's argument parsing and output-path patterns: any arguments
// give either options that hold together or a one-line message.
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/snapshot_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by NUL bytes.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    SnapshotOptions options;
    const auto error = ParseSnapshotArgs(args, options);
    if (error) {
        if (error->empty() || error->find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (options.help) return 0;
    if (options.frameCount < 1 || options.firstFrame < 0) std::abort();
    if (options.output == OutputKind::kStandardOutput) return 0;
    if (options.output == OutputKind::kPng && options.layout != nullptr) std::abort();
    if (options.frameCount > 1 && !options.paths.hasField) std::abort();
    const std::string first = FramePath(options.paths, options.firstFrame);
    const std::string last = FramePath(options.paths, options.firstFrame + options.frameCount - 1);
    if (options.frameCount > 1 && first == last) std::abort();  // frames would overwrite each other
    return 0;
}
