#pragma once

#include "CDiagramRenderer.h"
#include "CLogScrollView.h"
#include "Geometry.h"

#include <QFont>
#include <QTimer>

#include <memory>
#include <optional>

enum class SqlDialect;
class CColumn;
class CDiagramSnapshot;
class CDocumentHost;
class CKorvoDoc;
class CRelation;
class KorvoTableView;
class QMenu;
class QPrinter;
struct PlacedMerge;
struct SchemaDescription;

// The diagram window of a document: paints the canvas, turns mouse and keys
// into edits with the application's current tool, prints, and carries the
// diagram commands (delete, clipboard, options, font, importing scripts and
// databases, SQL export).
class CKorvoView : public CLogScrollView, public CDiagramRenderer {
    Q_OBJECT
public:
    explicit CKorvoView(CDocumentHost* host, QWidget* parent = nullptr);
    ~CKorvoView() override;

    CKorvoDoc* GetDocument() const;
    CDocumentHost* GetDocumentHost() const { return m_pHost; }

    // Sizes the canvas from the document's page counts and the page settings.
    void OnInitialUpdate();
    // The canvas mapping of this window, then the diagram font.
    void OnPrepareDC(CKorvoDC& dc) override;
    // Forgets the cached drawing font so the next preparation rebuilds it.
    void ResetFont();

    // Zoom, in percent of actual size: from kMinZoom to kMaxZoom.
    static constexpr int kMinZoom = 10;
    static constexpr int kMaxZoom = 400;
    // The next of the steps Zoom In, Zoom Out and the wheel go through, above
    // (direction > 0) or below zoom; zoom itself at either end.
    static int NextZoomStep(int zoom, int direction);
    // Zooms to percent (brought into range), keeping the canvas point under
    // anchor, a viewport position, where it is on screen.
    void ZoomTo(int percent, QPoint anchor);
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomActualSize();
    // The zoom at which every table fits the window, the tables centred.
    void OnZoomFit();
    // Edit > Find Table: the table chosen in the type-ahead list is centred
    // in the window and becomes the only selection.
    void OnEditFind();
    // Scrolls table to the middle of the window (its top at the top when it
    // is taller than the window) and selects it alone.
    void ShowTable(KorvoTableView* table);

    // Printing.
    int OnPreparePrinting() const;
    // Prints the pages the printer's range lists (all pages when none is set),
    // each drawn as CDiagramImage::PrintPages draws it. A diagram too large to
    // print, or a printer that cannot start, shows a message and gives false.
    bool PrintTo(QPrinter& printer);
    void SetUpPrinter(QPrinter& printer) const;

    // Commands.
    bool HasSelection() const;
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnEditDelete();
    void OnEditSelectAll();
    void OnTableDelete();
    void OnTableProperties();
    void OnRelationDelete();
    void OnRelationProperties();
    // Column Properties on one column of a table, as one undoable step.
    void ShowColumnProperties(KorvoTableView* table, int column);
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    bool CanPaste() const;
    void OnDiagramOptions();
    void OnDiagramFont();
    void OnImportSQL();
    void OnImportDatabase();
    void OnExportSQL();
    void OnExportImage();
    // Arrange Tables: every table, or the selected ones, as one step.
    void OnArrangeTables();
    // ShowTable for the table at index; false when there is no such table.
    bool RevealTable(int index);

    // Marks the document modified (when asked) and repaints every view of it.
    void DocumentEdited(bool modified);
    // Timer 101: scrolls while a relation is dragged past the window's edge.
    void OnTimer();
    // Ends a drag in progress without changing anything (Esc, and undo or
    // redo, which may rebuild what the drag points at).
    void CancelDrag();

    CPoint m_ptStart;
    CPoint m_ptLast;
    bool m_bDragging = false;
    KorvoTableView* m_pDragTable = nullptr;
    CColumn* m_pDragColumn = nullptr;
    CRect m_rectCanvas;
    int m_nContextTable = -1;
    int m_nContextRelation = -1;
    std::unique_ptr<QFont> m_pFont;
    QTimer m_timerAutoScroll; // timer 101: 125 ms while the window lives

signals:
    // The selection, the tool, the zoom or the document changed: command
    // states and the zoom shown may have to be refreshed.
    void CommandStateChanged();

protected:
    void OnDraw(CKorvoDC& dc) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    // Ctrl+wheel zooms around the pointer; the plain wheel scrolls.
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // Shows why the diagram cannot be printed, before any dialog; true then.
    bool RefusePrinting();
    // Writes the diagram's script in the dialect to path; tells why it could
    // not, or what the script could not carry exactly.
    void ExportSqlScript(const QString& path, SqlDialect dialect);
    // A measuring surface for event handling, prepared like a paint surface.
    std::unique_ptr<CKorvoDC> PrepareDC();
    void UpdateCursor();
    void ShowTableProperties(KorvoTableView* table);
    void ShowRelationProperties(CRelation* relation);
    // Records what changed since before as one step, measuring as painting does.
    bool RecordChange(const CDiagramSnapshot& before, const QString& text);
    // Merges a description read whole, places its new tables and records it
    // all as one step named stepName.
    PlacedMerge MergeAsOneStep(const SchemaDescription& description, const QString& stepName);
    // Delete and Cut: the selected relations, then the selected tables.
    void DeleteSelection(const QString& text);
    // Where a paste puts the group's top-left corner: the logical point under
    // the mouse when the mouse is over this window's canvas.
    std::optional<CPoint> PastePoint();
    void DrawDragFeedback(CKorvoDC& dc);
    // The steps of a left-button release: a relation drag ends (true when a
    // relation was made), a click selects, a drag moves (true) or a rubber
    // band selects.
    bool FinishRelationDrag(CKorvoDC& dc, CPoint point);
    void SelectByClick(CKorvoDC& dc, CPoint point, bool shift);
    bool MoveDraggedTables(CKorvoDC& dc, CPoint point);
    void SelectByRubberBand(CKorvoDC& dc, CPoint point);
    // Ends a drag whose table or column an edit has removed.
    void EndDragOnRemoval();
    void ClearSelection(bool tables, bool relations);
    // Scrolls the logical point to the middle of the window, as far as the
    // canvas allows.
    void CentreOn(CPoint logical);
    KorvoTableView* TakeContextTable();
    CRelation* TakeContextRelation();

    CDocumentHost* m_pHost;
    // Wheel turns not yet worth a zoom step (a notch is 120).
    int m_nWheelDelta = 0;
};
