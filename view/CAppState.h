#pragma once

#include "Geometry.h"

#include <QString>

enum KorvoTool { ToolPointer = 0, ToolTable = 1, ToolRelation = 2 };

// The settings every view reads and that outlive documents: the drawing tool
// shared by all windows, the private clipboard format, the paper size and the
// margins in twips. CKorvoApp carries them; tests use the default instance.
struct CAppState {
    int m_nCurrentTool = ToolPointer;
    QString m_nClipboardFormat = QStringLiteral("application/x-KorvoCOPYFORMAT");
    CSize m_sizePage{11520, 15840};
    CRect m_rectMargins{360, 360, 360, 360};

    // The printable area of one page, which is also one page area of the
    // canvas: paper less the margins.
    int32_t PageWidth() const { return m_sizePage.cx - m_rectMargins.left - m_rectMargins.right; }
    int32_t PageHeight() const { return m_sizePage.cy - m_rectMargins.top - m_rectMargins.bottom; }

    static CAppState& Get();
    // Installs the application's state (not owned); null restores the default.
    static void Install(CAppState* state);
};
