#include "SchemaTestDiagrams.h"

#include "DiagramFile.h"

#include <stdexcept>

KorvoTableView* AddSchemaTable(CKorvoDoc& doc, const std::string& name, std::vector<ColumnSpec> columns,
                               const std::string& check, const std::string& description)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_def.m_strCheck = check;
    table->m_def.m_strDescription = description;
    for (ColumnSpec& c : columns)
        table->m_def.AddColumn(std::make_unique<CColumn>(c.name, c.type, c.required, c.defaultValue, c.primaryKey,
                                                         c.unique, c.check, c.description));
    return doc.AddTable(std::move(table));
}

CRelation* AddSchemaRelation(CKorvoDoc& doc, KorvoTableView* source, std::initializer_list<int> sourceColumns,
                             KorvoTableView* dest, std::initializer_list<int> destColumns)
{
    auto relation = std::make_unique<CRelation>(source, nullptr, dest, nullptr);
    relation->m_sourceColumns.clear();
    relation->m_destColumns.clear();
    for (int i : sourceColumns)
        relation->m_sourceColumns.push_back(CKorvoDoc::GetColumn(source, i));
    for (int i : destColumns)
        relation->m_destColumns.push_back(CKorvoDoc::GetColumn(dest, i));
    return doc.AddRelation(std::move(relation));
}

std::unique_ptr<CKorvoDoc> BuildAwkwardDiagram()
{
    auto doc = std::make_unique<CKorvoDoc>();
    CKorvoDoc& d = *doc;
    // Sources come before their destinations in document order, so the
    // export's order differs from the diagram's.
    KorvoTableView* details = AddSchemaTable(d, "Customer Details",
        {{"id", "INTEGER", true, "", true},
         {"order", "INTEGER"},
         {"e-mail", "VARCHAR(120)", false, "", false, true, "", "Unique when given"},
         {"note", "TEXT", false, "'n/a'"}});
    KorvoTableView* order = AddSchemaTable(d, "order",
        {{"select", "INTEGER", true, "", true, false, "", "Number of the order"},
         {"Group Name", "VARCHAR(40)", true},
         {"straße", "VARCHAR(20)", false, "'Hauptstraße'"},
         {"MixedCase", "INTEGER", false, "", false, true}},
        "", "Orders, with a quote ' a backslash \\ and\nsecond line");
    KorvoTableView* unicode = AddSchemaTable(d, "Ärger",
        {{"ключ", "INTEGER", true, "", true}, {"注释", "TEXT", false, "'日本語'", false, false, "", "説明 ü"}},
        "", "Таблица");
    KorvoTableView* employee = AddSchemaTable(d, "employee",
        {{"id", "INTEGER", true, "", true}, {"manager_id", "INTEGER"}, {"name", "VARCHAR(80)", true}});
    KorvoTableView* a = AddSchemaTable(d, "cycle_a", {{"id", "INTEGER", true, "", true}, {"b_id", "INTEGER"}});
    KorvoTableView* b = AddSchemaTable(d, "cycle_b", {{"id", "INTEGER", true, "", true}, {"c_id", "INTEGER"}});
    KorvoTableView* c = AddSchemaTable(d, "cycle_c", {{"id", "INTEGER", true, "", true}, {"a_id", "INTEGER"}});
    KorvoTableView* shipment = AddSchemaTable(d, "shipment",
        {{"id", "INTEGER", true, "", true}, {"line_no", "INTEGER", true}, {"order_id", "INTEGER", true}});
    KorvoTableView* line = AddSchemaTable(d, "order_line",
        {{"order_id", "INTEGER", true, "", true},
         {"line_no", "INTEGER", true, "", true},
         {"qty", "INTEGER", true, "1", false, false, "qty > 0"}},
        "line_no > 0");
    KorvoTableView* mixed = AddSchemaTable(d, "MixedCase", {{"Id", "INTEGER", true, "", true}, {"Value", "VARCHAR(10)"}});
    KorvoTableView* user = AddSchemaTable(d, "user",
        {{"id", "INTEGER", true, "", true},
         {"key", "VARCHAR(10)", false, "", false, true},
         {"rank", "INTEGER"},
         {"file", "TEXT"},
         {"index", "INTEGER"},
         {"1st", "INTEGER"},
         {"_under", "INTEGER"}});
    AddSchemaTable(d, "log", {{"at", "TIMESTAMP"}, {"message", "TEXT"}});
    KorvoTableView* tag = AddSchemaTable(d, "tag", {{"code", "TEXT", true, "", true}, {"label", "TEXT"}});
    KorvoTableView* tagged = AddSchemaTable(d, "tagged",
        {{"id", "INTEGER", true, "", true}, {"tag_code", "TEXT", true}, {"alias", "TEXT", false, "", false, true}});

    AddSchemaRelation(d, details, {1}, order, {0});
    AddSchemaRelation(d, employee, {1}, employee, {0});
    AddSchemaRelation(d, a, {1}, b, {0});
    AddSchemaRelation(d, b, {1}, c, {0});
    AddSchemaRelation(d, c, {1}, a, {0});
    AddSchemaRelation(d, line, {0}, order, {0});
    // Names the key's columns the other way round.
    AddSchemaRelation(d, shipment, {1, 2}, line, {1, 0});
    AddSchemaRelation(d, mixed, {0}, unicode, {0});
    AddSchemaRelation(d, user, {2}, mixed, {0});
    AddSchemaRelation(d, tagged, {1}, tag, {0});
    AddSchemaRelation(d, details, {3}, tagged, {2});
    return doc;
}

