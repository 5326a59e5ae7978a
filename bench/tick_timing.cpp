// The tick timing of the benchmark build: the time of each tick and of its capture, enlargement and
// presentation, summarised as medians on standard error after $ZRV5_TIMING_TICKS ticks (1000),
// with the mean time from one tick's start to the next and the process's resident memory after
// the first 1000 ticks and after the last.
#include "platform/x11/x11_tick_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr int STAGES = static_cast<int>(TickStage::tick_end) + 1;
constexpr long DEFAULT_TICKS = 1000;
constexpr std::size_t WARM_UP_TICKS = 1000;  // memory is compared from here on

using Clock = std::chrono::steady_clock;

Clock::time_point marks[STAGES];
bool marked[STAGES];
std::vector<double> totals;
std::vector<double> captures;
std::vector<double> enlargements;
std::vector<double> presents;
std::vector<double> queries;    // from the tick's start to the capture: the window questions
bool reported = false;
Clock::time_point first_start;
Clock::time_point last_start;
long warm_resident_kb = -1;

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

// Returns this process's resident memory in KiB, or -1.
long resident_kb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

void report() {
    const double span = std::chrono::duration<double, std::milli>(last_start - first_start).count();
    const double interval = totals.size() > 1 ? span / static_cast<double>(totals.size() - 1) : 0.0;
    std::fprintf(
        stderr,
        "tick timing: %zu ticks, median total %.3f ms, questions %.3f ms, capture %.3f ms, "
        "enlarge %.3f ms, present %.3f ms; mean interval %.3f ms; "
        "resident %ld KiB after %zu ticks, %ld KiB after %zu\n",
        totals.size(), median(totals), median(queries), median(captures), median(enlargements),
        median(presents), interval, warm_resident_kb,
        std::min(WARM_UP_TICKS, totals.size()), resident_kb(), totals.size());
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
    if (totals.empty()) {
        first_start = marks[static_cast<int>(TickStage::tick_start)];
        // Room for every figure, written once so that its pages are resident from the start:
        // the figures (32 bytes a tick) must not count as the program's growth.
        const auto ticks = static_cast<std::size_t>(wanted_ticks());
        for (std::vector<double>* figures :
             {&totals, &captures, &enlargements, &presents, &queries}) {
            figures->assign(ticks, 0.0);
            figures->clear();
        }
    }
    last_start = marks[static_cast<int>(TickStage::tick_start)];
    totals.push_back(span_ms(TickStage::tick_start, TickStage::tick_end));
    if (totals.size() == WARM_UP_TICKS || warm_resident_kb < 0) {
        warm_resident_kb = resident_kb();
    }
    captures.push_back(span_ms(TickStage::capture_start, TickStage::capture_end));
    enlargements.push_back(span_ms(TickStage::capture_end, TickStage::image_end));
    presents.push_back(span_ms(TickStage::image_end, TickStage::present_end));
    queries.push_back(span_ms(TickStage::tick_start, TickStage::capture_start));
    if (!reported && static_cast<long>(totals.size()) >= wanted_ticks()) {
        reported = true;
        report();
    }
}
