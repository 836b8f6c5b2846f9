#include "CDocumentHost.h"

#include <QFileInfo>

CDocumentHost::CDocumentHost(std::unique_ptr<CKorvoDoc> doc, QObject* parent)
    : QObject(parent), m_pDoc(std::move(doc))
{
}

CDocumentHost::~CDocumentHost() = default;

void CDocumentHost::SetPathName(const QString& path)
{
    m_strPath = path;
    SetTitle(QFileInfo(path).fileName());
}

void CDocumentHost::SetTitle(const QString& title)
{
    if (m_strTitle == title)
        return;
    m_strTitle = title;
    emit TitleChanged();
}

void CDocumentHost::SetModifiedFlag(bool modified)
{
    // The flag may already have been set by a document operation (removals
    // mark it themselves), so always tell the frames.
    m_pDoc->SetModifiedFlag(modified);
    emit ModifiedChanged(modified);
}

void CDocumentHost::UpdateAllViews()
{
    emit DocumentChanged();
}
