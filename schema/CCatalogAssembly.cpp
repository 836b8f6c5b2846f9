#include "CCatalogAssembly.h"

#include <algorithm>

CCatalogAssembly::CCatalogAssembly(const std::vector<QualifiedTable>& chosen)
{
    m_chosen.reserve(chosen.size());
    m_tables.reserve(chosen.size());
    m_index.reserve(chosen.size());
    for (const QualifiedTable& table : chosen) {
        if (!m_index.emplace(Key(table.schema, table.name), m_tables.size()).second)
            continue;
        m_chosen.push_back(table);
        SchemaTable& described = m_tables.emplace_back();
        described.schema = table.schema;
        described.name = table.name;
    }
    m_found.assign(m_tables.size(), false);
}

std::string CCatalogAssembly::Key(std::string_view schema, std::string_view name)
{
    std::string key;
    key.reserve(schema.size() + name.size() + 1);
    key.append(schema).push_back('\0');
    key.append(name);
    return key;
}

SchemaTable* CCatalogAssembly::Find(std::string_view schema, std::string_view name)
{
    auto it = m_index.find(Key(schema, name));
    return it == m_index.end() ? nullptr : &m_tables[it->second];
}

void CCatalogAssembly::MarkFound(const SchemaTable& table)
{
    m_found[static_cast<size_t>(&table - m_tables.data())] = true;
}

const QualifiedTable* CCatalogAssembly::FirstMissing() const
{
    for (size_t i = 0; i < m_found.size(); ++i)
        if (!m_found[i])
            return &m_chosen[i];
    return nullptr;
}

void CCatalogAssembly::AddPrimaryKey(SchemaTable& table, std::vector<std::string> columns)
{
    for (const std::string& name : columns)
        if (SchemaColumn* column = table.FindColumn(name))
            column->primaryKey = true;
    table.primaryKey = std::move(columns);
}

void CCatalogAssembly::AddUnique(SchemaTable& table, std::vector<std::string> columns)
{
    if (columns.empty())
        return;
    if (columns.size() == 1) {
        if (SchemaColumn* column = table.FindColumn(columns.front())) {
            column->unique = true;
            return;
        }
    }
    if (std::find(table.uniqueKeys.begin(), table.uniqueKeys.end(), columns) == table.uniqueKeys.end())
        table.uniqueKeys.push_back(std::move(columns));
}

void CCatalogAssembly::AddCheck(SchemaTable& table, std::string_view column, std::string expression)
{
    if (!column.empty()) {
        SchemaColumn* target = table.FindColumn(column);
        if (target && target->check.empty()) {
            target->check = std::move(expression);
            return;
        }
    }
    table.checks.push_back(std::move(expression));
}

SchemaDescription CCatalogAssembly::Finish()
{
    SchemaDescription description;
    description.rules = MergeRules::Dialect;
    description.tables = std::move(m_tables);
    m_tables.clear();
    m_index.clear();
    return description;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string StripOuterParentheses(std::string_view expression)
{
    while (!expression.empty() && expression.front() == ' ')
        expression.remove_prefix(1);
    while (!expression.empty() && expression.back() == ' ')
        expression.remove_suffix(1);
    if (expression.size() < 2 || expression.front() != '(' || expression.back() != ')')
        return std::string(expression);
    // The first parenthesis must close at the very end ("(a) OR (b)" keeps
    // its own). Quotes hide parentheses.
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < expression.size(); ++i) {
        const char c = expression[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0 && i + 1 < expression.size()) {
            return std::string(expression);
        }
    }
    return std::string(expression.substr(1, expression.size() - 2));
}

LiveError TableGoneError(const QualifiedTable& table, bool duringRead)
{
    const std::string name = table.schema.empty() ? table.name : table.schema + "." + table.name;
    if (duringRead)
        return {LiveErrorCode::TableGone, "Table " + name + " was dropped while the catalog was being read"};
    return {LiveErrorCode::TableGone, "Table " + name + " no longer exists in the database"};
}
