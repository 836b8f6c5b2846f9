#pragma once

#include "ConnectionFields.h"
#include "Geometry.h"

#include <QByteArray>
#include <QList>
#include <QString>

enum KorvoTool { ToolPointer = 0, ToolTable = 1, ToolRelation = 2 };

// The settings every view reads and that outlive documents: the drawing tool
// shared by all windows, the private clipboard format, the paper size and the
// margins in twips, whether tables show column types, the places the user
// last worked in, and the databases imported from lately. CKorvoApp carries
// them; tests use the default instance.
struct CAppState {
    int m_nCurrentTool = ToolPointer;
    QString m_nClipboardFormat = QStringLiteral("application/x-KorvoCOPYFORMAT");
    CSize m_sizePage{11520, 15840};
    CRect m_rectMargins{360, 360, 360, 360};
    // Most recent first, without passwords (Import from Database).
    QList<ConnectionFields> m_recentConnections;
    // Column rows show the type and marks after the name: in every window,
    // on paper and in pictures (--render decides for itself).
    bool m_bShowColumnTypes = false;
    // The main window's place and size when it last closed
    // (QWidget::saveGeometry); empty: the window's own default.
    QByteArray m_mainWindowGeometry;

    // The file dialogs that remember where they were last answered, each on
    // its own.
    enum class Folder { Open, SaveAs, ImportSql, ExportSql };
    static constexpr int kFolderCount = 4;
    // Its name in the settings ("Open", "Save As", "Import SQL", "Export SQL").
    static const char* FolderKey(Folder folder);
    // Where the dialog starts: the folder it last used while that folder
    // still exists, else empty (the dialog's own default).
    QString StartFolder(Folder folder) const;
    // The folder of the file the user chose in the dialog.
    void RememberFolder(Folder folder, const QString& chosenFile);
    QString m_folders[kFolderCount];

    // The printable area of one page, which is also one page area of the
    // canvas: paper less the margins.
    int32_t PageWidth() const
    {
        return Saturate(int64_t(m_sizePage.cx) - m_rectMargins.left - m_rectMargins.right);
    }
    int32_t PageHeight() const
    {
        return Saturate(int64_t(m_sizePage.cy) - m_rectMargins.top - m_rectMargins.bottom);
    }

    // Limits of the page settings, in twips. The paper is one to two hundred
    // inches on each side (two hundred inches is also the largest page a PDF
    // reader shows); margins are not negative and leave at least an inch to
    // draw on in each direction.
    static constexpr int32_t kMinPaper = 1440;
    static constexpr int32_t kMaxPaper = 288000;
    static constexpr int32_t kMinPrintable = 1440;
    static bool IsPaperUsable(CSize paper);
    static bool AreMarginsUsable(CSize paper, const CRect& margins);
    // Brings settings read from outside into those limits: paper out of range
    // falls back to the default paper, margins that do not fit it to the
    // default margins, and a paper too small for those to the default paper.
    void ValidatePageSettings();

    static CAppState& Get();
    // Installs the application's state (not owned); null restores the default.
    static void Install(CAppState* state);
};
