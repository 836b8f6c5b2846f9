#include "CLinkLabel.h"

#include "CModalSeam.h"
#include "LinkOpening.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

CLinkLabel::CLinkLabel(QWidget* parent) : QLabel(parent), m_opener(&LinkOpening::OpenAddress)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &CLinkLabel::OnTimer);
}

CLinkLabel::~CLinkLabel()
{
    m_timer.stop();
}

void CLinkLabel::TakeOver()
{
    setMouseTracking(true);
    if (m_strURL.isEmpty())
        m_strURL = text();
    if (text().isEmpty())
        setText(m_strURL);

    m_StdFont = font();
    m_StdFont.setUnderline(false);
    m_UnderlineFont = m_StdFont;
    m_UnderlineFont.setUnderline(true);

    if (m_bAdjustToFit)
        AdjustToFit();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_strURL);
}

void CLinkLabel::SetURL(const QString& address)
{
    m_strURL = address;
    setToolTip(address);
}

void CLinkLabel::SetColours(const QColor& link, const QColor& visited, const QColor& hover)
{
    m_crLinkColour = link;
    m_crVisitedColour = visited;
    // Without a hover colour of its own the link takes the highlight colour.
    m_crHoverColour = hover.isValid() ? hover : palette().color(QPalette::Highlight);
    update();
}

void CLinkLabel::SetVisited(bool visited)
{
    m_bVisited = visited;
    update();
}

void CLinkLabel::SetUnderline(int mode)
{
    if (m_nUnderline == mode)
        return;
    m_nUnderline = mode;
    setFont(mode == 1 ? m_UnderlineFont : m_StdFont);
    update();
}

QColor CLinkLabel::CurrentColour() const
{
    if (m_bOverControl)
        return m_crHoverColour;
    return m_bVisited ? m_crVisitedColour : m_crLinkColour;
}

void CLinkLabel::AdjustToFit()
{
    const QSize text = QFontMetrics(m_UnderlineFont).size(Qt::TextSingleLine, QLabel::text());
    const QRect old = geometry();
    const QSize borders = size() - contentsRect().size();
    const QSize wanted = text + borders;

    QRect rect(old.topLeft(), wanted);
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter)
        rect.moveTop(old.top() + (old.height() - wanted.height()) / 2);
    if (align & Qt::AlignHCenter)
        rect.moveLeft(old.left() + (old.width() - wanted.width()) / 2);
    else if (align & Qt::AlignRight)
        rect.moveRight(old.right());
    setGeometry(rect);
}

void CLinkLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setFont(font());
    painter.setPen(CurrentColour());
    painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bOverControl) {
        m_bOverControl = true;
        if (m_nUnderline == -1)
            setFont(m_UnderlineFont);
        update();
        m_timer.start();
    }
    QLabel::mouseMoveEvent(event);
}

void CLinkLabel::OnTimer()
{
    const QPoint pos = mapFromGlobal(QCursor::pos());
    if (!rect().contains(pos)) {
        m_bOverControl = false;
        m_timer.stop();
        if (m_nUnderline != 1)
            setFont(m_StdFont);
        update();
    }
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OnClicked();
    QLabel::mouseReleaseEvent(event);
}

void CLinkLabel::OnClicked()
{
    m_bOverControl = false;
    const int result = m_opener ? m_opener(m_strURL) : LinkOpening::kNoAssociation;
    if (result > 32) {
        SetVisited(true);
        return;
    }
    update();
    QApplication::beep();
    CModalSeam::Get().MessageBox(window(), LinkOpening::ErrorReport(result), QString(), QMessageBox::Warning,
                                 QMessageBox::Ok);
}

void CLinkLabel::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QLabel::hideEvent(event);
}
