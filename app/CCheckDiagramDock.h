#pragma once

#include <QDockWidget>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <optional>

class CDocumentHost;
class CKorvoView;
class CProblemListModel;
class QComboBox;
class QLabel;
class QListView;
class QModelIndex;
class QPushButton;
enum class SqlDialect;

// The Check Diagram dock of the main window: every problem of the active
// window's diagram, errors and warnings with their texts, checked again on
// demand and, while the dock shows, shortly after the diagram changes or
// another diagram's window becomes active. A problem double-clicked (or
// Enter) selects its table alone in that window and scrolls it to the middle.
// The names can be judged for one database's script as well.
class CCheckDiagramDock : public QDockWidget {
    Q_OBJECT
public:
    explicit CCheckDiagramDock(QWidget* parent = nullptr);
    ~CCheckDiagramDock() override;

    // The window whose diagram the dock lists; null when none is open.
    void SetView(CKorvoView* view);
    // Checks the diagram now.
    void Refresh();

    // The dialect whose names are judged; none for no name check.
    std::optional<SqlDialect> Dialect() const;

    // How long after a change the list follows, in milliseconds: a run of
    // edits (arrow keys held down) is checked once.
    static constexpr int kRefreshDelay = 150;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ScheduleRefresh();
    void OnActivated(const QModelIndex& index);

    QPointer<CKorvoView> m_pView;
    QPointer<CDocumentHost> m_pHost;
    QList<QMetaObject::Connection> m_connections;
    QComboBox* m_pDialect = nullptr;
    QPushButton* m_pCheckAgain = nullptr;
    QListView* m_pList = nullptr;
    CProblemListModel* m_pModel = nullptr;
    QLabel* m_pSummary = nullptr;
    QTimer m_refreshTimer;
};
