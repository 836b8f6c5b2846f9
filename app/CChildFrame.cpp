#include "CChildFrame.h"

#include "CDocManager.h"
#include "CKorvoView.h"

#include <QCloseEvent>
#include <QIcon>

CChildFrame::CChildFrame(CDocManager* manager, CDocumentHost* host, QWidget* parent)
    : QMdiSubWindow(parent), m_pManager(manager), m_pHost(host), m_pView(new CKorvoView(host))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/document.svg")));
    setWidget(m_pView);
}

CChildFrame::~CChildFrame()
{
    // The view goes before the manager may release the document it shows.
    delete m_pView;
    m_pView = nullptr;
    m_pManager->OnFrameDestroyed(this);
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_pManager->CanCloseFrame(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted())
        m_pManager->OnFrameClosed(this);
}
