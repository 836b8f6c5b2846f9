#include "CImportDatabaseDialog.h"

#include "CAppState.h"
#include "CModalSeam.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <set>
#include <utility>

namespace {

// Where a table item keeps its schema and name.
constexpr int kSchemaRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;
// The form's row of the SQLite file, after Recent and Kind.
constexpr int kFileRow = 2;

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

LiveError Cancelled()
{
    return {LiveErrorCode::Cancelled, "Cancelled."};
}

} // namespace

CImportDatabaseDialog::CImportDatabaseDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CImportDatabaseDialog"));
    setWindowTitle(QStringLiteral("Import from Database"));
    BuildControls();

    connect(&m_task, &CBackgroundTask::Finished, this, &CImportDatabaseDialog::OnWorkFinished);
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &CImportDatabaseDialog::ShowProgress);

    // The dialog starts where the last import came from, password aside.
    m_recent = CAppState::Get().m_recentConnections;
    for (const ConnectionFields& fields : std::as_const(m_recent))
        m_pRecent->addItem(fields.Label());
    m_pRecent->setEnabled(!m_recent.isEmpty());
    if (!m_recent.isEmpty())
        FillFields(m_recent.constFirst());
    OnKindChanged();
    UpdateControls();
}

CImportDatabaseDialog::~CImportDatabaseDialog()
{
    // m_task, destroyed first, waits for the work it stops here.
    m_task.Cancel();
}

