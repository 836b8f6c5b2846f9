#include "CFindTableDialog.h"

#include "CKorvoDoc.h"
#include "ModelText.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

#include <algorithm>

CFindTableDialog::CFindTableDialog(QWidget* parent, const CKorvoDoc& doc) : QDialog(parent)
{
    setWindowTitle(tr("Find Table"));
    for (const auto& table : doc.m_tables) {
        const QString name = ModelToQString(table->m_def.m_strName);
        m_entries.push_back({name, name, QString(), table.get()});
        for (const auto& column : table->m_def.m_columns) {
            const QString columnName = ModelToQString(column->m_strName);
            m_entries.push_back({QStringLiteral("%1 (%2)").arg(columnName, name), columnName,
                                 name + QLatin1Char('.') + columnName, table.get()});
        }
    }
    // Alphabetical, tables before columns of the same name; the diagram's
    // order among equals.
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        if (order != 0)
            return order < 0;
        return a.qualified.isEmpty() && !b.qualified.isEmpty();
    });

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("&Name of a table or column:"), this);
    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QStringLiteral("name"));
    label->setBuddy(m_pEdit);
    m_pList = new QListView(this);
    m_pList->setObjectName(QStringLiteral("matches"));
    m_pList->setUniformItemSizes(true);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setFocusPolicy(Qt::NoFocus);
    m_pModel = new QStringListModel(this);
    m_pList->setModel(m_pModel);
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(label);
    layout->addWidget(m_pEdit);
    layout->addWidget(m_pList);
    layout->addWidget(m_pButtons);
    resize(360, 420);

    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CFindTableDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CFindTableDialog::reject);
    connect(m_pEdit, &QLineEdit::textChanged, this, &CFindTableDialog::Filter);
    connect(m_pList, &QListView::doubleClicked, this, &CFindTableDialog::accept);
    // The arrow and page keys move through the list while typing goes on.
    m_pEdit->installEventFilter(this);
    m_pEdit->setFocus();
    Filter(QString());
}

void CFindTableDialog::Filter(const QString& typed)
{
    const QString text = typed.trimmed();
    const bool qualified = text.contains(QLatin1Char('.'));
    std::vector<size_t> starting, holding;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.name.startsWith(text, Qt::CaseInsensitive)
            || (qualified && entry.qualified.startsWith(text, Qt::CaseInsensitive)))
            starting.push_back(i);
        else if (entry.name.contains(text, Qt::CaseInsensitive)
                 || (qualified && entry.qualified.contains(text, Qt::CaseInsensitive)))
            holding.push_back(i);
    }
    m_shown = std::move(starting);
    m_shown.insert(m_shown.end(), holding.begin(), holding.end());
    QStringList lines;
    lines.reserve(qsizetype(m_shown.size()));
    for (size_t i : m_shown)
        lines.append(m_entries[i].shown);
    m_pModel->setStringList(lines);
    if (!lines.isEmpty())
        m_pList->setCurrentIndex(m_pModel->index(0));
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(!lines.isEmpty());
}

QStringList CFindTableDialog::Shown() const
{
    return m_pModel->stringList();
}

void CFindTableDialog::accept()
{
    const QModelIndex current = m_pList->currentIndex();
    if (!current.isValid() || size_t(current.row()) >= m_shown.size())
        return; // nothing matches: the dialog stays for another try
    m_pChosen = m_entries[m_shown[size_t(current.row())]].table;
    QDialog::accept();
}

bool CFindTableDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pEdit && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // The list takes the key as if it had the focus.
            QCoreApplication::sendEvent(m_pList, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
