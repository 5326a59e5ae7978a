// The tick timing of the benchmark build: the time of each tick and of its capture, enlargement and
// presentation, summarised as medians on standard error after $ZRV5_TIMING_TICKS ticks (1000).
#include "platform/x11/x11_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int STAGES = static_cast<int>(TickStage::tick_end) + 1;
constexpr long DEFAULT_TICKS = 1000;

using Clock = std::chrono::steady_clock;

Clock::time_point marks[STAGES];
bool marked[STAGES];
std::vector<double> totals;
std::vector<double> captures;
std::vector<double> enlargements;
std::vector<double> presents;
bool reported = false;

double span_ms(TickStage from, TickStage to) {
    const int a = static_cast<int>(from);
    const int b = static_cast<int>(to);
    if (!marked[a] || !marked[b]) {
        return 0.0;
    }
    return std::chrono::duration<double, std::milli>(marks[b] - marks[a]).count();
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

long wanted_ticks() {
    const char* text = std::getenv("ZRV5_TIMING_TICKS");
    const long ticks = text != nullptr ? std::atol(text) : DEFAULT_TICKS;
    return ticks > 0 ? ticks : DEFAULT_TICKS;
}

void report() {
    std::fprintf(stderr,
                 "tick timing: %zu ticks, median total %.3f ms, capture %.3f ms, enlarge %.3f ms, "
                 "present %.3f ms\n",
                 totals.size(), median(totals), median(captures), median(enlargements),
                 median(presents));
    std::fflush(stderr);
}

}  // namespace

void tick_timing_mark(TickStage stage) {
    const int index = static_cast<int>(stage);
    if (stage == TickStage::tick_start) {
        std::fill(std::begin(marked), std::end(marked), false);
    }
    marks[index] = Clock::now();
    marked[index] = true;
    if (stage != TickStage::tick_end || !marked[static_cast<int>(TickStage::image_end)]) {
        return;  // only ticks that drew a frame count
    }
    totals.push_back(span_ms(TickStage::tick_start, TickStage::tick_end));
    captures.push_back(span_ms(TickStage::capture_start, TickStage::capture_end));
    enlargements.push_back(span_ms(TickStage::capture_end, TickStage::image_end));
    presents.push_back(span_ms(TickStage::present_start, TickStage::present_end));
    if (!reported && static_cast<long>(totals.size()) >= wanted_ticks()) {
        reported = true;
        report();
    }
}