void CImportDatabaseDialog::BuildControls()
{
    auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    m_pRecent = new QComboBox(this);
    named(m_pRecent, "recent");
    m_pRecent->setPlaceholderText(QStringLiteral("None yet"));
    m_pKind = new QComboBox(this);
    named(m_pKind, "kind");
    m_pKind->addItem(QStringLiteral("SQLite file"), int(DatabaseKind::Sqlite));
    m_pKind->addItem(QStringLiteral("PostgreSQL"), int(DatabaseKind::PostgreSql));
    m_pKind->addItem(QStringLiteral("MariaDB/MySQL"), int(DatabaseKind::MariaDb));

    // One form for every kind; each kind shows its own rows.
    m_pPath = new QLineEdit(this);
    named(m_pPath, "path");
    m_pBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    named(m_pBrowse, "browse");
    m_pBrowse->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_pPath, 1);
    fileRow->addWidget(m_pBrowse);
    m_pHost = new QLineEdit(this);
    named(m_pHost, "host");
    m_pPort = new QSpinBox(this);
    named(m_pPort, "port");
    m_pPort->setRange(0, 65535);
    m_pDatabase = new QLineEdit(this);
    named(m_pDatabase, "database");
    m_pUser = new QLineEdit(this);
    named(m_pUser, "user");
    m_pUser->setPlaceholderText(QStringLiteral("Default"));
    m_pPassword = new QLineEdit(this);
    named(m_pPassword, "password");
    m_pPassword->setEchoMode(QLineEdit::Password);

    m_pForm = new QFormLayout;
    m_pForm->addRow(QStringLiteral("&Recent:"), m_pRecent);
    m_pForm->addRow(QStringLiteral("&Kind:"), m_pKind);
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    fileLabel->setBuddy(m_pPath);
    m_pForm->addRow(fileLabel, fileRow);
    m_pForm->addRow(QStringLiteral("&Host:"), m_pHost);
    m_pForm->addRow(QStringLiteral("P&ort:"), m_pPort);
    m_pForm->addRow(QStringLiteral("&Database:"), m_pDatabase);
    m_pForm->addRow(QStringLiteral("&User:"), m_pUser);
    m_pForm->addRow(QStringLiteral("Pass&word:"), m_pPassword);

    m_pTest = new QPushButton(QStringLiteral("&Test Connection"), this);
    named(m_pTest, "testConnection");
    m_pStatus = new QLabel(this);
    named(m_pStatus, "status");
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextFormat(Qt::PlainText);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_pTest);
    testRow->addWidget(m_pStatus, 1);

    m_pSchemas = new QListWidget(this);
    named(m_pSchemas, "schemas");
    auto* schemaColumn = new QVBoxLayout;
    auto* schemaLabel = new QLabel(QStringLiteral("&Schemas:"), this);
    schemaLabel->setBuddy(m_pSchemas);
    schemaColumn->addWidget(schemaLabel);
    schemaColumn->addWidget(m_pSchemas, 1);

    m_pFilter = new QLineEdit(this);
    named(m_pFilter, "tableFilter");
    m_pFilter->setPlaceholderText(QStringLiteral("Filter"));
    m_pFilter->setClearButtonEnabled(true);
    m_pTables = new QListWidget(this);
    named(m_pTables, "tables");
    m_pTickShown = new QPushButton(QStringLiteral("Tick Shown"), this);
    named(m_pTickShown, "tickShown");
    m_pTickShown->setAutoDefault(false);
    m_pUntickShown = new QPushButton(QStringLiteral("Untick Shown"), this);
    named(m_pUntickShown, "untickShown");
    m_pUntickShown->setAutoDefault(false);
    m_pTableCount = new QLabel(this);
    named(m_pTableCount, "tableCount");
    auto* tableLabel = new QLabel(QStringLiteral("T&ables:"), this);
    tableLabel->setBuddy(m_pFilter);
    auto* tickRow = new QHBoxLayout;
    tickRow->addWidget(m_pTickShown);
    tickRow->addWidget(m_pUntickShown);
    tickRow->addWidget(m_pTableCount, 1);
    auto* tableColumn = new QVBoxLayout;
    tableColumn->addWidget(tableLabel);
    tableColumn->addWidget(m_pFilter);
    tableColumn->addWidget(m_pTables, 1);
    tableColumn->addLayout(tickRow);
    auto* lists = new QHBoxLayout;
    lists->addLayout(schemaColumn, 1);
    lists->addLayout(tableColumn, 2);

    m_pProgress = new QProgressBar(this);
    named(m_pProgress, "progress");
    m_pProgress->setRange(0, 1000);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    m_pImport = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    named(m_pImport, "import");
    m_pCancel = buttons->addButton(QDialogButtonBox::Cancel);
    named(m_pCancel, "cancel");
    connect(m_pImport, &QPushButton::clicked, this, &CImportDatabaseDialog::OnImport);
    connect(m_pCancel, &QPushButton::clicked, this, &CImportDatabaseDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_pForm);
    layout->addLayout(testRow);
    layout->addLayout(lists, 1);
    layout->addWidget(m_pProgress);
    layout->addWidget(buttons);
    resize(560, 520);

    connect(m_pRecent, &QComboBox::activated, this, &CImportDatabaseDialog::OnRecentChosen);
    connect(m_pKind, &QComboBox::currentIndexChanged, this, [this] {
        OnKindChanged();
        FieldsChanged();
    });
    for (QLineEdit* field : {m_pPath, m_pHost, m_pDatabase, m_pUser, m_pPassword})
        connect(field, &QLineEdit::textChanged, this, &CImportDatabaseDialog::FieldsChanged);
    connect(m_pPort, &QSpinBox::valueChanged, this, &CImportDatabaseDialog::FieldsChanged);
    connect(m_pBrowse, &QPushButton::clicked, this, &CImportDatabaseDialog::OnBrowse);
    connect(m_pTest, &QPushButton::clicked, this, &CImportDatabaseDialog::OnTestConnection);
    connect(m_pSchemas, &QListWidget::itemChanged, this, &CImportDatabaseDialog::OnSchemaTicked);
    connect(m_pTables, &QListWidget::itemChanged, this, [this] {
        if (m_bFilling)
            return;
        UpdateTableCount();
        UpdateControls();
    });
    connect(m_pFilter, &QLineEdit::textChanged, this, &CImportDatabaseDialog::OnFilterChanged);
    connect(m_pTickShown, &QPushButton::clicked, this, [this] { TickShown(true); });
    connect(m_pUntickShown, &QPushButton::clicked, this, [this] { TickShown(false); });
}

ConnectionFields CImportDatabaseDialog::Fields() const
{
    ConnectionFields fields;
    fields.kind = static_cast<DatabaseKind>(m_pKind->currentData().toInt());
    if (fields.kind == DatabaseKind::Sqlite) {
        fields.path = m_pPath->text();
        return fields;
    }
    fields.host = m_pHost->text().trimmed();
    fields.port = m_pPort->value();
    fields.database = m_pDatabase->text().trimmed();
    fields.user = m_pUser->text().trimmed();
    return fields;
}

void CImportDatabaseDialog::FillFields(const ConnectionFields& fields)
{
    m_bFilling = true;
    m_pKind->setCurrentIndex(m_pKind->findData(int(fields.kind)));
    m_pPath->setText(fields.path);
    m_pHost->setText(fields.host);
    m_pPort->setValue(fields.port);
    m_pDatabase->setText(fields.database);
    m_pUser->setText(fields.user);
    m_pPassword->clear();
    m_bFilling = false;
    OnKindChanged();
    FieldsChanged();
}

SchemaDescription CImportDatabaseDialog::TakeDescription()
{
    return std::exchange(m_description, SchemaDescription());
}

