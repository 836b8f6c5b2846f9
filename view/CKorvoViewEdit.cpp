// Mouse, keyboard, timer and context-menu editing of the diagram window.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CColumnPropertiesDialog.h"
#include "CDiagramSnapshot.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "CMoveTablesCommand.h"
#include "ModelText.h"
#include "CRelationPropertiesDialog.h"
#include "CTablePropertiesDialog.h"
#include "TableShift.h"
#include "ViewCommandIds.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <climits>
#include <cmath>

namespace {

CPoint DevicePoint(const QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    return CPoint{p.x(), p.y()};
}

// Device offset to logical units as a size: rounded to the nearest unit,
// sign kept, y not flipped; at the surface's zoom.
int32_t DeviceToLogicalLength(int64_t device, const CKorvoDC& dc)
{
    return Saturate(std::llround(double(device) * double(kTwipsPerInch) * 100.0 / (double(dc.Dpi()) * dc.Zoom())));
}

// A press with the table tool leaves nothing for the release to match.
constexpr CPoint kNoPress{INT_MIN, INT_MIN};

} // namespace

void CKorvoView::ClearSelection(bool tables, bool relations)
{
    CKorvoDoc* doc = GetDocument();
    if (tables)
        for (auto& table : doc->m_tables)
            table->m_bSelected = false;
    if (relations)
        for (auto& relation : doc->m_relations)
            relation->m_bSelected = false;
}

bool CKorvoView::HasSelection() const
{
    const CKorvoDoc* doc = GetDocument();
    for (const auto& table : doc->m_tables)
        if (table->m_bSelected)
            return true;
    for (const auto& relation : doc->m_relations)
        if (relation->m_bSelected)
            return true;
    return false;
}

void CKorvoView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CLogScrollView::mousePressEvent(event);
        return;
    }
    CAppState& app = CAppState::Get();
    CKorvoDoc* doc = GetDocument();
    const CPoint point = DevicePoint(event);
    auto dc = PrepareDC();
    const CPoint origin = GetLogScrollPosition();

    switch (app.m_nCurrentTool) {
    case ToolPointer:
        m_ptStart = m_ptLast = point;
        m_bDragging = true;
        m_pDragTable = nullptr;
        m_pDragColumn = nullptr;
        for (auto& table : doc->m_tables) {
            if (table->HitTest(*dc, point, origin)) {
                m_pDragTable = table.get();
                break;
            }
        }
        break;

    case ToolTable: {
        const CDiagramSnapshot before(*doc, {});
        auto table = std::make_unique<KorvoTableView>();
        const CPoint logical = dc->DPtoLP(point) + origin;
        table->m_x = logical.x;
        table->m_y = logical.y;
        table->m_def.m_strName = "table1";
        ClearSelection(true, false);
        table->m_bSelected = true;
        doc->AddTable(std::move(table));
        m_ptStart = m_ptLast = kNoPress;
        app.m_nCurrentTool = ToolPointer;
        UpdateCursor();
        m_pHost->RecordChange(before, tr("Place Table"), dc.get());
        DocumentEdited(true);
        break;
    }

    case ToolRelation:
        m_ptStart = m_ptLast = point;
        m_bDragging = true;
        m_pDragTable = nullptr;
        m_pDragColumn = nullptr;
        for (auto& table : doc->m_tables) {
            if (table->HitTest(*dc, point, origin)) {
                m_pDragColumn = table->ColumnAt(*dc, point, origin);
                m_pDragTable = table.get();
                break;
            }
        }
        // A relation starts only on a column row.
        if (!m_pDragColumn)
            m_pDragTable = nullptr;
        break;
    }
}

void CKorvoView::mouseMoveEvent(QMouseEvent* event)
{
    UpdateCursor();
    const CPoint point = DevicePoint(event);
    const int tool = CAppState::Get().m_nCurrentTool;
    if (tool == ToolPointer && m_bDragging) {
        m_ptLast = point;
        viewport()->update();
    } else if (tool == ToolRelation) {
        m_ptLast = point;
        if (m_pDragColumn)
            viewport()->update();
    }
}

