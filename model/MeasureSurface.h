#pragma once

#include "Geometry.h"

#include <cstdint>
#include <string_view>

class CColumn;

// The sides of relations a column is on (RelationSides).
inline constexpr unsigned kRelationSource = 1;      // holds a foreign key
inline constexpr unsigned kRelationDestination = 2; // is referred to

// The drawing surface as the table layout sees it: the diagram font selected,
// the canvas mapping (twips, y up) set. The view implements it with Qt; tests
// use a fake with fixed numbers.
class CMeasureSurface {
public:
    virtual ~CMeasureSurface() = default;

    // Width (cx of the text extent) of a UTF-8 text in logical units.
    virtual int32_t GetTextWidth(std::string_view text) const = 0;
    // Text-metric height of the selected font in logical units.
    virtual int32_t GetLineHeight() const = 0;

    // Point conversions with the surface's mapping (rounded as the platform
    // rounds). A logical y above the origin maps to a device y above it.
    virtual CPoint LPtoDP(CPoint pt) const = 0;
    virtual CPoint DPtoLP(CPoint pt) const = 0;
    // Size conversion: positive magnitudes, whatever the axis direction.
    virtual CSize LPtoDP(CSize size) const = 0;

    // Whether column rows show each column's type and marks after its name;
    // off, only names are drawn and measured.
    virtual bool ShowsColumnTypes() const { return false; }
    // kRelationSource and kRelationDestination bits; asked only while types
    // are shown.
    virtual unsigned RelationSides(const CColumn&) const { return 0; }
};
