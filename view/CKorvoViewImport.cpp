// The Import SQL command: reads a script, merges it and places the new tables.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CDiagramSnapshot.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "DiagramImport.h"
#include "ModelText.h"
#include "SqlNameLoss.h"

#include <QApplication>
#include <QFile>

void CKorvoView::OnImportSQL()
{
    const QString path = CModalSeam::Get().GetOpenFileName(this, tr("Import SQL"), QStringLiteral("SQL Files (*.sql)"),
                                                           CAppState::Get().StartFolder(CAppState::Folder::ImportSql));
    if (path.isEmpty())
        return;
    CAppState::Get().RememberFolder(CAppState::Folder::ImportSql, path);

    // A large script takes a moment to read and lay out.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CAppState& app = CAppState::Get();
    // The whole import is one step, however many tables it touched.
    const CDiagramSnapshot before(*GetDocument());
    auto dc = PrepareDC();
    const ScriptIntoDiagram imported = ImportScriptIntoDiagram(
        *GetDocument(), *dc, PageArea{app.PageWidth(), app.PageHeight()}, QFile::encodeName(path).toStdString());
    if (imported.script.ok)
        m_pHost->RecordChange(before, tr("Import SQL"), dc.get());
    QApplication::restoreOverrideCursor();

    if (!imported.script.ok) {
        KorvoMessageBox(this, tr("Error importing: %1").arg(ModelToQString(imported.script.errorText)));
        return;
    }
    // A large import grows the canvas; every window of the diagram follows.
    const DiagramMoves& placement = imported.result.placement;
    if (placement.pagesXAfter != placement.pagesXBefore || placement.pagesYAfter != placement.pagesYBefore)
        emit m_pHost->DiagramSettingsChanged();
    DocumentEdited(true);
    if (imported.script.report.dialect != SqlDialect::Korvo)
        return;

    // ddlread passes over what its names cannot hold; say so rather than
    // let the shortened names pass for what the script said.
    const SqlNameLosses losses = FindSqlNameLossesInFile(QFile::encodeName(path).toStdString());
    if (!losses.Empty())
        KorvoMessageBox(this, ModelToQString(DescribeSqlNameLosses(losses)), QMessageBox::Warning);
}
