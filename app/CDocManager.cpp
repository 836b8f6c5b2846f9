#include "CDocManager.h"

#include "CAppState.h"
#include "CChildFrame.h"
#include "CDocumentHost.h"
#include "CKorvoApp.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CModalSeam.h"
#include "DiagramFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr const char* kFileFilter = "ERD Files (*.erd)";
constexpr const char* kDefaultSuffix = "erd";
constexpr const char* kUntitledBase = "dgm";

// One file entered two ways (relative, through a link) is one document.
QString CanonicalPath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString FromSystem(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CDocManager::CDocManager(CMainFrame* frame) : QObject(nullptr), m_pFrame(frame) {}

CDocManager::~CDocManager()
{
    // Windows still open lose their document with the manager: take them first.
    QList<CChildFrame*> frames;
    for (const auto& entry : m_entries)
        frames += entry->frames;
    for (CChildFrame* frame : frames)
        delete frame;
    m_entries.clear();
}

CDocumentHost* CDocManager::AddDocument(std::unique_ptr<CKorvoDoc> doc)
{
    auto entry = std::make_unique<Entry>();
    entry->host = std::make_unique<CDocumentHost>(std::move(doc));
    CDocumentHost* host = entry->host.get();
    connect(host, &CDocumentHost::TitleChanged, this, [this, host] { UpdateFrameTitles(host); });
    connect(host, &CDocumentHost::ModifiedChanged, this, [this, host] { UpdateFrameTitles(host); });
    m_entries.push_back(std::move(entry));
    emit DocumentsChanged();
    return host;
}

CChildFrame* CDocManager::CreateFrame(CDocumentHost* host)
{
    Entry* entry = FindEntry(host);
    if (!entry)
        return nullptr;
    auto* frame = new CChildFrame(this, host);
    entry->frames.append(frame);
    UpdateFrameTitles(host);
    m_pFrame->AddChildFrame(frame);
    frame->GetView()->OnInitialUpdate();
    return frame;
}

CDocumentHost* CDocManager::OnFileNew()
{
    CDocumentHost* host = AddDocument(std::make_unique<CKorvoDoc>());
    host->SetTitle(QString::fromLatin1(kUntitledBase) + QString::number(++m_nUntitledCount));
    CreateFrame(host);
    return host;
}

void CDocManager::OnFileOpen()
{
    CAppState& app = CAppState::Get();
    const QString path = CModalSeam::Get().GetOpenFileName(m_pFrame, QStringLiteral("Open"),
                                                           QString::fromLatin1(kFileFilter),
                                                           app.StartFolder(CAppState::Folder::Open));
    if (path.isEmpty())
        return;
    app.RememberFolder(CAppState::Folder::Open, path);
    OpenDocumentFile(path);
}

bool CDocManager::OpenDocumentFile(const QString& path)
{
    const QString canonical = CanonicalPath(path);
    if (CDocumentHost* open = FindDocument(canonical)) {
        const QList<CChildFrame*> frames = Frames(open);
        if (!frames.isEmpty())
            m_pFrame->ActivateFrame(frames.constFirst());
        return true;
    }

    CModalSeam& seam = CModalSeam::Get();
    auto doc = std::make_unique<CKorvoDoc>();
    const LoadOutcome outcome = LoadDiagramFile(QFile::encodeName(canonical).toStdString(), *doc);
    const QString text = FromSystem(outcome.text);
    const QString caption = FromSystem(outcome.caption);
    bool foreign = false;
    switch (outcome.status) {
    case LoadStatus::Loaded:
        break;
    case LoadStatus::Version1Notice:
        seam.MessageBox(m_pFrame, text, caption, QMessageBox::Warning);
        break;
    case LoadStatus::UnknownType:
    case LoadStatus::UnsupportedVersion:
        // These boxes have no owner and their own caption; the diagram still
        // opens, empty, under the file's name.
        seam.MessageBox(nullptr, text, caption, QMessageBox::NoIcon);
        doc = std::make_unique<CKorvoDoc>();
        foreign = true;
        break;
    case LoadStatus::Unexpected:
    case LoadStatus::IoError:
        // A version-1 file says it is old before it says it is broken.
        if (!outcome.notice.empty())
            seam.MessageBox(m_pFrame, FromSystem(outcome.notice), QString(), QMessageBox::Warning);
        seam.MessageBox(m_pFrame, text, caption, QMessageBox::Warning);
        return false;
    }

    doc->SetModifiedFlag(false);
    CDocumentHost* host = AddDocument(std::move(doc));
    host->SetPathName(canonical);
    FindEntry(host)->foreignFile = foreign;
    if (CKorvoApp* app = CKorvoApp::Instance())
        app->AddToRecentFileList(canonical);
    CreateFrame(host);
    return true;
}

bool CDocManager::OnFileSave(CDocumentHost* host)
{
    if (!host)
        return false;
    const Entry* entry = FindEntry(host);
    if (host->PathName().isEmpty() || (entry && entry->foreignFile))
        return OnFileSaveAs(host);
    return DoSave(host, host->PathName());
}

bool CDocManager::OnFileSaveAs(CDocumentHost* host)
{
    if (!host)
        return false;
    // A diagram not yet saved is proposed in the folder Save As last used.
    CAppState& app = CAppState::Get();
    const QString folder = app.StartFolder(CAppState::Folder::SaveAs);
    const QString name = host->Title() + QLatin1Char('.') + QLatin1String(kDefaultSuffix);
    const QString proposed =
        host->PathName().isEmpty() ? (folder.isEmpty() ? name : QDir(folder).filePath(name)) : host->PathName();
    const QString path = CModalSeam::Get().GetSaveFileName(m_pFrame, QStringLiteral("Save As"),
                                                           QString::fromLatin1(kFileFilter),
                                                           QString::fromLatin1(kDefaultSuffix), proposed);
    if (path.isEmpty())
        return false;
    app.RememberFolder(CAppState::Folder::SaveAs, path);
    return DoSave(host, path);
}

bool CDocManager::DoSave(CDocumentHost* host, const QString& path)
{
    const FileResult result = SaveDiagramFile(QFile::encodeName(path).toStdString(), *host->GetDocument());
    if (!result.ok) {
        // The file on disk is untouched and the changes are still only here.
        KorvoMessageBox(m_pFrame, FromSystem(result.message), QMessageBox::Warning);
        return false;
    }
    const QString canonical = CanonicalPath(path);
    if (Entry* entry = FindEntry(host))
        entry->foreignFile = false;
    host->SetPathName(canonical);
    host->SetModifiedFlag(false);
    if (CKorvoApp* app = CKorvoApp::Instance())
        app->AddToRecentFileList(canonical);
    return true;
}

bool CDocManager::SaveModified(CDocumentHost* host)
{
    if (!host || !host->IsModified())
        return true;
    const QString prompt = QStringLiteral("Save changes to %1?").arg(host->Title());
    switch (CModalSeam::Get().MessageBox(m_pFrame, prompt, QString(), QMessageBox::Question,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                         QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return OnFileSave(host);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool CDocManager::SaveAllModified()
{
    for (CDocumentHost* host : Documents())
        if (!SaveModified(host))
            return false;
    return true;
}

bool CDocManager::OnFileClose(CDocumentHost* host)
{
    Entry* entry = FindEntry(host);
    if (!entry || !SaveModified(host))
        return false;
    entry->closing = true;
    const QList<CChildFrame*> frames = entry->frames;
    for (CChildFrame* frame : frames)
        frame->close();
    return true;
}

void CDocManager::CloseAllDocuments()
{
    for (CDocumentHost* host : Documents()) {
        if (Entry* entry = FindEntry(host)) {
            entry->closing = true;
            const QList<CChildFrame*> frames = entry->frames;
            for (CChildFrame* frame : frames)
                frame->close();
        }
    }
}

CChildFrame* CDocManager::OnWindowNew(CDocumentHost* host)
{
    return host ? CreateFrame(host) : nullptr;
}

QList<CDocumentHost*> CDocManager::Documents() const
{
    QList<CDocumentHost*> hosts;
    for (const auto& entry : m_entries)
        hosts.append(entry->host.get());
    return hosts;
}

QList<CChildFrame*> CDocManager::Frames(const CDocumentHost* host) const
{
    const Entry* entry = FindEntry(host);
    return entry ? entry->frames : QList<CChildFrame*>();
}

CDocumentHost* CDocManager::FindDocument(const QString& path) const
{
    const QString canonical = CanonicalPath(path);
    for (const auto& entry : m_entries) {
        const QString own = entry->host->PathName();
        if (!own.isEmpty() && CanonicalPath(own) == canonical)
            return entry->host.get();
    }
    return nullptr;
}

bool CDocManager::CanCloseFrame(CChildFrame* frame)
{
    const Entry* entry = FindEntry(frame);
    if (!entry || entry->closing || entry->frames.size() > 1)
        return true;
    return SaveModified(entry->host.get());
}

void CDocManager::OnFrameClosed(CChildFrame* frame)
{
    RemoveFrame(frame, false);
}

void CDocManager::OnFrameDestroyed(CChildFrame* frame)
{
    RemoveFrame(frame, true);
}

void CDocManager::RemoveFrame(CChildFrame* frame, bool destroying)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [frame](const auto& entry) { return entry->frames.contains(frame); });
    if (it == m_entries.end())
        return;
    Entry& entry = **it;
    entry.frames.removeAll(frame);
    if (!entry.frames.isEmpty()) {
        UpdateFrameTitles(entry.host.get());
        return;
    }
    // The last window of the document is gone. A window that has only closed
    // is deleted a little later and its view still points at the document,
    // so the document goes with that window.
    std::unique_ptr<CDocumentHost> host = std::move(entry.host);
    m_entries.erase(it);
    host->disconnect(this);
    if (!destroying)
        host.release()->setParent(frame);
    emit DocumentsChanged();
}

CDocManager::Entry* CDocManager::FindEntry(const CDocumentHost* host) const
{
    for (const auto& entry : m_entries)
        if (entry->host.get() == host)
            return entry.get();
    return nullptr;
}

CDocManager::Entry* CDocManager::FindEntry(const CChildFrame* frame) const
{
    for (const auto& entry : m_entries)
        if (entry->frames.contains(const_cast<CChildFrame*>(frame)))
            return entry.get();
    return nullptr;
}

void CDocManager::UpdateFrameTitles(CDocumentHost* host)
{
    const Entry* entry = FindEntry(host);
    if (!entry)
        return;
    const qsizetype count = entry->frames.size();
    for (qsizetype i = 0; i < count; ++i) {
        CChildFrame* frame = entry->frames.at(i);
        QString title = host->Title();
        if (count > 1)
            title += QLatin1Char(':') + QString::number(i + 1);
        frame->setWindowTitle(title + QStringLiteral("[*]"));
        frame->setWindowModified(host->IsModified());
    }
    if (m_pFrame)
        m_pFrame->UpdateFrameTitle();
}
