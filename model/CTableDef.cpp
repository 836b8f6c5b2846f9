#include "CTableDef.h"

std::vector<CColumn*> CTableDef::GetColumns() const
{
    std::vector<CColumn*> columns;
    columns.reserve(m_columns.size());
    for (const auto& column : m_columns)
        columns.push_back(column.get());
    return columns;
}

CColumn* CTableDef::AddColumn(std::unique_ptr<CColumn> column)
{
    m_columns.push_back(std::move(column));
    return m_columns.back().get();
}
