#include "SchemaDescription.h"

SchemaColumn* SchemaTable::FindColumn(std::string_view columnName)
{
    for (SchemaColumn& column : columns)
        if (column.name == columnName)
            return &column;
    return nullptr;
}

const SchemaColumn* SchemaTable::FindColumn(std::string_view columnName) const
{
    return const_cast<SchemaTable*>(this)->FindColumn(columnName);
}
