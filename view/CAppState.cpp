#include "CAppState.h"

#include <QDir>
#include <QFileInfo>

namespace {
CAppState g_defaultState;
CAppState* g_state = &g_defaultState;
}

CAppState& CAppState::Get()
{
    return *g_state;
}

void CAppState::Install(CAppState* state)
{
    g_state = state ? state : &g_defaultState;
}

bool CAppState::IsPaperUsable(CSize paper)
{
    return paper.cx >= kMinPaper && paper.cx <= kMaxPaper && paper.cy >= kMinPaper && paper.cy <= kMaxPaper;
}

bool CAppState::AreMarginsUsable(CSize paper, const CRect& margins)
{
    if (margins.left < 0 || margins.top < 0 || margins.right < 0 || margins.bottom < 0)
        return false;
    return int64_t(paper.cx) - margins.left - margins.right >= kMinPrintable &&
           int64_t(paper.cy) - margins.top - margins.bottom >= kMinPrintable;
}

void CAppState::ValidatePageSettings()
{
    const CAppState defaults;
    if (!IsPaperUsable(m_sizePage))
        m_sizePage = defaults.m_sizePage;
    if (!AreMarginsUsable(m_sizePage, m_rectMargins))
        m_rectMargins = defaults.m_rectMargins;
    // A small paper that even the default margins fill.
    if (!AreMarginsUsable(m_sizePage, m_rectMargins))
        m_sizePage = defaults.m_sizePage;
}

const char* CAppState::FolderKey(Folder folder)
{
    switch (folder) {
    case Folder::Open: return "Open";
    case Folder::SaveAs: return "Save As";
    case Folder::ImportSql: return "Import SQL";
    case Folder::ExportSql: return "Export SQL";
    }
    return "";
}

QString CAppState::StartFolder(Folder folder) const
{
    const QString& path = m_folders[int(folder)];
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QString();
    return path;
}

void CAppState::RememberFolder(Folder folder, const QString& chosenFile)
{
    if (!chosenFile.isEmpty())
        m_folders[int(folder)] = QFileInfo(chosenFile).absolutePath();
}
