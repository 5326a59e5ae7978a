// Times the blended upscalers (the slot-calling reference, the inlined and the SSE2 variant) for
// each kernel family, capture size and scale against a floor that only moves the same bytes, and,
// for comparison, pixman's nearest and bilinear scaling to the same output size; then prints
// milliseconds per frame and the ratio to the floor of the same run.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/kernels.h"
#include "render/upscale.h"
#include "render/upscale_bands.h"
#include "render/upscaler_choice.h"

namespace {

constexpr std::uint32_t PIXEL_SEED = 20261209u;
constexpr double MIN_TIME_SECONDS = 0.2;
constexpr Pixel COLOUR_BITS = 0xFFFFFFu;  // captured pixels have a zero top byte

struct CaptureSize {
    std::int32_t width;
    std::int32_t height;
};

struct Family {
    const char* name;
    std::int32_t smoothness;
};

const CaptureSize CAPTURE_SIZES[] = {{640, 480}, {800, 600}, {1024, 768}};
const std::int32_t SCALES[] = {3, 5};
const Family FAMILIES[] = {{"fast", 0}, {"exact", 1}, {"darker", 2}, {"brighter", 3}};

struct Variant {
    const char* name;
    Upscaler (*for_family)(std::int32_t smoothness);  // null result: not in this build
    VectorSet needs;                                  // what the processor must offer
};

Upscaler reference_upscaler(std::int32_t /*smoothness*/) { return upscale_blended; }

const Variant VARIANTS[] = {{"reference", reference_upscaler, VectorSet::NONE},
                            {"inline", inline_upscaler, VectorSet::NONE},
                            {"sse2", sse2_upscaler, VectorSet::SSE2},
                            {"avx2", avx2_upscaler, VectorSet::AVX2}};

struct PixmanFilter {
    const char* name;
    pixman_filter_t filter;
};

const PixmanFilter PIXMAN_FILTERS[] = {{"pixman-nearest", PIXMAN_FILTER_NEAREST},
                                       {"pixman-bilinear", PIXMAN_FILTER_BILINEAR}};

// A surface over memory it owns; not copyable, since the record points into that memory.
class OwnedSurface {
public:
    OwnedSurface(std::int32_t width, std::int32_t height)
        : words_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        surface.pixels = words_.data();
        surface.width = width;
        surface.height = height;
        surface.stride = width;
    }
    OwnedSurface(const OwnedSurface&) = delete;
    OwnedSurface& operator=(const OwnedSurface&) = delete;

    // Fills the pixels with seeded random colours, the same on every run.
    void fill_random() {
        std::mt19937 engine(PIXEL_SEED);
        for (Pixel& p : words_) {
            p = static_cast<Pixel>(engine()) & COLOUR_BITS;
        }
    }
    const std::vector<Pixel>& words() const { return words_; }
    std::size_t bytes() const { return words_.size() * sizeof(Pixel); }

    Surface surface;

private:
    std::vector<Pixel> words_;
};

