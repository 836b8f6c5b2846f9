#include "CSchemaBuilder.h"

#include "CSqlTokenizer.h"

#include <algorithm>

namespace {

std::string Folded(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

bool SameKey(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    return a == b;
}

} // namespace

CSchemaBuilder::CSchemaBuilder(SqlDialect dialect) : m_dialect(dialect) {}

std::string CSchemaBuilder::Key(std::string_view schema, std::string_view name)
{
    std::string key(schema);
    key += '\x1f';
    key += name;
    return key;
}

void CSchemaBuilder::Index(size_t position)
{
    const SchemaTable& table = *m_tables[position];
    m_exact.emplace(Key(table.schema, table.name), position);
    m_byFoldedName[Folded(table.name)].push_back(position);
}

SchemaTable* CSchemaBuilder::Create(std::string_view schema, std::string_view name)
{
    // SQL Server and SQLite compare names ignoring case, the others exactly.
    const bool ignoreCase = m_dialect == SqlDialect::SqlServer || m_dialect == SqlDialect::Sqlite;
    if (const SchemaTable* existing = Find(schema, name))
        if (existing->schema == schema && (existing->name == name || ignoreCase))
            return nullptr;
    auto table = std::make_unique<SchemaTable>();
    table->schema = std::string(schema);
    table->name = std::string(name);
    m_tables.push_back(std::move(table));
    Index(m_tables.size() - 1);
    ++m_live;
    return m_tables.back().get();
}

SchemaTable* CSchemaBuilder::Find(std::string_view schema, std::string_view name)
{
    auto exact = m_exact.find(Key(schema, name));
    if (exact != m_exact.end() && m_tables[exact->second])
        return m_tables[exact->second].get();
    auto it = m_byFoldedName.find(Folded(name));
    if (it == m_byFoldedName.end())
        return nullptr;
    SchemaTable* best = nullptr;
    int bestScore = -1;
    for (size_t position : it->second) {
        SchemaTable* table = m_tables[position].get();
        if (!table)
            continue;
        // A qualified name matches its schema or a table made without one;
        // an unqualified one matches any schema.
        if (!schema.empty() && !table->schema.empty() && !EqualsIgnoreCase(table->schema, schema))
            continue;
        int score = (table->name == name ? 2 : 0) + (table->schema == schema ? 1 : 0);
        if (score > bestScore) {
            best = table;
            bestScore = score;
        }
    }
    return best;
}

bool CSchemaBuilder::Drop(std::string_view schema, std::string_view name)
{
    SchemaTable* table = Find(schema, name);
    if (!table)
        return false;
    for (auto& other : m_tables) {
        if (!other || other.get() == table)
            continue;
        std::erase_if(other->foreignKeys, [this, table](const SchemaForeignKey& key) {
            return Find(key.refSchema, key.refTable) == table;
        });
    }
    std::erase_if(m_partitions, [table](const auto& link) { return link.first == table || link.second == table; });
    for (auto& slot : m_tables) {
        if (slot.get() == table) {
            m_exact.erase(Key(table->schema, table->name));
            slot.reset();
            break;
        }
    }
    --m_live;
    return true;
}

void CSchemaBuilder::AttachPartition(SchemaTable* parent, SchemaTable* child)
{
    if (parent && child && parent != child)
        m_partitions.emplace_back(parent, child);
}

SchemaColumn* CSchemaBuilder::ResolveColumn(SchemaTable& table, std::string_view name)
{
    if (SchemaColumn* column = table.FindColumn(name))
        return column;
    for (SchemaColumn& column : table.columns)
        if (EqualsIgnoreCase(column.name, name))
            return &column;
    return nullptr;
}

SchemaDescription CSchemaBuilder::Finish()
{
    // Names in keys as the columns spell them; unknown names are left out,
    // as the engine would have refused them.
    auto resolveList = [](SchemaTable& table, std::vector<std::string>& names) {
        std::vector<std::string> resolved;
        for (const std::string& name : names)
            if (SchemaColumn* column = ResolveColumn(table, name))
                if (std::find(resolved.begin(), resolved.end(), column->name) == resolved.end())
                    resolved.push_back(column->name);
        names = std::move(resolved);
    };

    for (auto& slot : m_tables) {
        if (!slot)
            continue;
        SchemaTable& table = *slot;
        resolveList(table, table.primaryKey);
        for (auto& key : table.uniqueKeys)
            resolveList(table, key);
    }

    // A partition holds its parent's keys, as the engine copies them when
    // the partition is created or attached.
    for (const auto& [parent, child] : m_partitions) {
        if (child->primaryKey.empty())
            child->primaryKey = parent->primaryKey;
        for (const auto& key : parent->uniqueKeys)
            if (std::none_of(child->uniqueKeys.begin(), child->uniqueKeys.end(),
                             [&key](const auto& k) { return SameKey(k, key); }))
                child->uniqueKeys.push_back(key);
        for (const SchemaColumn& column : parent->columns)
            if (column.unique)
                if (SchemaColumn* own = ResolveColumn(*child, column.name))
                    own->unique = true;
        for (const SchemaForeignKey& key : parent->foreignKeys) {
            const bool present = std::any_of(child->foreignKeys.begin(), child->foreignKeys.end(),
                                             [&key](const SchemaForeignKey& k) {
                                                 return k.columns == key.columns && k.refTable == key.refTable &&
                                                        k.refSchema == key.refSchema;
                                             });
            if (!present)
                child->foreignKeys.push_back(key);
        }
    }

    SchemaDescription description;
    description.rules = MergeRules::Dialect;
    for (auto& slot : m_tables) {
        if (!slot)
            continue;
        SchemaTable& table = *slot;
        for (const std::string& name : table.primaryKey) {
            SchemaColumn* column = table.FindColumn(name);
            column->primaryKey = true;
            // Every engine but SQLite makes key columns NOT NULL.
            if (m_dialect != SqlDialect::Sqlite)
                column->notNull = true;
        }
        std::vector<std::vector<std::string>> keys;
        for (auto& key : table.uniqueKeys) {
            if (key.empty())
                continue;
            if (key.size() == 1) {
                table.FindColumn(key.front())->unique = true;
                continue;
            }
            if (std::none_of(keys.begin(), keys.end(), [&key](const auto& k) { return SameKey(k, key); }))
                keys.push_back(std::move(key));
        }
        table.uniqueKeys = std::move(keys);

        for (SchemaForeignKey& key : table.foreignKeys) {
            resolveList(table, key.columns);
            SchemaTable* ref = Find(key.refSchema, key.refTable);
            if (!ref)
                continue;
            key.refSchema = ref->schema;
            key.refTable = ref->name;
            if (key.refColumns.empty())
                key.refColumns = ref->primaryKey;
            else
                resolveList(*ref, key.refColumns);
        }
    }
    for (auto& slot : m_tables)
        if (slot)
            description.tables.push_back(std::move(*slot));
    m_tables.clear();
    m_exact.clear();
    m_byFoldedName.clear();
    m_partitions.clear();
    m_live = 0;
    return description;
}
