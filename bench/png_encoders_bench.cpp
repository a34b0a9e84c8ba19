// Which PNG encoder, with which settings, writes demo-snapshot's pictures
// fastest: stb_image_write (the Windows build's), libpng and libspng, each
// with its zlib level and row filter, ISA-L's deflate on filtered rows, and
// demo-snapshot's own EncodePng (ISA-L, level 1, the Up filter).
//
// Every encoder gets the same frames of a turn; the counter "bytes_per_frame"
// shows what each setting costs in file size.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <vector>

#include <png.h>
#include <spng.h>
#include <stb_image_write.h>
#include <zlib.h>
#include <isa-l/igzip_lib.h>

#include "app/random.h"
#include "app/scene.h"
#include "display/converters.h"
#include "tools/frame_files.h"

namespace {

// Rows of 8-bit R, G, B, as every encoder here takes them.
Bytes RgbBytes(const FrameBuffer& frame) {
    Bytes rgb(frame.pixels.size() * 3);
    ImageRgbConverter()(frame.pixels.data(), rgb.data(), kFrameWidth * kFrameHeight);
    return rgb;
}

// Every fifteenth frame of a turn of seed 5: the torus at many angles.
const std::vector<Bytes>& SampleFrames() {
    static const std::vector<Bytes> frames = [] {
        std::vector<Bytes> result;
        auto scene = std::make_unique<Scene>();
        CreateScene(*scene);
        SeedRandom(5);
        BuildScene(*scene);
        for (int frame = 0; frame < 360; ++frame) {
            StepFrame(*scene);
            if (frame % 15 == 0) result.push_back(RgbBytes(scene->frameBuffer));
        }
        return result;
    }();
    return frames;
}

template <typename Encode>
void EncodeFrames(benchmark::State& state, Encode encode) {
    const auto& frames = SampleFrames();
    std::size_t next = 0, totalBytes = 0, encoded = 0;
    for (auto _ : state) {
        const std::size_t size = encode(frames[next]);
        if (size == 0) state.SkipWithError("encoder failed");
        totalBytes += size;
        ++encoded;
        next = (next + 1) % frames.size();
    }
    state.counters["bytes_per_frame"] = static_cast<double>(totalBytes) / static_cast<double>(encoded);
}

void AppendBytes(void* context, void* data, int size) {
    auto& out = *static_cast<Bytes*>(context);
    out.insert(out.end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// state.range(0): zlib level; state.range(1): forced filter, or -1 for stb's own choice per row.
void Stb(benchmark::State& state) {
    stbi_write_png_compression_level = static_cast<int>(state.range(0));
    stbi_write_force_png_filter = static_cast<int>(state.range(1));
    EncodeFrames(state, [](const Bytes& rgb) {
        Bytes png;
        stbi_write_png_to_func(AppendBytes, &png, kFrameWidth, kFrameHeight, 3, rgb.data(), kFrameWidth * 3);
        return png.size();
    });
}
BENCHMARK(Stb)->Args({8, -1})->Args({1, 0})->Args({1, 1})->Args({1, 2});

void LibpngWrite(png_structp png, png_bytep data, png_size_t size) {
    AppendBytes(png_get_io_ptr(png), data, static_cast<int>(size));
}

void LibpngFlush(png_structp) {}

// state.range(0): zlib level; range(1): PNG_FILTER_* mask; range(2): zlib strategy.
void Libpng(benchmark::State& state) {
    EncodeFrames(state, [&state](const Bytes& rgb) {
        Bytes out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            return std::size_t{0};
        }
        png_set_write_fn(png, &out, LibpngWrite, LibpngFlush);
        png_set_compression_level(png, static_cast<int>(state.range(0)));
        png_set_filter(png, PNG_FILTER_TYPE_BASE, static_cast<int>(state.range(1)));
        png_set_compression_strategy(png, static_cast<int>(state.range(2)));
        png_set_IHDR(png, info, kFrameWidth, kFrameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        std::vector<png_bytep> rows(kFrameHeight);
        for (int y = 0; y < kFrameHeight; ++y) rows[y] = const_cast<png_bytep>(rgb.data() + y * kFrameWidth * 3);
        png_set_rows(png, info, rows.data());
        png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        png_destroy_write_struct(&png, &info);
        return out.size();
    });
}
BENCHMARK(Libpng)
    ->Args({1, PNG_FILTER_NONE, Z_DEFAULT_STRATEGY})
    ->Args({1, PNG_FILTER_SUB, Z_DEFAULT_STRATEGY})
    ->Args({1, PNG_FILTER_UP, Z_DEFAULT_STRATEGY})
    ->Args({1, PNG_FILTER_SUB, Z_RLE})
    ->Args({1, PNG_FILTER_UP, Z_RLE})
    ->Args({1, PNG_FILTER_NONE, Z_RLE})
    ->Args({1, PNG_FILTER_SUB, Z_HUFFMAN_ONLY})
    ->Args({6, PNG_ALL_FILTERS, Z_DEFAULT_STRATEGY});

// Same arguments as Libpng, with SPNG_FILTER_CHOICE_* masks.
void Spng(benchmark::State& state) {
    EncodeFrames(state, [&state](const Bytes& rgb) {
        spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
        spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
        spng_set_option(context, SPNG_IMG_COMPRESSION_LEVEL, static_cast<int>(state.range(0)));
        spng_set_option(context, SPNG_FILTER_CHOICE, static_cast<int>(state.range(1)));
        spng_set_option(context, SPNG_IMG_COMPRESSION_STRATEGY, static_cast<int>(state.range(2)));
        spng_ihdr header{};
        header.width = kFrameWidth;
        header.height = kFrameHeight;
        header.bit_depth = 8;
        header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
        spng_set_ihdr(context, &header);
        std::size_t size = 0;
        int error = spng_encode_image(context, rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
        if (error == 0) {
            void* png = spng_get_png_buffer(context, &size, &error);
            std::free(png);
        }
        spng_ctx_free(context);
        return error == 0 ? size : 0;
    });
}
BENCHMARK(Spng)
    ->Args({1, SPNG_DISABLE_FILTERING, Z_DEFAULT_STRATEGY})
    ->Args({1, SPNG_FILTER_CHOICE_SUB, Z_DEFAULT_STRATEGY})
    ->Args({1, SPNG_FILTER_CHOICE_UP, Z_DEFAULT_STRATEGY})
    ->Args({1, SPNG_FILTER_CHOICE_SUB, Z_RLE})
    ->Args({1, SPNG_FILTER_CHOICE_UP, Z_RLE})
    ->Args({6, SPNG_FILTER_CHOICE_ALL, Z_DEFAULT_STRATEGY});

// ISA-L's deflate of the rows, each behind its filter byte, as one zlib
// stream: what an IDAT chunk holds. state.range(0): level; range(1): 0 None,
// 1 Sub, 2 Up.
void Isal(benchmark::State& state) {
    const int filter = static_cast<int>(state.range(1));
    constexpr std::size_t kRow = kFrameWidth * 3;
    Bytes filtered((kRow + 1) * kFrameHeight), out(filtered.size() * 2), work(ISAL_DEF_LVL3_DEFAULT);
    EncodeFrames(state, [&](const Bytes& rgb) {
        for (std::size_t y = 0; y < kFrameHeight; ++y) {
            const std::uint8_t* row = rgb.data() + y * kRow;
            std::uint8_t* to = filtered.data() + y * (kRow + 1);
            *to++ = static_cast<std::uint8_t>(filter);
            for (std::size_t i = 0; i < kRow; ++i) {
                const std::uint8_t left = i >= 3 ? row[i - 3] : 0, above = y > 0 ? row[i - kRow] : 0;
                to[i] = static_cast<std::uint8_t>(row[i] - (filter == 1 ? left : filter == 2 ? above : 0));
            }
        }
        isal_zstream stream;
        isal_deflate_stateless_init(&stream);
        stream.level = static_cast<std::uint32_t>(state.range(0));
        stream.level_buf = work.data();
        stream.level_buf_size = static_cast<std::uint32_t>(work.size());
        stream.gzip_flag = IGZIP_ZLIB;
        stream.end_of_stream = 1;
        stream.next_in = filtered.data();
        stream.avail_in = static_cast<std::uint32_t>(filtered.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<std::uint32_t>(out.size());
        return isal_deflate_stateless(&stream) == COMP_OK ? std::size_t{stream.total_out} : 0;
    });
}
BENCHMARK(Isal)->Args({0, 2})->Args({1, 0})->Args({1, 1})->Args({1, 2})->Args({2, 2});

// demo-snapshot's EncodePng, whole file, from the frame buffer.
void DemoSnapshot(benchmark::State& state) {
    std::vector<std::unique_ptr<FrameBuffer>> frames;
    for (const Bytes& rgb : SampleFrames()) {
        frames.push_back(std::make_unique<FrameBuffer>());
        for (std::size_t i = 0; i < frames.back()->pixels.size(); ++i) {
            frames.back()->pixels[i] = static_cast<PackedColor>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
        }
    }
    PngBuffers buffers;
    std::size_t next = 0;
    EncodeFrames(state, [&](const Bytes&) { return EncodePng(*frames[next++ % frames.size()], buffers).size(); });
}
BENCHMARK(DemoSnapshot);

}  // namespace

BENCHMARK_MAIN();