std::string size_text(CaptureSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::string upscale_name(CaptureSize size, std::int32_t scale, const Family& family,
                         const Variant& variant) {
    return std::string(variant.name) + "/" + size_text(size) + "/scale" + std::to_string(scale) +
           "/" + family.name;
}

std::string pixman_name(CaptureSize size, std::int32_t scale, const PixmanFilter& filter) {
    return std::string(filter.name) + "/" + size_text(size) + "/scale" + std::to_string(scale);
}

std::string floor_name(CaptureSize size, std::int32_t scale) {
    return "floor/" + size_text(size) + "/scale" + std::to_string(scale);
}

// Times one frame of an upscaler, called with the slots as the frame tick calls it.
void run_upscale(benchmark::State& state, CaptureSize size, std::int32_t scale,
                 std::int32_t smoothness, Upscaler upscale) {
    OwnedSurface source(size.width, size.height);
    OwnedSurface upscaled(scale * size.width / 2, scale * size.height / 2);
    source.fill_random();
    const KernelSlots slots = choose_kernels(smoothness);
    for (auto _ : state) {
        upscale(source.surface, upscaled.surface, size.width, size.height, scale, slots.blend_pair,
                slots.blend_quad);
        benchmark::ClobberMemory();
    }
}

// Times pixman scaling the same source to the same output size by k/2 with the given filter, the
// source and destination as 32-bit x8r8g8b8 images over our own memory.
void run_pixman(benchmark::State& state, CaptureSize size, std::int32_t scale,
                pixman_filter_t filter) {
    OwnedSurface source(size.width, size.height);
    const std::int32_t out_width = scale * size.width / 2;
    const std::int32_t out_height = scale * size.height / 2;
    OwnedSurface upscaled(out_width, out_height);
    source.fill_random();
    pixman_image_t* from =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, size.width, size.height, source.surface.pixels,
                                 size.width * static_cast<int>(sizeof(Pixel)));
    pixman_image_t* to =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, out_width, out_height, upscaled.surface.pixels,
                                 out_width * static_cast<int>(sizeof(Pixel)));
    // The transform maps destination coordinates to source ones: a factor of 2/k.
    pixman_transform_t transform;
    const pixman_fixed_t step = pixman_double_to_fixed(2.0 / scale);
    pixman_transform_init_scale(&transform, step, step);
    pixman_image_set_transform(from, &transform);
    pixman_image_set_filter(from, filter, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, out_width,
                                 out_height);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(to);
    pixman_image_unref(from);
}

// Times the floor: the memory work no upscaler can avoid, reading every source word once and
// writing every output word once. A sum over the source and a memset of the output are about as
// fast as those bytes can move, so the ratio shows what the kernel calls and block layout add.
void run_floor(benchmark::State& state, CaptureSize size, std::int32_t scale) {
    OwnedSurface source(size.width, size.height);
    OwnedSurface upscaled(scale * size.width / 2, scale * size.height / 2);
    source.fill_random();
    for (auto _ : state) {
        Pixel sum = 0;
        for (const Pixel p : source.words()) {
            sum += p;
        }
        benchmark::DoNotOptimize(sum);
        std::memset(upscaled.surface.pixels, 0, upscaled.bytes());
        benchmark::ClobberMemory();
    }
}

// Times one frame of the start-up choice of upscaler in `bands` bands on the band workers, as a
// blended frame whose whole picture changed is enlarged.
void run_banded(benchmark::State& state, CaptureSize size, std::int32_t scale,
                std::int32_t smoothness, std::int32_t bands) {
    OwnedSurface source(size.width, size.height);
    OwnedSurface upscaled(scale * size.width / 2, scale * size.height / 2);
    source.fill_random();
    const KernelSlots slots = choose_kernels(smoothness);
    const Upscaler upscale = choose_upscaler(smoothness);
    for (auto _ : state) {
        upscale_in_bands(upscale, source.surface, upscaled.surface, size.width, size.height, scale,
                         slots.blend_pair, slots.blend_quad, bands);
        benchmark::ClobberMemory();
    }
}

// The two 4K blended pictures: 2560x1440 by 3/2 and 1536x864 by 5/2, both 3840x2160.
struct FourKCase {
    CaptureSize size;
    std::int32_t scale;
};
const FourKCase FOUR_K_CASES[] = {{{2560, 1440}, 3}, {{1536, 864}, 5}};

