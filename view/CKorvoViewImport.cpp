// The Import SQL command: reads a script through ddlread and merges it.
#include "CKorvoView.h"

#include "CDiagramSnapshot.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "CSqlImporter.h"
#include "ModelText.h"
#include "SqlImportFile.h"
#include "SqlNameLoss.h"

#include <QApplication>
#include <QFile>

void CKorvoView::OnImportSQL()
{
    const QString path =
        CModalSeam::Get().GetOpenFileName(this, tr("Import SQL"), QStringLiteral("SQL Files (*.sql)"));
    if (path.isEmpty())
        return;

    // A large script takes a moment to read and lay out.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string error;
    const SqlTableList list = ImportSqlFile(QFile::encodeName(path).toStdString(), error);
    if (list) {
        // The whole import is one step, however many tables it touched.
        const CDiagramSnapshot before(*GetDocument());
        auto dc = PrepareDC();
        CSqlImporter importer(*GetDocument(), *dc, m_rectCanvas);
        importer.ImportTables(list.get());
        m_pHost->RecordChange(before, tr("Import SQL"), dc.get());
    }
    QApplication::restoreOverrideCursor();

    if (!list) {
        KorvoMessageBox(this, tr("Error importing: %1").arg(ModelToQString(error)));
        return;
    }
    DocumentEdited(true);

    // ddlread passes over what its names cannot hold; say so rather than
    // let the shortened names pass for what the script said.
    const SqlNameLosses losses = FindSqlNameLossesInFile(QFile::encodeName(path).toStdString());
    if (!losses.Empty())
        KorvoMessageBox(this, ModelToQString(DescribeSqlNameLosses(losses)), QMessageBox::Warning);
}
