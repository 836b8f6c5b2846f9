#pragma once

#include "CTableDef.h"
#include "Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchiveReader;
class CArchiveWriter;
class CMeasureSurface;

// One table box on the canvas: position and last measured size in logical
// units (top edge at m_y, bottom edge at m_y - m_cy), its definition and the
// layout metrics that size it from the diagram font.
class KorvoTableView {
public:
    KorvoTableView() = default;
    virtual ~KorvoTableView() = default;

    KorvoTableView(const KorvoTableView&) = delete;
    KorvoTableView& operator=(const KorvoTableView&) = delete;

    static constexpr const char* kClassName = "KorvoTableView";
    static constexpr uint16_t kSchema = 1;

    std::string GetName() const { return m_def.m_strName; }
    std::vector<CColumn*> GetColumns() const { return m_def.GetColumns(); }

    // Sets the size and line height from the surface's font; with column
    // types shown, rows are as wide as name, type and marks in their columns.
    void Measure(const CMeasureSurface& surface);

    // Where the type and the marks of every row start while types are shown,
    // in logical units from the left of the column text, and the rows' width
    // from there. The columns stand apart by half a line.
    struct TypeColumns {
        int32_t typeX = 0;
        int32_t marksX = 0;
        int32_t width = 0;
    };
    TypeColumns LayOutTypeColumns(const CMeasureSurface& surface, int32_t lineHeight) const;
    // The marks after a column's type: "NN" for NOT NULL, "FK" for a column
    // that holds a foreign key, "REF" for one that a relation refers to.
    static std::string ColumnMarks(const CColumn& column, unsigned relationSides);
    // Strictly inside the last measured box; point in device units, scroll
    // position in logical units.
    bool HitTest(const CMeasureSurface& surface, CPoint ptDevice, CPoint scrollLog) const;
    // The column whose row band holds the device point, or null. Measures first.
    CColumn* ColumnAt(const CMeasureSurface& surface, CPoint ptDevice, CPoint scrollLog);
    // Logical y of the centre of the column's row, or -1 when the column is
    // not one of this table's. Measures first.
    int32_t GetColumnRowY(const CMeasureSurface& surface, const CColumn* column);
    // Logical y of the centre of row index with the last measured line
    // height.
    int32_t RowCentreY(int index) const;
    // Position of the column in this table's list, or -1.
    int IndexOfColumn(const CColumn* column) const;

    // The version-2 table record of the .erd file and the clipboard.
    void Serialize(CArchiveWriter& ar) const;
    void Serialize(CArchiveReader& ar);
    void ReadVersion1(CArchiveReader& ar);

    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_cx = 0;
    int32_t m_cy = 0;
    CTableDef m_def;
    int32_t m_nVertPadding = 180;
    int32_t m_nHorzPadding = 180;
    int32_t m_nLineHeight = 0;
    bool m_bSelected = false;
    int32_t m_nHandleWidth = 90;
    int32_t m_nHandleHeight = 90;
    int32_t m_nBorderWidth = 15;
    bool m_bExported = false;
};
