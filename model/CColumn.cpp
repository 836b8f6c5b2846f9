#include "CColumn.h"

#include <utility>

CColumn::CColumn(std::string name, std::string type, bool required, std::string defaultValue,
                 bool primaryKey, bool unique, std::string check, std::string description)
    : m_strName(std::move(name)),
      m_strType(std::move(type)),
      m_bRequired(required),
      m_strDefault(std::move(defaultValue)),
      m_bPrimaryKey(primaryKey),
      m_bUnique(unique),
      m_strCheck(std::move(check)),
      m_strDescription(std::move(description))
{
}
