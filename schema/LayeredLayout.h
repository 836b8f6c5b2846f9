#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One box of a layered drawing: its size in logical units and how many
// rows it has below its title row; lines may name a row to attach to, so
// that the lines leaving one side of a box keep the order of its rows.
struct LayeredNode {
    int32_t cx = 0;
    int32_t cy = 0;
    int rows = 0;
};

// A line between two boxes, from the tail's layer towards the head's; port
// rows are -1 for the box as a whole. weight counts parallel lines.
struct LayeredEdge {
    int tail = 0;
    int head = 0;
    int tailRow = -1;
    int headRow = -1;
    int weight = 1;
};

// Spacing and effort of one layered drawing, in logical units.
struct LayeredSpacing {
    int32_t nodeGap = 720; // between boxes of the same layer
    int32_t layerGap = 1440; // between neighbouring layers
};

// Top-left corners (logical units, y up) of the boxes, in input order, with
// the drawing's top-left corner at (0, 0); and the drawing's size.
struct LayeredDrawing {
    bool ok = false;
    std::string error;
    std::vector<int64_t> x;
    std::vector<int64_t> y;
    int64_t width = 0;
    int64_t height = 0;
};

// Layered drawings with Graphviz's dot: layers run left to right, so the
// horizontal relation stubs of the diagram face each other across the gap
// between layers. One instance holds one Graphviz context for several
// drawings; it is not safe to use from two threads at once, and Graphviz's
// own error reporting is global, so only one instance should work at a time.
class CLayeredLayout {
public:
    CLayeredLayout();
    ~CLayeredLayout();
    CLayeredLayout(const CLayeredLayout&) = delete;
    CLayeredLayout& operator=(const CLayeredLayout&) = delete;

    LayeredDrawing Draw(const std::vector<LayeredNode>& nodes, const std::vector<LayeredEdge>& edges,
                        const LayeredSpacing& spacing);

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};
