#pragma once

#include <QMdiSubWindow>

class CDocManager;
class CDocumentHost;
class CKorvoView;

// The frame of one document window inside the main window: holds one
// CKorvoView and asks the document manager before it closes.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CDocManager* manager, CDocumentHost* host, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CKorvoView* GetView() const { return m_pView; }
    CDocumentHost* GetDocumentHost() const { return m_pHost; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CDocManager* m_pManager;
    CDocumentHost* m_pHost;
    CKorvoView* m_pView;
};
