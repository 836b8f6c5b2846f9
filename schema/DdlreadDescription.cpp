#include "DdlreadDescription.h"

#include "ddlread.h"

#include <cstring>
#include <string_view>

namespace {

// A record's text field, up to its terminating NUL (always within the field).
template <size_t N>
std::string Field(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

std::vector<std::string> SplitBlanks(std::string_view text)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        size_t end = pos;
        while (end < text.size() && text[end] != ' ')
            ++end;
        if (end > pos)
            words.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

} // namespace

SchemaDescription DescribeTableData(const TableData* list)
{
    SchemaDescription description;
    description.rules = MergeRules::KorvoLanguage;
    for (const TableData* record = list; record; record = record->next) {
        SchemaTable table;
        table.name = Field(record->name);
        for (const ColumnData* col = record->columns; col; col = col->next) {
            SchemaColumn column;
            column.name = Field(col->name);
            column.type = Field(col->type);
            column.notNull = col->flags & DDL_COLUMN_NOT_NULL;
            column.primaryKey = col->flags & DDL_COLUMN_PRIMARY_KEY;
            column.unique = col->flags & DDL_COLUMN_UNIQUE;
            column.defaultValue = Field(col->defaultValue);
            column.check = Field(col->check);
            if (col->refTable[0] != '\0') {
                SchemaForeignKey key;
                key.columns.push_back(column.name);
                key.refTable = Field(col->refTable);
                key.refColumns = SplitBlanks(Field(col->refColumns));
                key.columnLevel = true;
                table.foreignKeys.push_back(std::move(key));
            }
            table.columns.push_back(std::move(column));
        }
        for (const ConstraintData* c = record->constraints; c; c = c->next) {
            switch (c->kind) {
            case DDL_CONSTRAINT_PRIMARY_KEY:
                for (std::string& name : SplitBlanks(Field(c->columns)))
                    table.primaryKey.push_back(std::move(name));
                break;
            case DDL_CONSTRAINT_UNIQUE:
                table.uniqueKeys.push_back(SplitBlanks(Field(c->columns)));
                break;
            case DDL_CONSTRAINT_CHECK:
                table.checks.push_back(Field(c->check));
                break;
            case DDL_CONSTRAINT_FOREIGN_KEY: {
                SchemaForeignKey key;
                key.columns = SplitBlanks(Field(c->columns));
                const std::vector<std::string> refWords = SplitBlanks(Field(c->refTable));
                if (refWords.empty())
                    break; // refers to nothing the diagram could find
                key.refTable = refWords.front();
                key.refColumns = SplitBlanks(Field(c->refColumns));
                table.foreignKeys.push_back(std::move(key));
                break;
            }
            default:
                break;
            }
        }
        description.tables.push_back(std::move(table));
    }
    return description;
}
