#include "CatalogText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::string Join(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ",") + name;
    return out;
}

} // namespace

std::string CatalogText(const SchemaDescription& description)
{
    std::vector<std::string> lines;
    for (const SchemaTable& table : description.tables) {
        const std::string& t = table.name;
        lines.push_back("table\t" + t);
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const SchemaColumn& c = table.columns[i];
            char position[24];
            std::snprintf(position, sizeof position, "%03zu", i + 1);
            lines.push_back("column\t" + t + "\t" + position + "\t" + c.name + "\t" + (c.notNull ? "1" : "0"));
            if (c.unique)
                lines.push_back("unique\t" + t + "\t" + c.name);
        }
        if (!table.primaryKey.empty())
            lines.push_back("pk\t" + t + "\t" + Join(table.primaryKey));
        for (const auto& key : table.uniqueKeys)
            lines.push_back("unique\t" + t + "\t" + Join(key));
        for (const SchemaForeignKey& key : table.foreignKeys)
            lines.push_back("fk\t" + t + "\t" + Join(key.columns) + "\t" + key.refTable + "\t" + Join(key.refColumns));
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}