std::unique_ptr<CKorvoDoc> BuildTypeDiagram()
{
    auto doc = std::make_unique<CKorvoDoc>();
    CKorvoDoc& d = *doc;
    AddSchemaTable(d, "types",
        {{"id", "INTEGER", true, "", true},
         {"t_tinyint", "tinyint", false, "-5"},
         {"t_smallint", "smallint"},
         {"t_mediumint", "mediumint"},
         {"t_int", "int"},
         {"t_int11", "int(11)", false, "(0)"},
         {"t_bigint", "bigint"},
         {"t_int_unsigned", "int unsigned"},
         {"t_bigint_unsigned", "BIGINT UNSIGNED"},
         {"t_tinyint1", "tinyint(1)", false, "1"},
         {"t_boolean", "boolean", false, "true"},
         {"t_bool", "bool", false, "'f'"},
         {"t_bit", "bit", false, "b'1'"},
         {"t_bit8", "bit(8)", false, "B'00000101'"},
         {"t_decimal", "decimal(10,2)", false, "0::numeric"},
         {"t_numeric", "numeric"},
         {"t_number", "NUMBER(10,2)"},
         {"t_number_bare", "NUMBER"},
         {"t_money", "money"},
         {"t_smallmoney", "smallmoney"},
         {"t_real", "real"},
         {"t_float", "float"},
         {"t_float_ps", "float(10,2)"},
         {"t_double", "double"},
         {"t_double_precision", "double precision"},
         {"t_float8", "float8"},
         {"t_char", "char(4)", false, "'ab'"},
         {"t_nchar", "nchar(4)"},
         {"t_character", "character(3)"},
         {"t_varchar", "varchar(40)"},
         {"t_character_varying", "character varying(40)", false, "'x'::character varying"},
         {"t_varchar2", "VARCHAR2(20 BYTE)"},
         {"t_nvarchar", "NVARCHAR(40)"},
         {"t_nvarchar_max", "nvarchar(max)"},
         {"t_varchar_bare", "varchar"},
         {"t_text", "text", false, "'it''s'"},
         {"t_tinytext", "tinytext"},
         {"t_longtext", "longtext"},
         {"t_clob", "CLOB"},
         {"t_ntext", "ntext"},
         {"t_string", "string"},
         {"t_citext", "citext"},
         {"t_binary", "binary(16)"},
         {"t_varbinary", "varbinary(32)"},
         {"t_blob", "blob"},
         {"t_bytea", "bytea"},
         {"t_image", "image"},
         {"t_raw", "RAW(8)"},
         {"t_date", "date", false, "CURRENT_DATE"},
         {"t_time", "time", false, "CURRENT_TIME"},
         {"t_timetz", "time with time zone"},
         {"t_timestamp", "timestamp", false, "now()"},
         {"t_timestamp3", "timestamp(3)", false, "CURRENT_TIMESTAMP"},
         {"t_timestamptz", "timestamp with time zone", true, "now()"},
         {"t_timestamptz_short", "timestamptz"},
         {"t_timestamp_wotz", "timestamp without time zone"},
         {"t_datetime", "datetime", false, "getdate()"},
         {"t_datetime2", "datetime2(7)"},
         {"t_smalldatetime", "smalldatetime"},
         {"t_datetimeoffset", "datetimeoffset"},
         {"t_year", "year"},
         {"t_interval", "interval"},
         {"t_uuid", "uuid", false, "gen_random_uuid()"},
         {"t_uniqueidentifier", "uniqueidentifier", false, "newid()"},
         {"t_json", "json"},
         {"t_jsonb", "jsonb", false, "'{}'::jsonb"},
         {"t_xml", "xml"},
         {"t_enum", "enum('a','b''c')", false, "'a'"},
         {"t_set", "set('x','y')"},
         {"t_int_array", "integer[]"},
         {"t_text_array", "text[][]"},
         {"t_rating", "public.mpaa_rating", false, "'G'::public.mpaa_rating"},
         {"t_year_domain", "public.year"},
         {"t_tsvector", "tsvector"},
         {"t_geometry", "geometry"},
         {"t_hierarchyid", "hierarchyid"},
         {"t_charset", "VARCHAR(10) CHARACTER SET latin1 COLLATE latin1_bin"},
         {"t_none", ""},
         {"t_null_default", "varchar(10)", false, "NULL"},
         {"t_expression", "integer", false, "(1 + 2)"},
         {"t_unsigned_check", "smallint unsigned", false, "", false, false, "t_unsigned_check < 1000"},
         {"t_generated", "numeric(6,2) GENERATED ALWAYS AS (t_int / 60.0) VIRTUAL"}});
    AddSchemaTable(d, "serial_t", {{"id", "serial", true, "", true}, {"label", "text"}});
    AddSchemaTable(d, "bigserial_t", {{"id", "bigserial", true, "", true}});
    AddSchemaTable(d, "auto_t", {{"id", "INT AUTO_INCREMENT", true, "", true}, {"label", "VARCHAR(10)"}});
    AddSchemaTable(d, "identity_t", {{"id", "int IDENTITY(1,1)", true, "", true}});
    AddSchemaTable(d, "generated_identity_t", {{"id", "bigint GENERATED BY DEFAULT AS IDENTITY", true, "", true}});
    AddSchemaTable(d, "nextval_t", {{"id", "integer", true, "nextval('public.nextval_t_id_seq'::regclass)", true}});
    AddSchemaTable(d, "autoincrement_t", {{"id", "INTEGER AUTOINCREMENT", true, "", true}});
    // Numbered but not the table's key: MySQL and SQLite cannot number it.
    AddSchemaTable(d, "auto_not_key",
        {{"code", "VARCHAR(10)", true, "", true}, {"seq", "int AUTO_INCREMENT", true, "", false, false, "seq > 0"}});
    return doc;
}

std::unique_ptr<CKorvoDoc> LoadExampleDiagram()
{
    auto doc = std::make_unique<CKorvoDoc>();
    const LoadOutcome outcome = LoadDiagramFile(KORVO_EXAMPLE_ERD, *doc);
    if (outcome.status != LoadStatus::Loaded)
        throw std::runtime_error("cannot read " + std::string(KORVO_EXAMPLE_ERD) + ": " + outcome.text);
    return doc;
}
