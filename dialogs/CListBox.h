#pragma once

#include <QList>
#include <QListWidget>
#include <QString>

class QFontMetrics;

// A single-selection list box addressed by line index, with optional tab
// stops: a line "name\ttype" keeps its text and shows the part after each tab
// at the next stop, as a list box that uses tab stops does.
class CListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CListBox(QWidget* parent = nullptr);

    // The selected line, or -1.
    int GetCurSel() const;
    // Selects one line; -1 leaves no line selected.
    void SetCurSel(int index);
    int GetCount() const { return count(); }
    QString GetText(int index) const;
    int AddString(const QString& text);
    void DeleteString(int index);
    void ResetContent();

    // Tab stops every stopPixels pixels; 0 draws the text unexpanded.
    void SetTabStops(int stopPixels);
    int TabStops() const { return m_nTabStop; }

    // Left offsets of the tab-separated parts of text, in pixels from the
    // start of the line: each part after a tab starts at the first stop past
    // the end of the previous part.
    static QList<int> SegmentOffsets(const QString& text, const QFontMetrics& metrics, int stopPixels);

private:
    int m_nTabStop = 0;
};
