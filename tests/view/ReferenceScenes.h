#pragma once

// Diagram windows in fixed states (diagram, window size, scroll position,
// selection, a drag under way) whose pixels were recorded before the view
// could zoom. At actual size each must still paint exactly those pixels.
#include "CDocumentHost.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "DiagramFile.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QImage>
#include <QMouseEvent>

#include <functional>
#include <memory>
#include <string>

namespace ReferenceScenes {

// A grid of tables of one to eight columns (keys, long names, Latin-1 and
// CJK text, an empty table), each linked to its left neighbour, with a few
// multi-column and self relations and two overlapping tables.
inline void BuildGrid(CKorvoDoc& doc)
{
    doc.m_nMaxPagesX = 3;
    doc.m_nMaxPagesY = 2;
    static const char* const kNames[] = {"customer", "order_line", "x", "caf\xC3\xA9_r\xC3\xA9sum\xC3\xA9",
                                         "\xE9\xA1\xA7\xE5\xAE\xA2", "a_table_with_a_rather_long_name"};
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < 24; ++i) {
        std::vector<std::string> columns;
        const int count = i == 7 ? 0 : 1 + (i * 5) % 8;
        for (int c = 0; c < count; ++c)
            columns.push_back(c == 2 ? "column_with_long_name_" + std::to_string(i) : "col" + std::to_string(c));
        const int32_t x = 600 + (i % 6) * 3300;
        const int32_t y = -600 - (i / 6) * 3000;
        tables.push_back(AddTable(doc, std::string(kNames[i % 6]) + "_" + std::to_string(i), x, y, columns,
                                  i % 3));
    }
    for (int i = 0; i < 24; ++i) {
        if (i % 6 != 0 && !tables[i]->m_def.m_columns.empty() && !tables[i - 1]->m_def.m_columns.empty())
            Relate(doc, tables[i], 0, tables[i - 1], int(tables[i - 1]->m_def.m_columns.size()) - 1);
    }
    // Two columns on each side, and a relation from a table to itself.
    CRelation* wide = Relate(doc, tables[13], 0, tables[2], 0);
    wide->m_sourceColumns.push_back(tables[13]->m_def.m_columns[1].get());
    wide->m_destColumns.push_back(tables[2]->m_def.m_columns[0].get());
    Relate(doc, tables[20], 1, tables[20], 0);
    Relate(doc, tables[3], 0, tables[21], 1);
    // An overlapping pair: the earlier one lies on top.
    AddTable(doc, "overlapping", 600 + 3 * 3300 - 600, -600 - 3000 - 1200, {"over_a", "over_b"}, 1);
    tables[8]->m_bSelected = true;
    tables[15]->m_bSelected = true;
    doc.m_relations[2]->m_bSelected = true;
    doc.m_relations.back()->m_bSelected = true;
}

struct Scene {
    const char* name;
    int width;
    int height;
    CPoint scroll;
    // Mouse steps sent to the viewport after the diagram is in place.
    std::function<void(CKorvoView&)> interact;
};

inline void SendMouse(CKorvoView& view, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
}

// The viewport's pixels as the paint leaves them.
inline QImage Grab(CKorvoView& view)
{
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::red);
    view.viewport()->render(&image);
    return image;
}

inline QByteArray Hash(const QImage& image)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < image.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4));
    return hash.result().toHex();
}

} // namespace ReferenceScenes
