#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Boxes of an arrangement in the making (tables, or whole groups of tables),
// in logical units: top-left corners with y up relative to the set's
// top-left corner, sizes, and which boxes relation lines join.
struct BoxSet {
    std::vector<int64_t> x;
    std::vector<int64_t> y;
    std::vector<int64_t> cx;
    std::vector<int64_t> cy;
    std::vector<std::pair<int, int>> links;
    int64_t width = 0;
    int64_t height = 0;

    size_t Size() const { return cx.size(); }
    void Add(int64_t width, int64_t height);
    // Moves the set's top-left corner to (0, 0) and recomputes its size.
    void Normalize();
};

// Folds a set that is far wider or far taller than the target shape
// (width / height = aspect) into parts laid side by side like a snake: a wide
// set is cut into strips stacked downward, every other strip mirrored left to
// right; a tall set into bands set side by side, every other band mirrored
// top to bottom. Cuts fall between box centres near even positions, where the
// fewest links are cut; mirroring keeps the ends that a cut separates next to
// each other. The diagram attaches relation lines on whichever side of a
// table faces the other one, so mirrored parts keep their lines short.
// Parts stay gap apart; boxes never overlap when they did not before.
void Fold(BoxSet& set, double aspect, int64_t gap);

// Slides every box left as far as the boxes left of it allow (keeping gap
// from those whose height range it shares), then up likewise: the empty
// room of a sparse drawing closes while boxes keep their order left to
// right and top to bottom wherever they face each other.
void Compact(BoxSet& set, int64_t gap);

// Places the boxes in rows about targetWidth wide in the given order, row
// after row like a snake (every other row runs right to left), so that boxes
// next to each other in the order stay next to each other on the canvas.
void PackInOrder(BoxSet& set, const std::vector<size_t>& order, int64_t targetWidth, int64_t gap);

// Places sets in rows about targetWidth wide (a wider set gets a row of its
// own), tallest first, gap apart; returns each set's top-left corner and the
// size of the whole.
struct Packing {
    std::vector<std::pair<int64_t, int64_t>> topLeft;
    int64_t width = 0;
    int64_t height = 0;
};
Packing PackInRows(const std::vector<std::pair<int64_t, int64_t>>& sizes, int64_t targetWidth, int64_t gap);

// Boxes in a grid of the given number of columns, filled row by row in
// order; each column as wide as its widest box, each row as high as its
// highest, gap apart.
BoxSet Grid(const std::vector<std::pair<int64_t, int64_t>>& sizes, size_t columns, int64_t gap);
// The grid with the fewest columns whose height stays within maxHeight (one
// row when none does).
BoxSet FittingGrid(const std::vector<std::pair<int64_t, int64_t>>& sizes, int64_t maxHeight, int64_t gap);