void CKorvoView::DrawDragFeedback(CKorvoDC& dc)
{
    QPainter* painter = dc.Painter();
    if (!painter || !m_bDragging || m_ptLast == m_ptStart)
        return;
    const int tool = CAppState::Get().m_nCurrentTool;
    painter->save();
    painter->setClipping(false);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 0, Qt::DotLine));

    if (tool == ToolPointer) {
        if (!m_pDragTable) {
            painter->drawRect(CKorvoDC::ToQRect(CRect{m_ptStart.x, m_ptStart.y, m_ptLast.x, m_ptLast.y})
                                  .adjusted(0, 0, -1, -1));
        } else {
            const CPoint origin = GetLogScrollPosition();
            const CPoint shift = m_ptLast - m_ptStart;
            auto outline = [&](const KorvoTableView& table) {
                const CPoint tl = dc.LPtoDP(CPoint{table.m_x, table.m_y} - origin);
                const CPoint br = dc.LPtoDP(
                    CPoint{Saturate(int64_t(table.m_x) + table.m_cx), Saturate(int64_t(table.m_y) - table.m_cy)} -
                    origin);
                const CPoint a = tl + shift;
                const CPoint b = br + shift;
                painter->drawRect(CKorvoDC::ToQRect(CRect{a.x, a.y, b.x, b.y}).adjusted(0, 0, -1, -1));
            };
            if (m_pDragTable->m_bSelected) {
                for (const auto& table : GetDocument()->m_tables)
                    if (table->m_bSelected)
                        outline(*table);
            } else {
                outline(*m_pDragTable);
            }
        }
    } else if (tool == ToolRelation && m_pDragColumn) {
        painter->drawLine(m_ptStart.x, m_ptStart.y, m_ptLast.x, m_ptLast.y);
    }
    painter->restore();
}

void CKorvoView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CLogScrollView::mouseReleaseEvent(event);
        return;
    }
    const CPoint point = DevicePoint(event);
    auto dc = PrepareDC();
    bool modified = false;

    if (CAppState::Get().m_nCurrentTool == ToolRelation)
        modified = FinishRelationDrag(*dc, point);
    else if (point == m_ptStart)
        SelectByClick(*dc, point, event->modifiers() & Qt::ShiftModifier);
    else if (m_bDragging && m_pDragTable)
        modified = MoveDraggedTables(*dc, point);
    else if (m_bDragging)
        SelectByRubberBand(*dc, point);

    m_bDragging = false;
    DocumentEdited(modified);
}

bool CKorvoView::FinishRelationDrag(CKorvoDC& dc, CPoint point)
{
    CKorvoDoc* doc = GetDocument();
    const CPoint origin = GetLogScrollPosition();
    bool created = false;
    if (m_pDragColumn) {
        const CDiagramSnapshot before(*doc, {});
        for (auto& table : doc->m_tables) {
            if (table.get() == m_pDragTable)
                continue;
            CColumn* column = table->ColumnAt(dc, point, origin);
            if (!column)
                continue;
            ClearSelection(true, true);
            auto relation = std::make_unique<CRelation>(m_pDragTable, m_pDragColumn, table.get(), column);
            relation->m_bSelected = true;
            doc->AddRelation(std::move(relation));
            m_pHost->RecordChange(before, tr("Draw Relation"), &dc);
            created = true;
            break;
        }
    }
    m_pDragTable = nullptr;
    m_pDragColumn = nullptr;
    CAppState::Get().m_nCurrentTool = ToolPointer;
    UpdateCursor();
    return created;
}

void CKorvoView::SelectByClick(CKorvoDC& dc, CPoint point, bool shift)
{
    CKorvoDoc* doc = GetDocument();
    const CPoint origin = GetLogScrollPosition();
    bool relationHit = false;
    for (auto& relation : doc->m_relations) {
        if (!relationHit && RelationHitTest(dc, *relation, point, origin)) {
            relationHit = true;
            relation->m_bSelected = shift ? !relation->m_bSelected : true;
        } else if (!shift) {
            relation->m_bSelected = false;
        }
    }
    for (auto& table : doc->m_tables) {
        if (table->HitTest(dc, point, origin))
            table->m_bSelected = shift ? !table->m_bSelected : true;
        else if (!shift)
            table->m_bSelected = false;
    }
}

