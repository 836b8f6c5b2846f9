#pragma once

#include "LiveError.h"

#include <string>
#include <string_view>
#include <vector>

enum class DatabaseKind {
    Sqlite,
    PostgreSql,
    MariaDb, // MariaDB and MySQL
};

// Where a live database is and how to log in. Built from a SOURCE text
// (ParseDatabaseSource) or field by field by a dialog. The password lives
// in memory only: Describe() and every message leave it out.
struct DatabaseSource {
    DatabaseKind kind = DatabaseKind::Sqlite;
    std::string path;     // SQLite: the database file
    std::string conninfo; // PostgreSQL: a libpq URI or key=value string, as given
    // Server fields. For PostgreSQL they add to, and win over, the conninfo;
    // empty fields leave libpq its defaults (PGHOST, ~/.pgpass ...).
    std::string host;     // name or address; PostgreSQL also takes a socket folder
    int port = 0;         // 0: the client library's default
    std::string database; // PostgreSQL dbname; MariaDB default database
    std::string user;
    std::string password;
    std::string socket; // MariaDB: the Unix socket file
    int connectTimeoutSeconds = 10;
    int readTimeoutSeconds = 60; // longest wait for an answer while reading

    // The source for people and for lists of recent connections, never with
    // its password: the file path, or postgresql://user@host:port/db and
    // mariadb://user@host:port/db.
    std::string Describe() const;
    // The passwords a message could echo (the field, or one inside the
    // conninfo), to be masked.
    std::vector<std::string> Secrets() const;
};

// Reads a SOURCE text:
//   PATH or sqlite:PATH (sqlite:///abs/path too)   a SQLite database file
//   postgresql://... or postgres://...            a libpq URI
//   postgresql:KEY=VALUE ... or KEY=VALUE ...     a libpq conninfo string
//   mariadb://[user[:password]@]host[:port][/database][?socket=PATH]
//   mysql://... the same
// Syntax only: nothing is opened or contacted.
LiveResult<DatabaseSource> ParseDatabaseSource(std::string_view text);

// Masks each secret in a message and folds it into one line.
std::string CleanMessage(std::string_view message, const std::vector<std::string>& secrets);
