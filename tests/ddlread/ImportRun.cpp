#include "ImportRun.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>
#include <unistd.h>

#include "ddlread.h"

namespace {

template <size_t N>
std::string Field(const char (&field)[N], int& unterminated)
{
    size_t length = strnlen(field, N);
    if (length == N) {
        ++unterminated;
    }
    return std::string(field, length);
}

std::string ScratchPath()
{
    static std::atomic<int> counter{0};
    return testing::TempDir() + "ddlread_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++);
}

}  // namespace

ScratchFile::ScratchFile() : m_path(ScratchPath()) {}

ScratchFile::ScratchFile(const std::string& content) : ScratchFile()
{
    std::ofstream out(m_path, std::ios::binary);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + m_path);
    }
}

ScratchFile::~ScratchFile()
{
    std::remove(m_path.c_str());
}

std::string ScratchFile::Read() const
{
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ImportRun ImportRun::OfScript(const std::string& sql, bool withTrace)
{
    ScratchFile file(sql);
    return OfPath(file.Path(), withTrace);
}

ImportRun ImportRun::OfPath(const std::string& path, bool withTrace)
{
    ScratchFile trace;
    char error[500];
    std::memset(error, 'x', sizeof error);
    TableData* list = ImportSQLTables(path.c_str(), error, sizeof error,
                                      withTrace ? trace.Path().c_str() : nullptr);
    ImportRun run;
    run.succeeded = list != nullptr;
    run.error = Field(error, run.unterminatedFields);
    for (TableData* table = list; table; table = table->next) {
        TableRecord record;
        record.name = Field(table->name, run.unterminatedFields);
        for (ColumnData* c = table->columns; c; c = c->next) {
            ColumnRecord column;
            column.flags = c->flags;
            column.name = Field(c->name, run.unterminatedFields);
            column.type = Field(c->type, run.unterminatedFields);
            column.defaultValue = Field(c->defaultValue, run.unterminatedFields);
            column.refTable = Field(c->refTable, run.unterminatedFields);
            column.refColumns = Field(c->refColumns, run.unterminatedFields);
            column.check = Field(c->check, run.unterminatedFields);
            record.columns.push_back(column);
        }
        for (ConstraintData* c = table->constraints; c; c = c->next) {
            ConstraintRecord constraint;
            constraint.kind = c->kind;
            constraint.refTable = Field(c->refTable, run.unterminatedFields);
            constraint.columns = Field(c->columns, run.unterminatedFields);
            constraint.refColumns = Field(c->refColumns, run.unterminatedFields);
            constraint.check = Field(c->check, run.unterminatedFields);
            record.constraints.push_back(constraint);
        }
        run.tables.push_back(record);
    }
    FreeTableData(list);
    if (withTrace) {
        run.trace = trace.Read();
    }
    return run;
}

const ColumnRecord& ImportRun::OnlyColumn() const
{
    if (tables.size() != 1 || tables[0].columns.size() != 1) {
        throw std::logic_error("expected one table with one column; error: " +
                               error);
    }
    return tables[0].columns[0];
}

const ConstraintRecord& ImportRun::OnlyConstraint() const
{
    if (tables.size() != 1 || tables[0].constraints.size() != 1) {
        throw std::logic_error("expected one table with one constraint; error: " +
                               error);
    }
    return tables[0].constraints[0];
}
