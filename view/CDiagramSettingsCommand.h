#pragma once

#include "CDiagramCommand.h"
#include "Geometry.h"
#include "LogFont.h"

#include <vector>

// Diagram Options and Font: the page counts and the font before and after.
// A new font resizes every table, so the Font step also keeps every table's
// measured size on both sides: a save after undo or redo then writes the
// sizes that side's font gave, before any window has painted again.
class CDiagramSettingsCommand : public CDiagramCommand {
public:
    struct Settings {
        KorvoLogFont font;
        int32_t pagesX = 0;
        int32_t pagesY = 0;
    };

    // Sizes are given for every table in document order, or not at all.
    CDiagramSettingsCommand(CDocumentHost* host, const QString& text, const Settings& before, const Settings& after,
                            std::vector<CSize> sizesBefore = {}, std::vector<CSize> sizesAfter = {});

    static Settings Of(const CKorvoDoc& doc);
    static std::vector<CSize> SizesOf(const CKorvoDoc& doc);

protected:
    void Undo(CKorvoDoc& doc) override;
    void Redo(CKorvoDoc& doc) override;
    bool ChangesSettings() const override { return true; }

private:
    static void Set(CKorvoDoc& doc, const Settings& settings, const std::vector<CSize>& sizes);

    Settings m_before;
    Settings m_after;
    std::vector<CSize> m_sizesBefore;
    std::vector<CSize> m_sizesAfter;
};
