#pragma once

#include "DatabaseSource.h"

#include <QList>
#include <QString>

class QSettings;

// What the Import from Database dialog asks for, but the password: the
// kind of database, the SQLite file, or the server's host, port, database
// and user. The program remembers recent connections in this form, so a
// password never reaches the settings.
struct ConnectionFields {
    DatabaseKind kind = DatabaseKind::Sqlite;
    QString path;
    // A host name or address. A path here names the server's Unix socket:
    // libpq's socket folder, or the MariaDB socket file.
    QString host;
    int port = 0; // 0: the client library's default
    QString database;
    QString user;

    // The source to connect to, with the password given (empty lets libpq
    // find one in PGPASSWORD or ~/.pgpass).
    DatabaseSource Source(const QString& password = QString()) const;
    // The connection as a person reads it, never with a password.
    QString Label() const;

    bool operator==(const ConnectionFields&) const = default;
};

// The recent connections kept, most recent first.
inline constexpr int kMaxRecentConnections = 8;

// Puts fields first in the list, once, and drops the oldest past the limit.
void RememberConnection(QList<ConnectionFields>& recent, const ConnectionFields& fields);

// The "Recent Connections" group of the settings. An entry of an unknown
// kind is left out; a port out of range reads as the default.
QList<ConnectionFields> ReadRecentConnections(QSettings& settings);
void WriteRecentConnections(QSettings& settings, const QList<ConnectionFields>& recent);