void CImportDatabaseDialog::OnKindChanged()
{
    const auto kind = static_cast<DatabaseKind>(m_pKind->currentData().toInt());
    const bool server = kind != DatabaseKind::Sqlite;
    m_pForm->setRowVisible(kFileRow, !server);
    for (QWidget* field : std::initializer_list<QWidget*>{m_pHost, m_pPort, m_pDatabase, m_pUser, m_pPassword})
        m_pForm->setRowVisible(field, server);
    m_pHost->setPlaceholderText(kind == DatabaseKind::PostgreSql ? QStringLiteral("Default (PGHOST or the local socket)")
                                                                 : QStringLiteral("localhost"));
    m_pPort->setSpecialValueText(kind == DatabaseKind::PostgreSql ? QStringLiteral("Default (5432)")
                                                                  : QStringLiteral("Default (3306)"));
    // libpq looks a missing password up itself, as it always does.
    m_pPassword->setPlaceholderText(kind == DatabaseKind::PostgreSql ? QStringLiteral("None, or PGPASSWORD or ~/.pgpass")
                                                                     : QStringLiteral("None"));
}

void CImportDatabaseDialog::OnRecentChosen(int index)
{
    if (index < 0 || index >= m_recent.size())
        return;
    FillFields(m_recent.at(index));
    if (m_recent.at(index).kind == DatabaseKind::Sqlite)
        OnTestConnection();
    else
        m_pPassword->setFocus();
}

void CImportDatabaseDialog::OnBrowse()
{
    const QString path =
        CModalSeam::Get().GetOpenFileName(this, QStringLiteral("Open SQLite Database"),
                                          QStringLiteral("SQLite Databases (*.sqlite *.sqlite3 *.db *.db3);;All Files (*)"));
    if (path.isEmpty())
        return;
    m_pPath->setText(path);
    OnTestConnection();
}

void CImportDatabaseDialog::FieldsChanged()
{
    if (m_bFilling)
        return;
    // Lists of another database would be read from this one.
    m_bListed = false;
    m_bFilling = true;
    m_pSchemas->clear();
    m_pTables->clear();
    m_bFilling = false;
    m_pStatus->clear();
    UpdateTableCount();
    UpdateControls();
}

void CImportDatabaseDialog::OnTestConnection()
{
    if (m_work != Work::None)
        return;
    StartListing(true);
}

void CImportDatabaseDialog::OnSchemaTicked()
{
    if (m_bFilling)
        return;
    if (m_work != Work::None) {
        m_bRelist = true;
        return;
    }
    StartListing(false);
}

void CImportDatabaseDialog::StartListing(bool withSchemas)
{
    const DatabaseSource source = Fields().Source(m_pPassword->text());
    const std::vector<std::string> wanted = TickedSchemas();
    m_pStatus->setText(QStringLiteral("Connecting..."));
    StartWork(Work::Listing, [this, source, withSchemas, wanted] {
        Listing listing;
        LiveResult<std::unique_ptr<CLiveDatabase>> connected = ConnectLiveDatabase(source);
        if (!connected.Ok()) {
            listing.error = connected.error;
            m_listing = std::move(listing);
            return;
        }
        CLiveDatabase& database = *connected.value;
        listing.server = database.ServerDescription();
        std::vector<std::string> schemas = wanted;
        if (withSchemas) {
            LiveResult<std::vector<std::string>> listed = database.ListSchemas();
            if (!listed.Ok()) {
                listing.error = listed.error;
                m_listing = std::move(listing);
                return;
            }
            listing.schemasListed = true;
            listing.schemas = std::move(listed.value);
            // Schemas ticked before stay ticked where they still exist; else
            // the one a bare table name means.
            const std::set<std::string> present(listing.schemas.begin(), listing.schemas.end());
            schemas.clear();
            for (const std::string& schema : wanted)
                if (present.count(schema))
                    schemas.push_back(schema);
            if (schemas.empty() && present.count(database.DefaultSchema()))
                schemas.push_back(database.DefaultSchema());
        }
        listing.tickedSchemas = schemas;
        if (m_task.IsCancelled()) {
            listing.error = Cancelled();
        } else if (!schemas.empty()) {
            LiveResult<std::vector<QualifiedTable>> tables = database.ListTables(schemas);
            if (tables.Ok())
                listing.tables = std::move(tables.value);
            else
                listing.error = tables.error;
        }
        m_listing = std::move(listing);
    });
}

