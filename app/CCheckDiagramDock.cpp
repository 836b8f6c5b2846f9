#include "CCheckDiagramDock.h"

#include "CDocumentHost.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "DiagramCheck.h"
#include "ModelText.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

// The problems of one check as the dock's list shows them: an error or a
// warning icon and the problem's text, which names the table and column.
class CProblemListModel : public QAbstractListModel {
public:
    explicit CProblemListModel(QObject* parent, const QIcon& error, const QIcon& warning)
        : QAbstractListModel(parent), m_error(error), m_warning(warning)
    {
    }

    // The problems of a check of doc, each with the name its table had then.
    void SetProblems(std::vector<DiagramProblem> problems, const CKorvoDoc* doc)
    {
        beginResetModel();
        m_problems = std::move(problems);
        m_names.clear();
        m_names.reserve(m_problems.size());
        for (const DiagramProblem& problem : m_problems) {
            const KorvoTableView* table = doc ? doc->GetTable(problem.table) : nullptr;
            m_names.push_back(table ? table->m_def.m_strName : std::string());
        }
        endResetModel();
    }

    const DiagramProblem* Problem(int row) const
    {
        return row >= 0 && size_t(row) < m_problems.size() ? &m_problems[size_t(row)] : nullptr;
    }
    const std::string& TableName(int row) const { return m_names[size_t(row)]; }
    int Count(ProblemSeverity severity) const
    {
        return int(std::count_if(m_problems.begin(), m_problems.end(),
                                 [severity](const DiagramProblem& p) { return p.severity == severity; }));
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_problems.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const DiagramProblem* problem = Problem(index.row());
        if (!problem)
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return ModelToQString(problem->text);
        case Qt::DecorationRole:
            return problem->severity == ProblemSeverity::Error ? m_error : m_warning;
        default:
            return {};
        }
    }

private:
    std::vector<DiagramProblem> m_problems;
    std::vector<std::string> m_names;
    QIcon m_error;
    QIcon m_warning;
};

namespace {

// The dialects whose names the dock can judge, after "None".
constexpr SqlDialect kNameDialects[] = {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite,
                                        SqlDialect::SqlServer};

QString Counted(int count, const char* one, const char* many)
{
    return count == 1 ? QObject::tr(one) : QObject::tr(many).arg(count);
}

} // namespace

CCheckDiagramDock::CCheckDiagramDock(QWidget* parent) : QDockWidget(tr("Check Diagram"), parent)
{
    setObjectName(QStringLiteral("CheckDiagramDock"));

    auto* body = new QWidget(this);
    auto* names = new QLabel(tr("&Names for:"), body);
    m_pDialect = new QComboBox(body);
    m_pDialect->setObjectName(QStringLiteral("NameDialect"));
    m_pDialect->addItem(tr("None"));
    for (SqlDialect dialect : kNameDialects)
        m_pDialect->addItem(ModelToQString(DialectDisplayName(dialect)), int(dialect));
    names->setBuddy(m_pDialect);
    m_pSummary = new QLabel(body);
    m_pSummary->setObjectName(QStringLiteral("ProblemSummary"));
    m_pCheckAgain = new QPushButton(tr("Check &Again"), body);
    m_pCheckAgain->setObjectName(QStringLiteral("CheckAgain"));

    m_pModel = new CProblemListModel(this, style()->standardIcon(QStyle::SP_MessageBoxCritical),
                                     style()->standardIcon(QStyle::SP_MessageBoxWarning));
    m_pList = new QListView(body);
    m_pList->setObjectName(QStringLiteral("ProblemList"));
    m_pList->setModel(m_pModel);
    m_pList->setUniformItemSizes(true);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setIconSize(QSize(16, 16));

    auto* bar = new QHBoxLayout;
    bar->addWidget(names);
    bar->addWidget(m_pDialect);
    bar->addSpacing(12);
    bar->addWidget(m_pSummary, 1);
    bar->addWidget(m_pCheckAgain);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_pList);
    setWidget(body);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshDelay);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CCheckDiagramDock::Refresh);
    connect(m_pDialect, &QComboBox::currentIndexChanged, this, &CCheckDiagramDock::Refresh);
    connect(m_pCheckAgain, &QPushButton::clicked, this, &CCheckDiagramDock::Refresh);
    connect(m_pList, &QListView::activated, this, &CCheckDiagramDock::OnActivated);
    Refresh();
}

CCheckDiagramDock::~CCheckDiagramDock() = default;

void CCheckDiagramDock::SetView(CKorvoView* view)
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_pView = view;
    m_pHost = view ? view->GetDocumentHost() : nullptr;
    // Every edit, undo and redo ends by telling the diagram's windows.
    if (m_pHost)
        m_connections.append(
            connect(m_pHost, &CDocumentHost::DocumentChanged, this, &CCheckDiagramDock::ScheduleRefresh));
    if (isVisible())
        Refresh();
}

std::optional<SqlDialect> CCheckDiagramDock::Dialect() const
{
    const QVariant chosen = m_pDialect->currentData();
    if (!chosen.isValid())
        return std::nullopt;
    return static_cast<SqlDialect>(chosen.toInt());
}

void CCheckDiagramDock::Refresh()
{
    m_refreshTimer.stop();
    // The problem looked at stays the current one when it is still there.
    const QModelIndex current = m_pList->currentIndex();
    const QString currentText = current.isValid() ? current.data().toString() : QString();

    const CKorvoDoc* doc = m_pHost ? m_pHost->GetDocument() : nullptr;
    m_pModel->SetProblems(doc ? CheckDiagram(*doc, Dialect()) : std::vector<DiagramProblem>(), doc);
    m_pCheckAgain->setEnabled(doc != nullptr);
    const int errors = m_pModel->Count(ProblemSeverity::Error);
    const int warnings = m_pModel->Count(ProblemSeverity::Warning);
    if (!doc)
        m_pSummary->setText(tr("No diagram is open."));
    else if (errors + warnings == 0)
        m_pSummary->setText(tr("No problems found."));
    else
        m_pSummary->setText(Counted(errors, "1 error", "%1 errors") + QStringLiteral(", ") +
                            Counted(warnings, "1 warning", "%1 warnings"));

    if (currentText.isEmpty())
        return;
    for (int row = 0; row < m_pModel->rowCount(); ++row) {
        const QModelIndex index = m_pModel->index(row);
        if (index.data().toString() == currentText) {
            m_pList->setCurrentIndex(index);
            m_pList->scrollTo(index);
            break;
        }
    }
}

void CCheckDiagramDock::ScheduleRefresh()
{
    // A hidden dock checks when it shows again.
    if (isVisible())
        m_refreshTimer.start();
}

void CCheckDiagramDock::showEvent(QShowEvent* event)
{
    QDockWidget::showEvent(event);
    Refresh();
}

void CCheckDiagramDock::OnActivated(const QModelIndex& index)
{
    const DiagramProblem* problem = m_pModel->Problem(index.row());
    if (!problem || !m_pView || !m_pHost)
        return;
    // The list may be a moment behind the diagram: it shows again, rather
    // than another table, when its table is no longer where it was.
    const KorvoTableView* table = m_pHost->GetDocument()->GetTable(problem->table);
    if (!table || table->m_def.m_strName != m_pModel->TableName(index.row())) {
        Refresh();
        return;
    }
    m_pView->RevealTable(problem->table);
    m_pView->setFocus();
}
