#pragma once

#include "CBackgroundTask.h"
#include "ConnectionFields.h"
#include "LiveDatabase.h"

#include <QDialog>
#include <QTimer>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QFormLayout;

// The Import from Database dialog: where the database is (a SQLite file, or
// a PostgreSQL or MariaDB/MySQL server and how to log in), Test Connection,
// the schemas to list and a check list of their tables, and the read itself,
// with its progress and Cancel. Connecting, listing and reading run on a
// worker thread, one at a time, while the dialog stays responsive; every
// field is locked meanwhile, and Cancel stops the work (and, pressed again,
// closes the dialog once it has stopped). The dialog closes with OK only
// once the chosen tables have been read whole; the command then merges
// them. A failure is one line in a message box, and nothing is read.
//
// The password lives in its field alone: it goes into no title, message,
// setting or recent entry. An empty field lets libpq find one in
// PGPASSWORD or ~/.pgpass.
class CImportDatabaseDialog : public QDialog {
    Q_OBJECT
public:
    explicit CImportDatabaseDialog(QWidget* parent = nullptr);
    ~CImportDatabaseDialog() override;

    // The fields as they stand, password left out.
    ConnectionFields Fields() const;
    // After OK: what was read, handed over once.
    SchemaDescription TakeDescription();
    // After OK: where it was read from, without the password.
    const DatabaseSource& ReadSource() const { return m_readSource; }

    // Stops work in progress, or closes the dialog when there is none.
    void reject() override;

private:
    enum class Work { None, Listing, Reading };

    // What a listing found, left by the worker for the GUI thread.
    struct Listing {
        LiveError error;
        std::string server;
        bool schemasListed = false;
        std::vector<std::string> schemas;
        std::vector<std::string> tickedSchemas;
        std::vector<QualifiedTable> tables;
    };

    void BuildControls();
    void FillFields(const ConnectionFields& fields);
    void OnKindChanged();
    void OnRecentChosen(int index);
    void OnBrowse();
    // Test Connection: connects, lists the schemas (the default one ticked)
    // and the tables of the ticked schemas.
    void OnTestConnection();
    void OnSchemaTicked();
    void OnImport();
    void OnFilterChanged();
    void TickShown(bool ticked);
    void FieldsChanged();

    void StartListing(bool withSchemas);
    void StartWork(Work work, std::function<void()> job);
    void OnWorkFinished();
    void ShowListing(const Listing& listing);
    void FinishReading();
    void Fail(const LiveError& error);
    void ShowProgress();
    void UpdateControls();
    void UpdateTableCount();
    std::vector<std::string> TickedSchemas() const;
    std::vector<QualifiedTable> TickedTables() const;

    QComboBox* m_pRecent = nullptr;
    QComboBox* m_pKind = nullptr;
    QFormLayout* m_pForm = nullptr;
    QLineEdit* m_pPath = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QLineEdit* m_pHost = nullptr;
    QSpinBox* m_pPort = nullptr;
    QLineEdit* m_pDatabase = nullptr;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QPushButton* m_pTest = nullptr;
    QLabel* m_pStatus = nullptr;
    QListWidget* m_pSchemas = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QListWidget* m_pTables = nullptr;
    QPushButton* m_pTickShown = nullptr;
    QPushButton* m_pUntickShown = nullptr;
    QLabel* m_pTableCount = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pImport = nullptr;
    QPushButton* m_pCancel = nullptr;

    QList<ConnectionFields> m_recent;
    bool m_bListed = false;     // the lists belong to the fields as they stand
    bool m_bFilling = false;    // fields or lists are being filled in code
    bool m_bRelist = false;     // the ticked schemas changed while work ran
    bool m_bCloseWhenIdle = false;
    Work m_work = Work::None;
    QTimer m_progressTimer;

    // Written by the worker, read on the GUI thread once it has finished.
    DatabaseSource m_workSource;
    Listing m_listing;
    LiveResult<SchemaDescription> m_read;

    SchemaDescription m_description;
    DatabaseSource m_readSource;

    // Last, so that it goes first: its work writes into the members above.
    CBackgroundTask m_task;
};
