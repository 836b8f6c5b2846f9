// The import commands: Import SQL reads a script in Korvo's language or in a
// database's dialect, Import from Database reads a live database; both merge
// what they read and place the new tables as one step.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CBackgroundTask.h"
#include "CDiagramSnapshot.h"
#include "CDocumentHost.h"
#include "CImportDatabaseDialog.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "CWaitCursor.h"
#include "DiagramImport.h"
#include "ImportSummary.h"
#include "ModelText.h"
#include "SqlNameLoss.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// The file dialog's filters name the dialect to read. The first, which the
// dialog starts on, leaves the choice to the import.
struct DialectFilter {
    const char* filter;
    SqlDialect dialect;
};
constexpr DialectFilter kDialectFilters[] = {
    {"SQL Files (*.sql)", SqlDialect::Auto},
    {"PostgreSQL script (*.sql)", SqlDialect::PostgreSql},
    {"MySQL/MariaDB script (*.sql)", SqlDialect::MySql},
    {"SQLite script (*.sql)", SqlDialect::Sqlite},
    {"SQL Server script (*.sql)", SqlDialect::SqlServer},
    {"Oracle script (*.sql)", SqlDialect::Oracle},
    {"DB2 script (*.sql)", SqlDialect::Db2},
    {"Korvo SQL (*.sql)", SqlDialect::Korvo},
};

SqlDialect DialectOfFilter(const QString& filter)
{
    for (const DialectFilter& entry : kDialectFilters)
        if (filter == QLatin1String(entry.filter))
            return entry.dialect;
    return SqlDialect::Auto;
}

QString SummaryText(const std::string& text)
{
    QString shown = ModelToQString(text);
    while (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    return shown;
}

} // namespace

PlacedMerge CKorvoView::MergeAsOneStep(const SchemaDescription& description, const QString& stepName)
{
    PlacedMerge merged;
    {
        // A large schema takes a moment to merge and lay out.
        const CWaitCursor wait;
        const CAppState& app = CAppState::Get();
        // The whole import is one step, however many tables it touched.
        const CDiagramSnapshot before(*GetDocument());
        auto dc = PrepareDC();
        merged = MergeIntoDiagram(*GetDocument(), *dc, PageArea{app.PageWidth(), app.PageHeight()}, description);
        m_pHost->RecordChange(before, stepName, dc.get());
    }
    // A large import grows the canvas; every window of the diagram follows.
    const DiagramMoves& placement = merged.placement;
    if (placement.pagesXAfter != placement.pagesXBefore || placement.pagesYAfter != placement.pagesYBefore)
        emit m_pHost->DiagramSettingsChanged();
    DocumentEdited(true);
    return merged;
}

void CKorvoView::OnImportSQL()
{
    QStringList filters;
    for (const DialectFilter& entry : kDialectFilters)
        filters.append(QString::fromLatin1(entry.filter));
    QString chosenFilter = filters.constFirst();
    const QString path = CModalSeam::Get().GetOpenFileName(
        this, tr("Import SQL"), filters.join(QStringLiteral(";;")),
        CAppState::Get().StartFolder(CAppState::Folder::ImportSql), &chosenFilter);
    if (path.isEmpty())
        return;
    CAppState::Get().RememberFolder(CAppState::Folder::ImportSql, path);
    const std::string file = QFile::encodeName(path).toStdString();

    // Reading touches no document, so it runs on a worker thread while this
    // window waits with a progress dialog; the merge comes after, here.
    CBackgroundTask task;
    ImportOptions options;
    options.dialect = DialectOfFilter(chosenFilter);
    options.progress = [&task](double share) { return task.Report(share); };
    ScriptImport script;
    const bool completed = task.RunWithProgress(this, tr("Reading %1...").arg(QFileInfo(path).fileName()),
                                                [&options, &script, &file] { script = ImportSchemaScript(file, options); });
    if (!completed || script.cancelled)
        return;
    if (task.RanOutOfMemory()) {
        ReportOutOfMemory(this);
        return;
    }
    if (!task.Failure().isEmpty()) {
        KorvoMessageBox(this, tr("Error importing: %1").arg(task.Failure()));
        return;
    }
    if (!script.ok) {
        KorvoMessageBox(this, tr("Error importing: %1").arg(ModelToQString(script.errorText)));
        return;
    }

    const PlacedMerge merged = MergeAsOneStep(script.description, tr("Import SQL"));
    script.description = SchemaDescription();
    if (script.report.dialect != SqlDialect::Korvo) {
        KorvoMessageBox(this, SummaryText(ImportSummaryText(script.report, merged.merge)),
                        QMessageBox::Information);
        return;
    }

    // ddlread passes over what its names cannot hold; say so rather than
    // let the shortened names pass for what the script said.
    const SqlNameLosses losses = FindSqlNameLossesInFile(file);
    if (!losses.Empty())
        KorvoMessageBox(this, ModelToQString(DescribeSqlNameLosses(losses)), QMessageBox::Warning);
}

void CKorvoView::OnImportDatabase()
{
    // The dialog connects, lists and reads on worker threads and closes with
    // OK only once it holds the whole description.
    CImportDatabaseDialog dialog(this);
    if (CModalSeam::Get().RunDialog(dialog) != QDialog::Accepted)
        return;
    const SchemaDescription description = dialog.TakeDescription();
    if (description.tables.empty())
        return;
    const PlacedMerge merged = MergeAsOneStep(description, tr("Import from Database"));
    KorvoMessageBox(this, SummaryText(DatabaseSummaryText(dialog.ReadSource(), merged.merge)),
                    QMessageBox::Information);
}
