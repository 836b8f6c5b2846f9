#include "CDiagramSnapshot.h"

#include "Archive.h"
#include "CKorvoDoc.h"
#include "ColumnPositions.h"

CDiagramSnapshot::CDiagramSnapshot(const CKorvoDoc& doc)
{
    Take(doc, std::vector<char>(doc.m_tables.size(), 1));
}

CDiagramSnapshot::CDiagramSnapshot(const CKorvoDoc& doc, const std::vector<int>& tables)
{
    std::vector<char> covered(doc.m_tables.size(), 0);
    for (int index : tables)
        if (index >= 0 && static_cast<size_t>(index) < covered.size())
            covered[static_cast<size_t>(index)] = 1;
    Take(doc, covered);
}

void CDiagramSnapshot::Take(const CKorvoDoc& doc, const std::vector<char>& covered)
{
    m_tables.resize(doc.m_tables.size());
    m_tableIndex.reserve(doc.m_tables.size());
    CArchiveWriter records;
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        const KorvoTableView* table = doc.m_tables[i].get();
        Table& entry = m_tables[i];
        entry.table = table;
        entry.selected = table->m_bSelected;
        m_tableIndex.emplace(table, static_cast<int32_t>(i));
        if (covered[i]) {
            entry.covered = true;
            entry.offset = records.Bytes().size();
            table->Serialize(records);
            entry.size = records.Bytes().size() - entry.offset;
        }
    }
    m_bytes = records.Take();

    CColumnPositions positions;
    m_relations.resize(doc.m_relations.size());
    m_relationIndex.reserve(doc.m_relations.size());
    for (size_t i = 0; i < doc.m_relations.size(); ++i) {
        const CRelation* relation = doc.m_relations[i].get();
        Relation& entry = m_relations[i];
        entry.source = relation->m_pSource;
        entry.dest = relation->m_pDest;
        entry.selected = relation->m_bSelected;
        entry.columns = m_columns.size();
        positions.Append(m_columns, relation->m_pSource, relation->m_sourceColumns);
        positions.Append(m_columns, relation->m_pDest, relation->m_destColumns);
        m_relationIndex.emplace(relation, static_cast<int32_t>(i));
    }

    m_font = doc.m_logFont;
    m_nPagesX = doc.m_nMaxPagesX;
    m_nPagesY = doc.m_nMaxPagesY;
}