void CImportDatabaseDialog::OnImport()
{
    if (m_work != Work::None || !m_bListed)
        return;
    const std::vector<QualifiedTable> tables = TickedTables();
    if (tables.empty())
        return;
    const DatabaseSource source = Fields().Source(m_pPassword->text());
    m_pStatus->setText(QStringLiteral("Connecting..."));
    StartWork(Work::Reading, [this, source, tables] {
        LiveResult<std::unique_ptr<CLiveDatabase>> connected = ConnectLiveDatabase(source);
        if (!connected.Ok()) {
            m_read = {};
            m_read.error = connected.error;
            return;
        }
        m_read = connected.value->ReadTables(tables, [this](const ReadProgress& progress) {
            const double share = progress.total > 0 ? double(progress.done) / progress.total : -1;
            return m_task.Report(share, progress.step);
        });
    });
}

void CImportDatabaseDialog::StartWork(Work work, std::function<void()> job)
{
    m_work = work;
    m_workSource = Fields().Source(m_pPassword->text());
    m_pProgress->setRange(0, 0);
    m_progressTimer.start();
    m_task.Start(std::move(job));
    UpdateControls();
}

void CImportDatabaseDialog::ShowProgress()
{
    const int permille = m_task.Permille();
    if (permille < 0) {
        m_pProgress->setRange(0, 0);
    } else {
        m_pProgress->setRange(0, 1000);
        m_pProgress->setValue(permille);
    }
    const QString step = m_task.Step();
    if (!step.isEmpty() && !m_task.IsCancelled())
        m_pStatus->setText(step + QStringLiteral("..."));
}

void CImportDatabaseDialog::OnWorkFinished()
{
    const Work work = std::exchange(m_work, Work::None);
    m_progressTimer.stop();
    m_pProgress->setRange(0, 1000);
    m_pProgress->setValue(0);
    if (m_bCloseWhenIdle) {
        QDialog::reject();
        return;
    }
    if (m_task.RanOutOfMemory()) {
        m_pStatus->clear();
        ReportOutOfMemory(this);
    } else if (!m_task.Failure().isEmpty()) {
        Fail({LiveErrorCode::QueryFailed, Utf8(m_task.Failure())});
    } else if (work == Work::Listing) {
        ShowListing(m_listing);
    } else if (work == Work::Reading) {
        FinishReading();
    }
    m_listing = Listing();
    m_read = {};
    m_workSource = DatabaseSource();
    if (result() == QDialog::Accepted)
        return;
    UpdateControls();
    if (std::exchange(m_bRelist, false) && m_bListed)
        StartListing(false);
}

void CImportDatabaseDialog::ShowListing(const Listing& listing)
{
    if (listing.error.Failed() || m_task.IsCancelled()) {
        // The lists no longer match the schemas ticked or the fields.
        m_bListed = false;
        m_bFilling = true;
        m_pTables->clear();
        m_bFilling = false;
        UpdateTableCount();
        Fail(listing.error.Failed() ? listing.error : Cancelled());
        return;
    }
    m_bFilling = true;
    const std::set<std::string> ticked(listing.tickedSchemas.begin(), listing.tickedSchemas.end());
    if (listing.schemasListed) {
        m_pSchemas->clear();
        for (const std::string& schema : listing.schemas) {
            auto* item = new QListWidgetItem(FromUtf8(schema), m_pSchemas);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
            item->setCheckState(ticked.count(schema) ? Qt::Checked : Qt::Unchecked);
        }
    }
    // Tables listed before keep their ticks; the others come ticked.
    std::set<std::pair<QString, QString>> unticked;
    for (int i = 0; i < m_pTables->count(); ++i) {
        const QListWidgetItem* item = m_pTables->item(i);
        if (item->checkState() == Qt::Unchecked)
            unticked.emplace(item->data(kSchemaRole).toString(), item->data(kNameRole).toString());
    }
    m_pTables->clear();
    const bool qualify = ticked.size() > 1;
    for (const QualifiedTable& table : listing.tables) {
        const QString schema = FromUtf8(table.schema);
        const QString name = FromUtf8(table.name);
        auto* item = new QListWidgetItem(qualify ? schema + QLatin1Char('.') + name : name, m_pTables);
        item->setData(kSchemaRole, schema);
        item->setData(kNameRole, name);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(unticked.count({schema, name}) ? Qt::Unchecked : Qt::Checked);
    }
    m_bFilling = false;
    m_bListed = true;
    OnFilterChanged();
    UpdateTableCount();
    QString status = QStringLiteral("Connected to ") + FromUtf8(listing.server) + QLatin1Char('.');
    if (ticked.empty())
        status += QStringLiteral(" Tick a schema to list its tables.");
    else if (listing.tables.empty())
        status += QStringLiteral(" No tables in the ticked schemas.");
    m_pStatus->setText(FromUtf8(CleanMessage(Utf8(status), m_workSource.Secrets())));
}

