#include "CDiagramSettingsCommand.h"

#include "CKorvoDoc.h"

CDiagramSettingsCommand::CDiagramSettingsCommand(CDocumentHost* host, const QString& text, const Settings& before,
                                                 const Settings& after, std::vector<CSize> sizesBefore,
                                                 std::vector<CSize> sizesAfter)
    : CDiagramCommand(host, text),
      m_before(before),
      m_after(after),
      m_sizesBefore(std::move(sizesBefore)),
      m_sizesAfter(std::move(sizesAfter))
{
}

CDiagramSettingsCommand::Settings CDiagramSettingsCommand::Of(const CKorvoDoc& doc)
{
    return Settings{doc.m_logFont, doc.m_nMaxPagesX, doc.m_nMaxPagesY};
}

std::vector<CSize> CDiagramSettingsCommand::SizesOf(const CKorvoDoc& doc)
{
    std::vector<CSize> sizes;
    sizes.reserve(doc.m_tables.size());
    for (const auto& table : doc.m_tables)
        sizes.push_back(CSize{table->m_cx, table->m_cy});
    return sizes;
}

void CDiagramSettingsCommand::Set(CKorvoDoc& doc, const Settings& settings, const std::vector<CSize>& sizes)
{
    doc.m_logFont = settings.font;
    doc.m_nMaxPagesX = settings.pagesX;
    doc.m_nMaxPagesY = settings.pagesY;
    if (sizes.size() == doc.m_tables.size()) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            doc.m_tables[i]->m_cx = sizes[i].cx;
            doc.m_tables[i]->m_cy = sizes[i].cy;
        }
    }
    doc.SetModifiedFlag(true);
}

void CDiagramSettingsCommand::Undo(CKorvoDoc& doc)
{
    Set(doc, m_before, m_sizesBefore);
}

void CDiagramSettingsCommand::Redo(CKorvoDoc& doc)
{
    Set(doc, m_after, m_sizesAfter);
}
