// The standard arrow drawn when no cursor theme is installed: an opaque arrow of black edges and a
// white inside, hot spot at its tip. Rows top-down; '#' black, '.' white, ' ' transparent.
#pragma once

#include <cstdint>

constexpr std::int32_t EMBEDDED_ARROW_WIDTH = 12;
constexpr std::int32_t EMBEDDED_ARROW_HEIGHT = 19;
constexpr std::int32_t EMBEDDED_ARROW_HOT_X = 0;
constexpr std::int32_t EMBEDDED_ARROW_HOT_Y = 0;

constexpr const char* EMBEDDED_ARROW_ROWS[EMBEDDED_ARROW_HEIGHT] = {
    "#           ", "##          ", "#.#         ", "#..#        ", "#...#       ",
    "#....#      ", "#.....#     ", "#......#    ", "#.......#   ", "#........#  ",
    "#.........# ", "#......#####", "#...#..#    ", "#..##..#    ", "#.#  #..#   ",
    "##   #..#   ", "#     #..#  ", "      #..#  ", "       ##   ",
};

// Returns the premultiplied ARGB pixel of one character of the rows.
constexpr std::uint32_t embedded_arrow_pixel(char c) {
    return c == '#' ? 0xFF000000u : c == '.' ? 0xFFFFFFFFu : 0x00000000u;
}
