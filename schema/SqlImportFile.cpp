#include "SqlImportFile.h"

namespace {

// The size of the error buffer the program has always handed to ddlread.
constexpr int32_t kErrorTextSize = 500;

} // namespace

SqlTableList ImportSqlFile(const std::string& path, std::string& error)
{
    char text[kErrorTextSize] = "";
    SqlTableList list(ImportSQLTables(path.c_str(), text, kErrorTextSize, nullptr));
    error = list ? std::string() : std::string(text);
    return list;
}
