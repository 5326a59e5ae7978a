// The stretch rasteriser of the X11 drawing contexts, over plain pixel views and with no X in it:
// destination d takes source d * source size / destination size, so a whole factor k gives exactly
// d / k. Writes to the overlay's image go through put_row, which notes the rows whose pixels
// changed, so that a present sends only those.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/frame_geometry.h"
#include "render/pixel.h"

// The rows of an image whose pixels changed since its last present.
struct RowChanges {
    std::vector<std::uint8_t> rows;  // one flag per row; sized once
    bool any = false;

    // Called with every view of the image: what the server shows of an image of a new height is
    // not known yet, so the first present sends all of it.
    void follow(std::int32_t height) {
        if (rows.size() != static_cast<std::size_t>(height)) {
            rows.assign(static_cast<std::size_t>(height), 1);
            any = true;
        }
    }
    void mark(std::int32_t y) {
        rows[static_cast<std::size_t>(y)] = 1;
        any = true;
    }
    void clear();
};

// Pixels seen top-down whatever their storage: row y starts at base + y * stride.
struct PixelView {
    Pixel* base = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    RowChanges* changes = nullptr;  // set for the overlay: writes note the rows they change
    Pixel* row(std::int32_t y) const { return base + y * stride; }
};

// What a stretch keeps from call to call, so that a stretch of the same size allocates nothing:
// the source column of each destination column, and a row being made.
struct StretchScratch {
    std::vector<std::int32_t> columns;
    std::vector<Pixel> row;
};

// Puts `count` pixels into row y of the destination from column x on. A row of a view with
// changes is written only where it differs, and then noted as changed.
void put_row(const PixelView& destination, std::int32_t y, std::int32_t x, const Pixel* pixels,
             std::size_t count);

// Copies `from` of the source into `to` of the destination, repeating pixels where `to` is larger;
// destination pixels outside the destination and those whose source lies outside the source are
// left alone.
void stretch(const PixelView& destination, Rect to, const PixelView& source, Rect from,
             StretchScratch& scratch);
