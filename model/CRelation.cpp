#include "CRelation.h"

CRelation::CRelation(KorvoTableView* source, CColumn* sourceColumn, KorvoTableView* dest, CColumn* destColumn)
    : m_pSource(source), m_pDest(dest), m_sourceColumns{sourceColumn}, m_destColumns{destColumn}
{
}
