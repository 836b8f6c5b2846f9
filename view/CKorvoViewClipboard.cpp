// Cut, copy and paste of tables and the relations between them, through the
// private clipboard format.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "ClipboardPayload.h"

#include <QClipboard>
#include <QGuiApplication>
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
    OnEditDelete();
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
    const PasteOutcome outcome =
        PasteClipboardPayload(*GetDocument(), data.constData(), size_t(data.size()), GetLogScrollPosition());
    if (!outcome.ok) {
        KorvoMessageBox(this, QString::fromLatin1(outcome.message.c_str()), QMessageBox::Warning);
        return;
    }
    DocumentEdited(outcome.tablesAdded > 0 || outcome.relationsAdded > 0);
}
