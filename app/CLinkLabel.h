#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>

#include <functional>

// A static text that looks and acts like a web link: link, visited and hover
// colours, underlined while the mouse is over it (or always, or never), a
// hand cursor, the address as its tooltip, and a click that opens the address
// in the user's browser and reports a failure.
class CLinkLabel : public QLabel {
    Q_OBJECT
public:
    // Opens an address; the shell's convention: above 32 is success.
    using Opener = std::function<int(const QString& address)>;

    explicit CLinkLabel(QWidget* parent = nullptr);
    ~CLinkLabel() override;

    // Takes the control over: the address from the text (or the text from
    // the address), the fonts, the size, the cursor and the tooltip.
    void TakeOver();

    void SetURL(const QString& address);
    QString GetURL() const { return m_strURL; }
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover = QColor());
    QColor GetLinkColour() const { return m_crLinkColour; }
    QColor GetVisitedColour() const { return m_crVisitedColour; }
    QColor GetHoverColour() const { return m_crHoverColour; }
    void SetVisited(bool visited = true);
    bool GetVisited() const { return m_bVisited; }
    // 1: always underlined; 0: never; -1: only while the mouse is over it.
    void SetUnderline(int mode);
    int GetUnderline() const { return m_nUnderline; }
    void SetAutoSize(bool adjustToFit = true) { m_bAdjustToFit = adjustToFit; }
    void SetOpener(Opener opener) { m_opener = std::move(opener); }

    bool IsOverControl() const { return m_bOverControl; }
    // The colour the text is drawn in now.
    QColor CurrentColour() const;
    const QTimer& LeaveTimer() const { return m_timer; }

    // Timer 100: once the mouse is outside, the link looks plain again.
    void OnTimer();
    // Opens the address; visited on success, the error report otherwise.
    void OnClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void AdjustToFit();

    QColor m_crLinkColour{0, 0, 238};
    QColor m_crVisitedColour{85, 26, 139};
    QColor m_crHoverColour{255, 0, 0};
    bool m_bOverControl = false;
    bool m_bVisited = false;
    int m_nUnderline = -1;
    bool m_bAdjustToFit = true;
    QString m_strURL;
    QFont m_UnderlineFont;
    QFont m_StdFont;
    QTimer m_timer; // timer 100
    Opener m_opener;
};
