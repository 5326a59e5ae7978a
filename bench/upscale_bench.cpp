// Times the blended upscaler for each kernel family and capture size against a floor that only
// moves the same bytes, then prints milliseconds per frame and the ratio to that floor.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "render/kernels.h"
#include "render/upscale.h"

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

// A surface over memory it owns; not copyable, since the record points into that memory.
class OwnedSurface {
public:
    OwnedSurface(std::int32_t width, std::int32_t height)
        : words_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        surface.pixels = words_.data();
        surface.width = width;
        surface.height = height;
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

std::string upscale_name(CaptureSize size, std::int32_t scale, const Family& family) {
    return "upscale/" + size_text(size) + "/scale" + std::to_string(scale) + "/" + family.name;
}

std::string floor_name(CaptureSize size, std::int32_t scale) {
    return "floor/" + size_text(size) + "/scale" + std::to_string(scale);
}

// Times one frame of the upscaler, called through the slots as the frame tick calls it.
void run_upscale(benchmark::State& state, CaptureSize size, std::int32_t scale,
                 std::int32_t smoothness) {
    OwnedSurface source(size.width, size.height);
    OwnedSurface upscaled(scale * size.width / 2, scale * size.height / 2);
    source.fill_random();
    const KernelSlots slots = choose_kernels(smoothness);
    for (auto _ : state) {
        upscale_blended(source.surface, upscaled.surface, size.width, size.height, scale,
                        slots.blend_pair, slots.blend_quad);
        benchmark::ClobberMemory();
    }
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

void register_benchmarks() {
    for (const CaptureSize size : CAPTURE_SIZES) {
        for (const std::int32_t scale : SCALES) {
            benchmark::RegisterBenchmark(floor_name(size, scale).c_str(), run_floor, size, scale)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(MIN_TIME_SECONDS);
            for (const Family& family : FAMILIES) {
                benchmark::RegisterBenchmark(upscale_name(size, scale, family).c_str(),
                                             run_upscale, size, scale, family.smoothness)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(MIN_TIME_SECONDS);
            }
        }
    }
}

// Prints the usual console report and keeps each run's milliseconds per frame for the table. The
// table uses CPU time: the upscaler is single-threaded, and CPU time is less disturbed than wall
// time when other work shares the machine.
class TableReporter : public benchmark::ConsoleReporter {
public:
    TableReporter() : benchmark::ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                ms_per_frame_[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }

    // Prints one line per size, scale and family with the ratio to the floor of that size and scale;
    // cases left out by a filter show as a dash.
    void print_table() const {
        std::printf("\n%-10s %-6s %-9s %10s %9s\n", "capture", "scale", "family", "cpu ms",
                    "x floor");
        for (const CaptureSize size : CAPTURE_SIZES) {
            for (const std::int32_t scale : SCALES) {
                const double floor_ms = lookup(floor_name(size, scale));
                print_line(size, scale, "floor", floor_ms, floor_ms);
                for (const Family& family : FAMILIES) {
                    print_line(size, scale, family.name, lookup(upscale_name(size, scale, family)),
                               floor_ms);
                }
            }
        }
    }

private:
    double lookup(const std::string& name) const {
        const auto found = ms_per_frame_.find(name);
        return found == ms_per_frame_.end() ? -1.0 : found->second;
    }

    static void print_line(CaptureSize size, std::int32_t scale, const char* family, double ms,
                           double floor_ms) {
        const std::string capture = size_text(size);
        if (ms < 0.0) {
            std::printf("%-10s %-6d %-9s %10s %9s\n", capture.c_str(), scale, family, "-", "-");
        } else if (floor_ms <= 0.0) {
            std::printf("%-10s %-6d %-9s %10.3f %9s\n", capture.c_str(), scale, family, ms, "-");
        } else {
            std::printf("%-10s %-6d %-9s %10.3f %9.2f\n", capture.c_str(), scale, family, ms,
                        ms / floor_ms);
        }
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
