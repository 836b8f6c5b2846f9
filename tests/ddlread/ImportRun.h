#pragma once

#include <string>
#include <vector>

// Plain copies of the library's records, so tests compare values and never
// hold records past FreeTableData.
struct ColumnRecord {
    int flags = 0;
    std::string name;
    std::string type;
    std::string defaultValue;
    std::string refTable;
    std::string refColumns;
    std::string check;
};

struct ConstraintRecord {
    int kind = 0;
    std::string refTable;
    std::string columns;
    std::string refColumns;
    std::string check;
};

struct TableRecord {
    std::string name;
    std::vector<ColumnRecord> columns;
    std::vector<ConstraintRecord> constraints;
};

// One import of a script through the public entry points: the outcome, the
// records and the error text; the trace when asked for.
struct ImportRun {
    bool succeeded = false;
    std::vector<TableRecord> tables;
    std::string error;
    std::string trace;
    // Text fields found without their NUL inside the field.
    int unterminatedFields = 0;

    static ImportRun OfScript(const std::string& sql, bool withTrace = false);
    static ImportRun OfPath(const std::string& path, bool withTrace = false);

    const ColumnRecord& OnlyColumn() const;
    const ConstraintRecord& OnlyConstraint() const;
};

// A file in the test's scratch directory, removed when the object goes.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& content);
    ScratchFile();
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Read() const;

private:
    std::string m_path;
};
