#pragma once

#include <string>

// Why a step against a live database failed. The message says it to a
// person; the code lets a caller choose what to offer next (ask for a
// password, list the tables again ...).
enum class LiveErrorCode {
    None,
    BadSource,      // the SOURCE text or a field cannot be used as given
    NotFound,       // no such file, database or schema
    NotADatabase,   // the file is not a SQLite database
    ConnectFailed,  // the server could not be reached or refused the connection
    LoginFailed,    // the server refused the user or password
    PasswordNeeded, // the server asks for a password and none was given
    Timeout,        // no answer within the connect or read timeout
    ConnectionLost, // the server went away while Korvo read
    TableGone,      // a chosen table no longer exists, or was dropped while reading
    NoTables,       // nothing to read
    Cancelled,      // the progress callback asked to stop
    QueryFailed,    // anything else the database reported
};

// An outcome as a value: a code and one line of text for people, which
// never holds a password.
struct LiveError {
    LiveErrorCode code = LiveErrorCode::None;
    std::string message;

    bool Failed() const { return code != LiveErrorCode::None; }
};

template <typename T>
struct LiveResult {
    T value{};
    LiveError error;

    bool Ok() const { return !error.Failed(); }
};
