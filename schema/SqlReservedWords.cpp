#include "SqlReservedWords.h"

#include <array>

namespace {

// PostgreSQL 15: the reserved keywords and those reserved except as
// function or type names (pg_get_keywords() categories R and T).
constexpr std::array<std::string_view, 100> kPostgreSQL = {
    "all", "analyse", "analyze", "and", "any", "array", "as", "asc", "asymmetric", "authorization", "binary",
    "both", "case", "cast", "check", "collate", "collation", "column", "concurrently", "constraint", "create",
    "cross", "current_catalog", "current_date", "current_role", "current_schema", "current_time",
    "current_timestamp", "current_user", "default", "deferrable", "desc", "distinct", "do", "else", "end",
    "except", "false", "fetch", "for", "foreign", "freeze", "from", "full", "grant", "group", "having", "ilike",
    "in", "initially", "inner", "intersect", "into", "is", "isnull", "join", "lateral", "leading", "left",
    "like", "limit", "localtime", "localtimestamp", "natural", "not", "notnull", "null", "offset", "on", "only",
    "or", "order", "outer", "overlaps", "placing", "primary", "references", "returning", "right", "select",
    "session_user", "similar", "some", "symmetric", "table", "tablesample", "then", "to", "trailing", "true",
    "union", "unique", "user", "using", "variadic", "verbose", "when", "where", "window", "with"
};

// MariaDB 10.11's reserved words with MySQL 8.0's, so that one script
// runs in both.
constexpr std::array<std::string_view, 277> kMySQL = {
    "accessible", "add", "all", "alter", "analyze", "and", "as", "asc", "asensitive", "before", "between",
    "bigint", "binary", "blob", "both", "by", "call", "cascade", "case", "change", "char", "character", "check",
    "collate", "column", "condition", "constraint", "continue", "convert", "create", "cross", "cube",
    "cume_dist", "current_date", "current_role", "current_time", "current_timestamp", "current_user", "cursor",
    "database", "databases", "day_hour", "day_microsecond", "day_minute", "day_second", "dec", "decimal",
    "declare", "default", "delayed", "delete", "delete_domain_id", "dense_rank", "desc", "describe",
    "deterministic", "distinct", "distinctrow", "div", "do_domain_ids", "double", "drop", "dual", "each",
    "else", "elseif", "empty", "enclosed", "escaped", "except", "exists", "exit", "explain", "false", "fetch",
    "first_value", "float", "float4", "float8", "for", "force", "foreign", "from", "fulltext", "function",
    "generated", "get", "grant", "group", "grouping", "groups", "having", "high_priority", "hour_microsecond",
    "hour_minute", "hour_second", "if", "ignore", "ignore_domain_ids", "in", "index", "infile", "inner",
    "inout", "insensitive", "insert", "int", "int1", "int2", "int3", "int4", "int8", "integer", "intersect",
    "interval", "into", "io_after_gtids", "io_before_gtids", "is", "iterate", "join", "json_table", "key",
    "keys", "kill", "lag", "last_value", "lateral", "lead", "leading", "leave", "left", "like", "limit",
    "linear", "lines", "load", "localtime", "localtimestamp", "lock", "long", "longblob", "longtext", "loop",
    "low_priority", "master_bind", "master_demote_to_replica", "master_demote_to_slave",
    "master_ssl_verify_server_cert", "match", "maxvalue", "mediumblob", "mediumint", "mediumtext", "middleint",
    "minute_microsecond", "minute_second", "mod", "modifies", "natural", "no_write_to_binlog", "not",
    "nth_value", "ntile", "null", "numeric", "of", "offset", "on", "optimize", "optimizer_costs", "option",
    "optionally", "or", "order", "out", "outer", "outfile", "over", "page_checksum", "parse_vcol_expr",
    "partition", "percent_rank", "portion", "precision", "primary", "procedure", "purge", "range", "rank",
    "read", "read_write", "reads", "real", "recursive", "ref_system_id", "references", "regexp", "release",
    "rename", "repeat", "replace", "require", "resignal", "restrict", "return", "returning", "revoke", "right",
    "rlike", "row", "row_number", "rows", "schema", "schemas", "second_microsecond", "select", "sensitive",
    "separator", "set", "show", "signal", "smallint", "spatial", "specific", "sql", "sql_big_result",
    "sql_calc_found_rows", "sql_small_result", "sqlexception", "sqlstate", "sqlwarning", "ssl", "starting",
    "stats_auto_recalc", "stats_persistent", "stats_sample_pages", "stored", "straight_join", "system", "table",
    "terminated", "then", "tinyblob", "tinyint", "tinytext", "to", "trailing", "trigger", "true", "undo",
    "union", "unique", "unlock", "unsigned", "update", "usage", "use", "using", "utc_date", "utc_time",
    "utc_timestamp", "values", "varbinary", "varchar", "varcharacter", "varying", "virtual", "when", "where",
    "while", "window", "with", "write", "xor", "year_month", "zerofill"
};

// SQLite 3.40: the keywords it refuses as a bare table name, column name
// or name in a key's column list.
constexpr std::array<std::string_view, 64> kSQLite = {
    "add", "all", "alter", "and", "as", "autoincrement", "between", "case", "cast", "check", "collate",
    "commit", "constraint", "create", "current_date", "current_time", "current_timestamp", "default",
    "deferrable", "delete", "distinct", "drop", "else", "escape", "except", "exists", "foreign", "from",
    "group", "having", "if", "in", "index", "insert", "intersect", "into", "is", "isnull", "join", "limit",
    "not", "nothing", "notnull", "null", "on", "or", "order", "primary", "raise", "references", "returning",
    "select", "set", "table", "then", "to", "transaction", "union", "unique", "update", "using", "values",
    "when", "where"
};

// Transact-SQL's reserved keywords ("WITHIN GROUP" counts through WITHIN).
constexpr std::array<std::string_view, 185> kSQLServer = {
    "add", "all", "alter", "and", "any", "as", "asc", "authorization", "backup", "begin", "between", "break",
    "browse", "bulk", "by", "cascade", "case", "check", "checkpoint", "close", "clustered", "coalesce",
    "collate", "column", "commit", "compute", "constraint", "contains", "containstable", "continue", "convert",
    "create", "cross", "current", "current_date", "current_time", "current_timestamp", "current_user", "cursor",
    "database", "dbcc", "deallocate", "declare", "default", "delete", "deny", "desc", "disk", "distinct",
    "distributed", "double", "drop", "dump", "else", "end", "errlvl", "escape", "except", "exec", "execute",
    "exists", "exit", "external", "fetch", "file", "fillfactor", "for", "foreign", "freetext", "freetexttable",
    "from", "full", "function", "goto", "grant", "group", "having", "holdlock", "identity", "identity_insert",
    "identitycol", "if", "in", "index", "inner", "insert", "intersect", "into", "is", "join", "key", "kill",
    "left", "like", "lineno", "load", "merge", "national", "nocheck", "nonclustered", "not", "null", "nullif",
    "of", "off", "offsets", "on", "open", "opendatasource", "openquery", "openrowset", "openxml", "option",
    "or", "order", "outer", "over", "percent", "pivot", "plan", "precision", "primary", "print", "proc",
    "procedure", "public", "raiserror", "read", "readtext", "reconfigure", "references", "replication",
    "restore", "restrict", "return", "revert", "revoke", "right", "rollback", "rowcount", "rowguidcol", "rule",
    "save", "schema", "securityaudit", "select", "semantickeyphrasetable", "semanticsimilaritydetailstable",
    "semanticsimilaritytable", "session_user", "set", "setuser", "shutdown", "some", "statistics",
    "system_user", "table", "tablesample", "textsize", "then", "to", "top", "tran", "transaction", "trigger",
    "truncate", "try_convert", "tsequal", "union", "unique", "unpivot", "update", "updatetext", "use", "user",
    "values", "varying", "view", "waitfor", "when", "where", "while", "with", "within", "writetext"
};

// The words Korvo's own import reads as keywords; it matches them in
// upper case only, so these are compared as they are.
constexpr std::array<std::string_view, 40> kKorvo = {
    "ALL", "AND", "ANY", "ASC", "AUTO_INCREMENT", "AVG", "BETWEEN", "BY", "CHECK", "CLOSE", "COUNT", "DEFAULT",
    "DISTINCT", "DOUBLE", "ESCAPE", "EXISTS", "FOREIGN", "FROM", "GROUP", "HAVING", "IN", "INDICATOR", "IS",
    "KEY", "LIKE", "MAX", "MIN", "NOT", "NULL", "OR", "PRECISION", "PRIMARY", "REFERENCES", "SELECT", "SOME",
    "SUM", "UNIQUE", "UNSIGNED", "USER", "WHERE"
};

} // namespace

std::span<const std::string_view> ReservedWords(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::PostgreSql: return kPostgreSQL;
    case SqlDialect::MySql: return kMySQL;
    case SqlDialect::Sqlite: return kSQLite;
    case SqlDialect::SqlServer: return kSQLServer;
    case SqlDialect::Korvo: return kKorvo;
    default: break;
    }
    return {};
}