bool CKorvoView::MoveDraggedTables(CKorvoDC& dc, CPoint point)
{
    const CSize d{DeviceToLogicalLength(int64_t(point.x) - m_ptStart.x, dc),
                  DeviceToLogicalLength(int64_t(point.y) - m_ptStart.y, dc)};
    if (!m_pDragTable->m_bSelected) {
        ClearSelection(true, true);
        m_pDragTable->m_bSelected = true;
    }
    TableShift shift = MoveSelectedTables(*GetDocument(), d.cx, -int64_t(d.cy));
    if (!shift.Empty())
        m_pHost->PushStep(
            new CMoveTablesCommand(m_pHost, tr("Move"), std::move(shift), CMoveTablesCommand::Source::Mouse));
    return true;
}

void CKorvoView::SelectByRubberBand(CKorvoDC& dc, CPoint point)
{
    CKorvoDoc* doc = GetDocument();
    const CPoint origin = GetLogScrollPosition();
    // A table is taken only when it lies strictly inside the band, a frame
    // that touches the band's edge is not; a relation's route may touch it.
    const CRect band = CRect{m_ptStart.x, m_ptStart.y, point.x, point.y}.Normalized();
    for (auto& table : doc->m_tables) {
        const CPoint tl = dc.LPtoDP(CPoint{table->m_x, table->m_y} - origin);
        const CSize size = dc.LPtoDP(CSize{table->m_cx, table->m_cy});
        table->m_bSelected = tl.x > band.left && tl.y > band.top && int64_t(tl.x) + size.cx < band.right &&
                             int64_t(tl.y) + size.cy < band.bottom;
    }
    for (auto& relation : doc->m_relations) {
        const std::vector<CPoint> route = GetRelationRoute(dc, *relation);
        bool inside = !route.empty();
        for (const CPoint& p : route) {
            const CPoint dp = dc.LPtoDP(p - origin);
            if (dp.x < band.left || dp.x > band.right || dp.y < band.top || dp.y > band.bottom) {
                inside = false;
                break;
            }
        }
        relation->m_bSelected = inside;
    }
}

void CKorvoView::EndDragOnRemoval()
{
    if (!m_pDragTable && !m_pDragColumn)
        return;
    const CKorvoDoc* doc = GetDocument();
    bool tableThere = false;
    for (const auto& table : doc->m_tables)
        if (table.get() == m_pDragTable)
            tableThere = true;
    const bool columnThere = !m_pDragColumn || (tableThere && m_pDragTable->IndexOfColumn(m_pDragColumn) >= 0);
    if (tableThere && columnThere)
        return;
    // What was pressed on is gone: the release that follows neither moves
    // nor links anything, and no feedback is drawn for it.
    m_bDragging = false;
    m_pDragTable = nullptr;
    m_pDragColumn = nullptr;
    m_ptStart = m_ptLast = kNoPress;
}

void CKorvoView::CancelDrag()
{
    m_bDragging = false;
    m_pDragTable = nullptr;
    m_pDragColumn = nullptr;
    m_ptStart = m_ptLast = kNoPress;
    viewport()->update();
}

void CKorvoView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only the pointer tool opens properties; the other tools ignore the
    // double click, which therefore never counts as a second press.
    if (event->button() != Qt::LeftButton || CAppState::Get().m_nCurrentTool != ToolPointer)
        return;
    const CPoint point = DevicePoint(event);
    if (point == m_ptStart) {
        CKorvoDoc* doc = GetDocument();
        // By position: the dialogs may drop relations, never tables.
        for (size_t i = 0; i < doc->m_tables.size(); ++i) {
            auto dc = PrepareDC();
            KorvoTableView* table = doc->m_tables[i].get();
            if (table->HitTest(*dc, point, GetLogScrollPosition()))
                ShowTableProperties(table);
        }
        for (size_t i = 0; i < doc->m_relations.size(); ++i) {
            auto dc = PrepareDC();
            CRelation* relation = doc->m_relations[i].get();
            if (RelationHitTest(*dc, *relation, point, GetLogScrollPosition()))
                ShowRelationProperties(relation);
        }
    }
    viewport()->update();
}

bool CKorvoView::RecordChange(const CDiagramSnapshot& before, const QString& text)
{
    auto dc = PrepareDC();
    return m_pHost->RecordChange(before, text, dc.get());
}

