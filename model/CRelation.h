#pragma once

#include <vector>

class CColumn;
class KorvoTableView;

// A foreign key: the source table's columns refer to the destination's. Owns
// only its two lists; tables and columns belong to the document.
class CRelation {
public:
    CRelation(KorvoTableView* source, CColumn* sourceColumn, KorvoTableView* dest, CColumn* destColumn);

    KorvoTableView* m_pSource = nullptr;
    KorvoTableView* m_pDest = nullptr;
    std::vector<CColumn*> m_sourceColumns;
    std::vector<CColumn*> m_destColumns;
    bool m_bSelected = false;
};
