#pragma once

#include "CColumn.h"

#include <memory>
#include <string>
#include <vector>

// A table's definition: texts plus the columns it owns, in display order.
class CTableDef {
public:
    CTableDef() = default;
    explicit CTableDef(std::string name) : m_strName(std::move(name)) {}
    virtual ~CTableDef() = default;

    CTableDef(const CTableDef&) = delete;
    CTableDef& operator=(const CTableDef&) = delete;

    std::string GetName() const { return m_strName; }
    std::string GetCheck() const { return m_strCheck; }
    std::string GetDescription() const { return m_strDescription; }
    // A copy of the column pointers; the columns stay owned by this table.
    std::vector<CColumn*> GetColumns() const;

    // Appends a column at the end and returns it.
    CColumn* AddColumn(std::unique_ptr<CColumn> column);

    std::string m_strName;
    std::string m_strCheck;
    std::string m_strDescription;
    std::vector<std::unique_ptr<CColumn>> m_columns;
};