void CKorvoView::ShowTableProperties(KorvoTableView* table)
{
    CKorvoDoc* doc = GetDocument();
    // The whole run is one step: the column operations inside it and the
    // texts copied back afterwards.
    const CDiagramSnapshot before(*doc, {doc->GetTableIndex(table)});
    CTablePropertiesDialog dialog(this, table, doc);
    CModalSeam::Get().RunDialog(dialog);
    // The texts come back whatever closed the dialog; after a Cancel they hold
    // what they held when it opened.
    const std::string name = QStringToModel(dialog.m_strName);
    const std::string check = QStringToModel(dialog.m_strCheck);
    const std::string description = QStringToModel(dialog.m_strDescription);
    const bool changed = name != table->m_def.m_strName || check != table->m_def.m_strCheck ||
                         description != table->m_def.m_strDescription;
    table->m_def.m_strName = name;
    table->m_def.m_strCheck = check;
    table->m_def.m_strDescription = description;
    RecordChange(before, tr("Table Properties"));
    // A renamed table must not be lost when the window closes.
    DocumentEdited(changed);
}

void CKorvoView::ShowColumnProperties(KorvoTableView* table, int column)
{
    CKorvoDoc* doc = GetDocument();
    CColumn* edited = CKorvoDoc::GetColumn(table, column);
    if (!edited)
        return;
    const CDiagramSnapshot before(*doc, {doc->GetTableIndex(table)});
    CColumnPropertiesDialog dialog(this, edited);
    const bool accepted = CModalSeam::Get().RunDialog(dialog) == QDialog::Accepted;
    if (accepted)
        RecordChange(before, tr("Column Properties"));
    DocumentEdited(accepted);
}

void CKorvoView::ShowRelationProperties(CRelation* relation)
{
    const CDiagramSnapshot before(*GetDocument(), {});
    CRelationPropertiesDialog dialog(this, relation, GetDocument());
    CModalSeam::Get().RunDialog(dialog);
    DocumentEdited(RecordChange(before, tr("Relation Properties")));
}

void CKorvoView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // Esc drops a drag in progress and puts a chosen tool down.
        CancelDrag();
        CAppState::Get().m_nCurrentTool = ToolPointer;
        UpdateCursor();
        emit CommandStateChanged();
        return;
    }
    CPoint offset;
    switch (event->key()) {
    case Qt::Key_Left: offset = CPoint{-1, 0}; break;
    case Qt::Key_Up: offset = CPoint{0, -1}; break;
    case Qt::Key_Right: offset = CPoint{1, 0}; break;
    case Qt::Key_Down: offset = CPoint{0, 1}; break;
    default:
        CLogScrollView::keyPressEvent(event);
        return;
    }
    auto dc = PrepareDC();
    const CPoint logical = dc->DPtoLP(offset);
    TableShift shift = MoveSelectedTables(*GetDocument(), logical.x, logical.y);
    if (!shift.Empty())
        m_pHost->PushStep(
            new CMoveTablesCommand(m_pHost, tr("Move"), std::move(shift), CMoveTablesCommand::Source::ArrowKeys));
    DocumentEdited(true);
}

void CKorvoView::contextMenuEvent(QContextMenuEvent* event)
{
    CKorvoDoc* doc = GetDocument();
    const CPoint point{event->pos().x(), event->pos().y()};
    auto dc = PrepareDC();
    const CPoint origin = GetLogScrollPosition();

    QMenu menu(this);
    for (size_t i = 0; i < doc->m_tables.size(); ++i) {
        if (doc->m_tables[i]->HitTest(*dc, point, origin)) {
            m_nContextTable = int(i);
            menu.setTitle(tr("Table"));
            menu.addAction(tr("&Delete"), this, &CKorvoView::OnTableDelete)->setObjectName(QString::number(ID_TABLE_DELETE));
            menu.addAction(tr("&Properties..."), this, &CKorvoView::OnTableProperties)->setObjectName(QString::number(ID_TABLE_PROPERTIES));
            CModalSeam::Get().PopupMenu(menu, event->globalPos());
            return;
        }
    }
    for (size_t i = 0; i < doc->m_relations.size(); ++i) {
        if (RelationHitTest(*dc, *doc->m_relations[i], point, origin)) {
            m_nContextRelation = int(i);
            menu.setTitle(tr("Relation"));
            menu.addAction(tr("&Delete"), this, &CKorvoView::OnRelationDelete)->setObjectName(QString::number(ID_RELATION_DELETE));
            menu.addAction(tr("&Properties..."), this, &CKorvoView::OnRelationProperties)->setObjectName(QString::number(ID_RELATION_PROPERTIES));
            CModalSeam::Get().PopupMenu(menu, event->globalPos());
            return;
        }
    }
}