void register_benchmarks() {
    // At 4K: the floor, and the chosen upscaler in one band and in as many as the band workers,
    // in wall time, since the bands run on other threads.
    for (const FourKCase& c : FOUR_K_CASES) {
        benchmark::RegisterBenchmark(("4K/" + floor_name(c.size, c.scale)).c_str(), run_floor,
                                     c.size, c.scale)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(MIN_TIME_SECONDS)
            ->UseRealTime();
        for (const Family& family : FAMILIES) {
            for (const std::int32_t bands : {1, static_cast<int>(platform_band_workers())}) {
                const std::string name = "4K/" + std::string(family.name) + "/" +
                                         size_text(c.size) + "/scale" + std::to_string(c.scale) +
                                         "/bands" + std::to_string(bands);
                benchmark::RegisterBenchmark(name.c_str(), run_banded, c.size, c.scale,
                                             family.smoothness, bands)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(MIN_TIME_SECONDS)
                    ->UseRealTime();
                if (platform_band_workers() == 1) {
                    break;
                }
            }
        }
    }
    for (const CaptureSize size : CAPTURE_SIZES) {
        for (const std::int32_t scale : SCALES) {
            benchmark::RegisterBenchmark(floor_name(size, scale).c_str(), run_floor, size, scale)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(MIN_TIME_SECONDS);
            for (const PixmanFilter& filter : PIXMAN_FILTERS) {
                benchmark::RegisterBenchmark(pixman_name(size, scale, filter).c_str(), run_pixman,
                                             size, scale, filter.filter)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(MIN_TIME_SECONDS);
            }
            for (const Family& family : FAMILIES) {
                for (const Variant& variant : VARIANTS) {
                    const Upscaler upscale = variant.for_family(family.smoothness);
                    if (upscale == nullptr || cpu_vector_set() < variant.needs) {
                        continue;
                    }
                    benchmark::RegisterBenchmark(upscale_name(size, scale, family, variant).c_str(),
                                                 run_upscale, size, scale, family.smoothness,
                                                 upscale)
                        ->Unit(benchmark::kMillisecond)
                        ->MinTime(MIN_TIME_SECONDS);
                }
            }
        }
    }
}

// Prints the usual console report and keeps each case's milliseconds per frame for the table. The
// table uses CPU time: the upscaler is single-threaded, and CPU time is less disturbed than wall
// time when other work shares the machine.
class TableReporter : public benchmark::ConsoleReporter {
public:
    TableReporter() : benchmark::ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                // With --benchmark_repetitions the table keeps each case's fastest repetition:
                // on a shared machine the slower ones measure the other work, not ours.
                const double ms = run.GetAdjustedCPUTime();
                const auto [entry, inserted] =
                    ms_per_frame_.emplace(run.run_name.function_name, ms);
                if (!inserted && ms < entry->second) {
                    entry->second = ms;
                }
            }
        }
    }

    // Prints, per size and scale, the floor and pixman's two filters, then one line per family
    // with each variant's milliseconds and ratio to the floor of that size and scale; cases left
    // out by a filter or absent from the build show as a dash.
    void print_table() const {
        std::printf("\n%-10s %-5s %-15s %17s %17s %17s %17s\n", "capture", "scale", "family",
                    "reference ms (x)", "inline ms (x)", "sse2 ms (x)", "avx2 ms (x)");
        for (const CaptureSize size : CAPTURE_SIZES) {
            for (const std::int32_t scale : SCALES) {
                const double floor_ms = lookup(floor_name(size, scale));
                print_line(size, scale, "floor", {floor_ms}, floor_ms);
                for (const PixmanFilter& filter : PIXMAN_FILTERS) {
                    print_line(size, scale, filter.name, {lookup(pixman_name(size, scale, filter))},
                               floor_ms);
                }
                for (const Family& family : FAMILIES) {
                    std::vector<double> times;
                    for (const Variant& variant : VARIANTS) {
                        times.push_back(lookup(upscale_name(size, scale, family, variant)));
                    }
                    print_line(size, scale, family.name, times, floor_ms);
                }
            }
        }
    }

private:
    double lookup(const std::string& name) const {
        const auto found = ms_per_frame_.find(name);
        return found == ms_per_frame_.end() ? -1.0 : found->second;
    }

    static std::string cell(double ms, double floor_ms) {
        char text[32];
        if (ms < 0.0) {
            std::snprintf(text, sizeof text, "-");
        } else if (floor_ms <= 0.0) {
            std::snprintf(text, sizeof text, "%.3f", ms);
        } else {
            std::snprintf(text, sizeof text, "%.3f (%.2f)", ms, ms / floor_ms);
        }
        return text;
    }

    static void print_line(CaptureSize size, std::int32_t scale, const char* what,
                           const std::vector<double>& times, double floor_ms) {
        const std::string capture = size_text(size);
        std::printf("%-10s %-5d %-15s", capture.c_str(), scale, what);
        for (const double ms : times) {
            std::printf(" %17s", cell(ms, floor_ms).c_str());
        }
        std::printf("\n");
    }

    std::map<std::string, double> ms_per_frame_;
};

}  // namespace

int main(int argc, char** argv) {
    register_benchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_table();
    benchmark::Shutdown();
    return 0;
}
