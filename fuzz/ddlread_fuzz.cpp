// libFuzzer target: arbitrary bytes as the SQL file of one import. The file
// lives in memory (memfd) and is opened by path like any script.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ddlread.h"

namespace {

int ScriptDescriptor()
{
    static int fd = [] {
        int created = memfd_create("ddlread-fuzz.sql", 0);
        if (created < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        return created;
    }();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = ScriptDescriptor();
    if (ftruncate(fd, 0) != 0 ||
        (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    // The last byte picks a trace and a small error buffer now and then, so
    // those paths run too.
    const uint8_t choice = size > 0 ? data[size - 1] : 0;
    char error[500];
    const int32_t errorSize = (choice & 0x10) ? 7 : static_cast<int32_t>(sizeof error);
    TableData* list = ImportSQLTables(path.c_str(), error, errorSize,
                                      (choice & 0x20) ? "/dev/null" : nullptr);
    if (!memchr(error, '\0', static_cast<size_t>(errorSize))) {
        std::abort();  // the error text must always be terminated
    }
    size_t tables = 0;
    for (const TableData* table = list; table; table = table->next) {
        if (!memchr(table->name, '\0', sizeof table->name)) {
            std::abort();
        }
        for (const ColumnData* c = table->columns; c; c = c->next) {
            if (!memchr(c->check, '\0', sizeof c->check) ||
                !memchr(c->refColumns, '\0', sizeof c->refColumns)) {
                std::abort();
            }
        }
        ++tables;
    }
    if (!list && error[0] == '\0') {
        std::abort();  // a failed import always says why
    }
    FreeTableData(list);
    return 0;
}
