#pragma once

#include <string>

// One column of a table: a plain record edited in place by the dialogs, the
// file reader, the SQL import and read by the export.
class CColumn {
public:
    CColumn() = default;
    CColumn(std::string name, std::string type, bool required, std::string defaultValue,
            bool primaryKey, bool unique, std::string check, std::string description);

    std::string GetName() const { return m_strName; }
    std::string GetType() const { return m_strType; }
    std::string GetDefault() const { return m_strDefault; }
    std::string GetCheck() const { return m_strCheck; }
    std::string GetDescription() const { return m_strDescription; }

    std::string m_strName;
    std::string m_strType;
    bool m_bRequired = false;
    std::string m_strDefault;
    bool m_bPrimaryKey = false;
    bool m_bUnique = false;
    std::string m_strCheck;
    std::string m_strDescription;
};