void CImportDatabaseDialog::FinishReading()
{
    if (m_read.error.Failed() || m_task.IsCancelled()) {
        Fail(m_read.error.Failed() ? m_read.error : Cancelled());
        return;
    }
    m_description = std::move(m_read.value);
    m_readSource = m_workSource;
    m_readSource.password.clear();
    // Remembered without the password, which Fields() never holds.
    RememberConnection(CAppState::Get().m_recentConnections, Fields());
    m_pStatus->clear();
    accept();
}

void CImportDatabaseDialog::Fail(const LiveError& error)
{
    // The readers keep passwords out of their messages; masking once more
    // costs nothing.
    if (error.code == LiveErrorCode::Cancelled) {
        m_pStatus->setText(FromUtf8(Cancelled().message));
        return;
    }
    const QString message = FromUtf8(CleanMessage(error.message, m_workSource.Secrets()));
    m_pStatus->clear();
    KorvoMessageBox(this, message, QMessageBox::Warning);
}

void CImportDatabaseDialog::reject()
{
    if (m_work == Work::None) {
        QDialog::reject();
        return;
    }
    // A second Cancel while the work winds down closes the dialog after it.
    if (m_task.IsCancelled())
        m_bCloseWhenIdle = true;
    m_task.Cancel();
    m_pStatus->setText(QStringLiteral("Cancelling..."));
}

void CImportDatabaseDialog::OnFilterChanged()
{
    const QString filter = m_pFilter->text().trimmed();
    for (int i = 0; i < m_pTables->count(); ++i) {
        QListWidgetItem* item = m_pTables->item(i);
        item->setHidden(!filter.isEmpty() && !item->text().contains(filter, Qt::CaseInsensitive));
    }
}

void CImportDatabaseDialog::TickShown(bool ticked)
{
    // One count at the end, not one per table.
    m_bFilling = true;
    for (int i = 0; i < m_pTables->count(); ++i) {
        QListWidgetItem* item = m_pTables->item(i);
        if (!item->isHidden())
            item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    m_bFilling = false;
    UpdateTableCount();
    UpdateControls();
}

void CImportDatabaseDialog::UpdateTableCount()
{
    int ticked = 0;
    for (int i = 0; i < m_pTables->count(); ++i)
        ticked += m_pTables->item(i)->checkState() == Qt::Checked;
    m_pTableCount->setText(m_bListed ? QStringLiteral("%1 of %2 ticked").arg(ticked).arg(m_pTables->count())
                                     : QString());
}

void CImportDatabaseDialog::UpdateControls()
{
    const bool idle = m_work == Work::None;
    const bool sqlite = static_cast<DatabaseKind>(m_pKind->currentData().toInt()) == DatabaseKind::Sqlite;
    for (QWidget* control : std::initializer_list<QWidget*>{m_pRecent, m_pKind, m_pPath, m_pBrowse, m_pHost, m_pPort,
                                                            m_pDatabase, m_pUser, m_pPassword, m_pSchemas, m_pFilter,
                                                            m_pTables, m_pTickShown, m_pUntickShown})
        control->setEnabled(idle);
    m_pRecent->setEnabled(idle && !m_recent.isEmpty());
    m_pProgress->setVisible(!idle);
    m_pTest->setEnabled(idle && (!sqlite || !m_pPath->text().isEmpty()));
    const bool canImport = idle && m_bListed && !TickedTables().empty();
    m_pImport->setEnabled(canImport);
    // Enter tests the connection until there is something to import.
    m_pImport->setDefault(canImport);
    m_pTest->setDefault(!canImport);
}

std::vector<std::string> CImportDatabaseDialog::TickedSchemas() const
{
    std::vector<std::string> schemas;
    for (int i = 0; i < m_pSchemas->count(); ++i)
        if (m_pSchemas->item(i)->checkState() == Qt::Checked)
            schemas.push_back(Utf8(m_pSchemas->item(i)->text()));
    return schemas;
}

std::vector<QualifiedTable> CImportDatabaseDialog::TickedTables() const
{
    std::vector<QualifiedTable> tables;
    for (int i = 0; i < m_pTables->count(); ++i) {
        const QListWidgetItem* item = m_pTables->item(i);
        if (item->checkState() == Qt::Checked)
            tables.push_back({Utf8(item->data(kSchemaRole).toString()), Utf8(item->data(kNameRole).toString())});
    }
    return tables;
}