void CKorvoView::OnEditDelete()
{
    DeleteSelection(tr("Delete"));
}

void CKorvoView::DeleteSelection(const QString& text)
{
    CKorvoDoc* doc = GetDocument();
    std::vector<int> selected;
    for (size_t i = 0; i < doc->m_tables.size(); ++i)
        if (doc->m_tables[i]->m_bSelected)
            selected.push_back(int(i));
    const CDiagramSnapshot before(*doc, selected);
    doc->RemoveSelection();
    RecordChange(before, text);
    DocumentEdited(true);
}

void CKorvoView::OnEditSelectAll()
{
    for (auto& table : GetDocument()->m_tables)
        table->m_bSelected = true;
    for (auto& relation : GetDocument()->m_relations)
        relation->m_bSelected = true;
    DocumentEdited(false);
}

// The entity a context menu was opened on; the position is forgotten, so
// each pop-up command acts once.
KorvoTableView* CKorvoView::TakeContextTable()
{
    KorvoTableView* table = GetDocument()->GetTable(m_nContextTable);
    m_nContextTable = -1;
    return table;
}

CRelation* CKorvoView::TakeContextRelation()
{
    CRelation* relation = GetDocument()->GetRelation(m_nContextRelation);
    m_nContextRelation = -1;
    return relation;
}

void CKorvoView::OnTableDelete()
{
    if (KorvoTableView* table = TakeContextTable()) {
        const CDiagramSnapshot before(*GetDocument(), {GetDocument()->GetTableIndex(table)});
        GetDocument()->RemoveTable(table);
        RecordChange(before, tr("Delete"));
        DocumentEdited(true);
    }
}

void CKorvoView::OnTableProperties()
{
    if (KorvoTableView* table = TakeContextTable())
        ShowTableProperties(table);
}

void CKorvoView::OnRelationDelete()
{
    if (CRelation* relation = TakeContextRelation()) {
        const CDiagramSnapshot before(*GetDocument(), {});
        GetDocument()->RemoveRelation(relation);
        RecordChange(before, tr("Delete"));
        DocumentEdited(true);
    }
}

void CKorvoView::OnRelationProperties()
{
    if (CRelation* relation = TakeContextRelation())
        ShowRelationProperties(relation);
}

void CKorvoView::OnTimer()
{
    if (CAppState::Get().m_nCurrentTool != ToolRelation || !m_pDragColumn)
        return;
    // The client rectangle's right and bottom edges lie one past its last
    // pixel column and row (QRect::right() is the last column itself).
    const QRect client = viewport()->rect();
    const int right = client.left() + client.width();
    const int bottom = client.top() + client.height();
    CSize step;
    if (m_ptLast.x < client.left())
        step = CSize{-m_lineDev.cx, 0};
    else if (m_ptLast.x > right)
        step = CSize{m_lineDev.cx, 0};
    else if (m_ptLast.y < client.top())
        step = CSize{0, -m_lineDev.cy};
    else if (m_ptLast.y > bottom)
        step = CSize{0, m_lineDev.cy};
    else
        return;
    if (OnScrollBy(step, true)) {
        // Keep the rubber line anchored on the source row.
        m_ptStart.x -= step.cx;
        m_ptStart.y -= step.cy;
        viewport()->repaint();
    }
}

void CKorvoView::UpdateCursor()
{
    switch (CAppState::Get().m_nCurrentTool) {
    case ToolPointer: viewport()->setCursor(Qt::ArrowCursor); break;
    case ToolTable: viewport()->setCursor(Qt::CrossCursor); break;
    default: break; // the relation tool leaves the cursor as it is
    }
}

void CKorvoView::focusInEvent(QFocusEvent* event)
{
    CLogScrollView::focusInEvent(event);
    emit CommandStateChanged();
}

bool CKorvoView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Enter)
        UpdateCursor();
    return CLogScrollView::viewportEvent(event);
}
