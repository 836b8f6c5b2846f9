#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CChildFrame;
class CDocumentHost;
class CKorvoDoc;
class CMainFrame;

// Keeps the open diagrams and their windows: New, Open, Save, Save As and
// Close, the question before unsaved changes are lost, the untitled names
// dgm1, dgm2, ... and the window titles "dgm1:1", "dgm1:2" of a document shown
// in more than one window. The main frame only hosts the windows it makes.
class CDocManager : public QObject {
    Q_OBJECT
public:
    explicit CDocManager(CMainFrame* frame);
    ~CDocManager() override;

    // A new empty diagram in a new window.
    CDocumentHost* OnFileNew();
    // Asks for a file and opens it.
    void OnFileOpen();
    // Opens path (or activates its window when it is open already); false
    // when no document shows it afterwards. Messages go through the seam.
    bool OpenDocumentFile(const QString& path);
    // Saves under the document's path, or asks for one; false when the file
    // was not written (the document then stays modified).
    bool OnFileSave(CDocumentHost* host);
    bool OnFileSaveAs(CDocumentHost* host);
    bool DoSave(CDocumentHost* host, const QString& path);
    // Closes every window of the document after asking about unsaved
    // changes; false when the user kept it open.
    bool OnFileClose(CDocumentHost* host);
    // Another window on the document of host.
    CChildFrame* OnWindowNew(CDocumentHost* host);

    // "Save changes to <title>?": true when the document may be discarded.
    bool SaveModified(CDocumentHost* host);
    // Asks for every modified document in turn; false on the first Cancel.
    bool SaveAllModified();
    // Closes every window without asking.
    void CloseAllDocuments();

    QList<CDocumentHost*> Documents() const;
    QList<CChildFrame*> Frames(const CDocumentHost* host) const;
    // The open document whose file is path, or null.
    CDocumentHost* FindDocument(const QString& path) const;

    // Called by CChildFrame: before it closes, once it has closed, and when
    // it is destroyed.
    bool CanCloseFrame(CChildFrame* frame);
    void OnFrameClosed(CChildFrame* frame);
    void OnFrameDestroyed(CChildFrame* frame);

signals:
    // A document was opened or closed.
    void DocumentsChanged();

private:
    struct Entry {
        std::unique_ptr<CDocumentHost> host;
        QList<CChildFrame*> frames;
        bool closing = false;
        // Opened from a file this program could not read: Save asks for a
        // name rather than replace that file with an empty diagram.
        bool foreignFile = false;
    };

    CDocumentHost* AddDocument(std::unique_ptr<CKorvoDoc> doc);
    CChildFrame* CreateFrame(CDocumentHost* host);
    Entry* FindEntry(const CDocumentHost* host) const;
    Entry* FindEntry(const CChildFrame* frame) const;
    void RemoveFrame(CChildFrame* frame, bool destroying);
    void UpdateFrameTitles(CDocumentHost* host);

    CMainFrame* m_pFrame;
    std::vector<std::unique_ptr<Entry>> m_entries;
    int m_nUntitledCount = 0;
};
