// Cut, copy and paste of tables and the relations between them, through the
// private clipboard format.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CDiagramSnapshot.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "ClipboardPayload.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMimeData>

void CKorvoView::OnEditCopy()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        KorvoMessageBox(this, tr("Cannot open the Clipboard"));
        return;
    }
    const QString format = CAppState::Get().m_nClipboardFormat;
    const std::string payload = BuildClipboardPayload(*GetDocument());
    auto* mime = new QMimeData;
    mime->setData(format, QByteArray(payload.data(), qsizetype(payload.size())));
    clipboard->setMimeData(mime);
    const QMimeData* offered = clipboard->mimeData();
    if (!offered || !offered->hasFormat(format))
        KorvoMessageBox(this, tr("Unable to set Clipboard data"));
    emit CommandStateChanged();
}

void CKorvoView::OnEditCut()
{
    OnEditCopy();
    DeleteSelection(tr("Cut"));
}

bool CKorvoView::CanPaste() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    return mime && mime->hasFormat(CAppState::Get().m_nClipboardFormat);
}

void CKorvoView::OnEditPaste()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        KorvoMessageBox(this, tr("Cannot open the Clipboard"));
        return;
    }
    const QMimeData* mime = clipboard->mimeData();
    const QString format = CAppState::Get().m_nClipboardFormat;
    if (!mime || !mime->hasFormat(format))
        return;
    const QByteArray data = mime->data(format);
    if (data.isEmpty())
        return;
    const CDiagramSnapshot before(*GetDocument(), {});
    // At the mouse when it points into this window's canvas (Ctrl+V there);
    // otherwise (the menu, the toolbar) beside the copied tables.
    const std::optional<CPoint> at = PastePoint();
    const PasteOutcome outcome =
        at ? PasteClipboardPayload(*GetDocument(), data.constData(), size_t(data.size()), *at)
           : PasteClipboardPayloadBeside(*GetDocument(), data.constData(), size_t(data.size()));
    if (!outcome.ok) {
        KorvoMessageBox(this, QString::fromLatin1(outcome.message.c_str()), QMessageBox::Warning);
        return;
    }
    RecordChange(before, tr("Paste"));
    DocumentEdited(outcome.tablesAdded > 0 || outcome.relationsAdded > 0);
}

std::optional<CPoint> CKorvoView::PastePoint()
{
    const QPoint global = QCursor::pos();
    // The window on top at that point, not another one over this canvas.
    if (!viewport()->isVisible() || QApplication::widgetAt(global) != viewport())
        return std::nullopt;
    const QPoint local = viewport()->mapFromGlobal(global);
    auto dc = PrepareDC();
    return dc->DPtoLP(CPoint{local.x(), local.y()}) + GetLogScrollPosition();
}
