#pragma once

#include "CKorvoDoc.h"

#include <QObject>
#include <QString>

#include <memory>

// Holds one open diagram for the windows that show it: the document itself,
// its file path and title, and the signals that keep every view of it and
// the frame's title current after an edit.
class CDocumentHost : public QObject {
    Q_OBJECT
public:
    explicit CDocumentHost(std::unique_ptr<CKorvoDoc> doc, QObject* parent = nullptr);
    ~CDocumentHost() override;

    CKorvoDoc* GetDocument() const { return m_pDoc.get(); }

    QString PathName() const { return m_strPath; }
    void SetPathName(const QString& path);
    // "dgm1" for a new diagram, the file name for an opened one.
    QString Title() const { return m_strTitle; }
    void SetTitle(const QString& title);

    bool IsModified() const { return m_pDoc->IsModified(); }
    // Sets or clears the document's flag and tells the frames.
    void SetModifiedFlag(bool modified = true);
    // Repaints every view of the document and refreshes command states.
    void UpdateAllViews();

signals:
    void ModifiedChanged(bool modified);
    void TitleChanged();
    void DocumentChanged();
    // The page counts or the diagram font changed: every view sizes its
    // canvas and builds its drawing font again.
    void DiagramSettingsChanged();

private:
    std::unique_ptr<CKorvoDoc> m_pDoc;
    QString m_strPath;
    QString m_strTitle;
};
