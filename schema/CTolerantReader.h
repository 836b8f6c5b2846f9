#pragma once

#include "CSqlTokenizer.h"
#include "ImportReport.h"
#include "SchemaDescription.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CSchemaBuilder;

// Korvo's own reader of schema scripts for dialects without an engine here
// (MySQL/MariaDB, SQL Server, Oracle, DB2), and for the PostgreSQL
// statements its parser rejects. Reads CREATE TABLE, ALTER TABLE ... ADD,
// COMMENT ON, MySQL COMMENT, CREATE UNIQUE INDEX and DROP TABLE by
// recursive descent over the dialect's tokens; any other statement is
// skipped to its end and counted, and a statement it cannot read is
// reported with its line and left out. Nothing in a script is fatal.
class CTolerantReader {
public:
    CTolerantReader(std::string_view script, SqlDialect dialect, CSchemaBuilder& builder, ImportReport& report);

    // Called now and then with the offset reached; returning false stops the read.
    void SetProgress(std::function<bool(size_t)> progress) { m_progress = std::move(progress); }

    // Reads every statement of the script; false when stopped by the progress callback.
    bool ReadAll();
    // Reads the statements between two offsets, the first on the given line.
    void ReadRange(size_t begin, size_t end, int line);

    // Texts at an offset of the script, for the readers of parse trees: a
    // data type as written, the expression after DEFAULT, the condition of
    // a CHECK (the offset may lie before the keyword). Empty when unreadable.
    std::string TypeAt(size_t offset);
    std::string DefaultAt(size_t offset);
    std::string CheckAt(size_t offset);

    static constexpr size_t kMaxNameBytes = ImportReport::kMaxNameBytes;
    static constexpr size_t kMaxTextBytes = ImportReport::kMaxTextBytes;

private:
    struct Failure {
        std::string reason;
        int line = 0;
    };
    struct QualifiedName {
        std::string schema;
        std::string name;
        int line = 0;
    };

    bool ReadStatement();
    void Dispatch(const SqlToken& first, std::string& kind);
    void CreateTable(const SqlToken& first);
    void CreateIndex(bool unique);
    void AlterTable(const SqlToken& first);
    void CommentOn(const SqlToken& first);
    void DropTable();
    void ExecProcedure(const SqlToken& first);

    bool TableElement(SchemaTable& table);
    void ColumnDefinition(SchemaTable& table, bool allowExisting);
    bool TableConstraint(SchemaTable& table, const std::string& constraintName);
    void ColumnConstraints(SchemaTable& table, SchemaColumn& column);
    SchemaForeignKey References();
    std::vector<std::string> KeyColumns();
    std::string CheckBody();
    std::string TypeText();
    std::string ExpressionText();
    void CopyColumns(SchemaTable& table, const SchemaTable& from);
    void InheritColumns(SchemaTable& table, const std::vector<const SchemaTable*>& parents);
    void SkipTableOptions(SchemaTable& table);

    // Tokens.
    const SqlToken& Peek() { return m_tokens.Peek(); }
    SqlToken Take();
    bool Accept(std::string_view keyword);
    void Expect(std::string_view keyword);
    bool AcceptSymbol(char c);
    void ExpectSymbol(char c);
    [[noreturn]] void Fail(std::string reason);
    void SkipBalanced();
    void SkipToElementEnd();
    void SkipStatement();
    bool AtNewStatement();
    std::string Name();
    QualifiedName ReadQualifiedName();
    std::string Text(size_t begin, size_t end, size_t limit);
    std::string Fold(std::string name) const;
    std::string Cut(std::string text, size_t limit);

    CSqlTokenizer m_tokens;
    SqlDialect m_dialect;
    CSchemaBuilder& m_builder;
    ImportReport& m_report;
    std::function<bool(size_t)> m_progress;
    size_t m_lastEnd = 0; // end offset of the last token taken
    size_t m_rangeEnd = 0;
    bool m_closed = false; // the statement being read has been skipped to its end
};
