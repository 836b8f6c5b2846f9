// The diagram commands that go through the schema layer: Export SQL in a
// dialect, Arrange Tables, and showing a table that the diagram check names.
#include "CKorvoView.h"

#include "CAppState.h"
#include "CBackgroundTask.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "CTableMovesCommand.h"
#include "CWaitCursor.h"
#include "DiagramArrange.h"
#include "DialectExport.h"
#include "FileIo.h"
#include "ModelText.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QUndoStack>

#include <new>

namespace {

// How many of the export's notes the box lists; the script has them all.
constexpr size_t kNotesShown = 10;

QString DescribeExportNotes(SqlDialect dialect, const ExportNotes& notes)
{
    const QString name = ModelToQString(DialectDisplayName(dialect));
    QString text = notes.size() == 1
                       ? QObject::tr("The %1 script is written. One thing could not be carried over exactly:").arg(name)
                       : QObject::tr("The %1 script is written. %2 things could not be carried over exactly:")
                             .arg(name)
                             .arg(notes.size());
    text += QLatin1Char('\n');
    for (size_t i = 0; i < notes.size() && i < kNotesShown; ++i)
        text += QLatin1Char('\n') + ModelToQString(notes[i].text);
    if (notes.size() > kNotesShown)
        text += QLatin1Char('\n') + QObject::tr("... and %1 more.").arg(notes.size() - kNotesShown);
    text += QStringLiteral("\n\n") + QObject::tr("The script names each of them in a comment.");
    return text;
}

// The document as the arrangement reads it, on its own: the window may paint
// (and so measure every table) while the worker reads. The copy holds the
// file's fields, the sizes measured as the window measures, and the
// selection. False when the copy would not match the document table for
// table.
bool CopyForArrangement(const CKorvoDoc& doc, const CMeasureSurface& surface, CKorvoDoc& copy)
{
    const std::string bytes = doc.SaveToBytes();
    const LoadOutcome outcome = copy.LoadFromBytes(bytes.data(), bytes.size());
    if (outcome.status != LoadStatus::Loaded || copy.m_tables.size() != doc.m_tables.size() ||
        copy.m_relations.size() != doc.m_relations.size())
        return false;
    MeasureTables(copy, surface);
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        copy.m_tables[i]->m_bSelected = doc.m_tables[i]->m_bSelected;
        if (copy.m_tables[i]->m_cx != doc.m_tables[i]->m_cx || copy.m_tables[i]->m_cy != doc.m_tables[i]->m_cy)
            return false;
    }
    return true;
}

} // namespace

void CKorvoView::ExportSqlScript(const QString& path, SqlDialect dialect)
{
    if (dialect == SqlDialect::Korvo) {
        char error[500] = "";
        if (!GetDocument()->ExportSQL(QFile::encodeName(path).constData(), error, int(sizeof error)))
            KorvoMessageBox(this, QString::fromLatin1(error));
        return;
    }
    ExportNotes notes;
    FileResult written;
    {
        // A large diagram takes a moment to write.
        const CWaitCursor wait;
        const std::string script = ExportDialectSql(*GetDocument(), dialect, notes);
        written = WriteFileAtomically(QFile::encodeName(path).toStdString(), script);
    }
    if (!written.ok) {
        const QString what = written.error == FileError::Open ? tr("Export SQL Error: Unable to open output file.")
                                                              : tr("Export SQL Error: Unable to write output file.");
        KorvoMessageBox(this, what + QStringLiteral("\n\n") + QString::fromLocal8Bit(written.message.c_str()));
        return;
    }
    if (!notes.empty())
        KorvoMessageBox(this, DescribeExportNotes(dialect, notes), QMessageBox::Information);
}

void CKorvoView::OnArrangeTables()
{
    CKorvoDoc* doc = GetDocument();
    if (doc->m_tables.empty())
        return;
    const CAppState& app = CAppState::Get();
    ArrangeOptions options;
    options.scope = AnyTableSelected(*doc) ? ArrangeScope::Selected : ArrangeScope::All;
    options.page = PageArea{app.PageWidth(), app.PageHeight()};

    // The boxes are kept apart at the sizes this window draws them.
    auto dc = PrepareDC();
    MeasureTables(*doc, *dc);
    ArrangeResult arranged;
    // Running out of memory before the change is made leaves the diagram
    // and its history as they were.
    try {
        CKorvoDoc copy;
        if (CopyForArrangement(*doc, *dc, copy)) {
            const int stepBefore = m_pHost->UndoStack()->index();
            QPointer<CKorvoView> self(this);
            CBackgroundTask task;
            const bool finished = task.RunWithProgress(
                this, tr("Arranging the tables..."),
                [&] {
                    arranged = ArrangeTables(copy, options, [&task](int done, int total) {
                        return task.Report(total > 0 ? double(done) / double(total) : -1.0);
                    });
                },
                tr("Arrange Tables"));
            if (!finished || !self)
                return;
            if (task.RanOutOfMemory()) {
                ReportOutOfMemory(this);
                return;
            }
            // Nothing may change the diagram meanwhile; should anything have,
            // the layout no longer fits it.
            if (m_pHost->UndoStack()->index() != stepBefore || doc->m_tables.size() != copy.m_tables.size())
                return;
            if (!task.Failure().isEmpty()) {
                arranged = ArrangeResult();
                arranged.status = ArrangeStatus::Failed;
                arranged.error = QStringToModel(task.Failure());
            }
        } else {
            const CWaitCursor wait;
            arranged = ArrangeTables(*doc, options);
        }
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(this);
        return;
    }

    if (arranged.status == ArrangeStatus::Failed) {
        KorvoMessageBox(this, tr("The tables could not be arranged.") + QStringLiteral("\n\n") +
                                  ModelToQString(arranged.error),
                        QMessageBox::Warning);
        return;
    }
    const DiagramMoves& change = arranged.change;
    if (arranged.status != ArrangeStatus::Arranged || change.Empty())
        return;
    ApplyMoves(*doc, change);
    m_pHost->PushStep(new CTableMovesCommand(m_pHost, tr("Arrange Tables"), change));
    // More pages: every window of the diagram sizes its canvas again.
    if (change.pagesXAfter != change.pagesXBefore || change.pagesYAfter != change.pagesYBefore)
        emit m_pHost->DiagramSettingsChanged();
    DocumentEdited(true);
}

bool CKorvoView::RevealTable(int index)
{
    KorvoTableView* table = GetDocument()->GetTable(index);
    if (!table)
        return false;
    ShowTable(table);
    return true;
}
