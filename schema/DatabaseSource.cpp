#include "DatabaseSource.h"

#include "LiveDatabase.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <sys/stat.h>

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

LiveResult<DatabaseSource> Bad(std::string message)
{
    LiveResult<DatabaseSource> result;
    result.error = {LiveErrorCode::BadSource, std::move(message)};
    return result;
}

// The authority of a scheme://authority/... text: between "//" and the first
// '/', '?' or '#'.
std::string_view Authority(std::string_view uri)
{
    const size_t start = uri.find("//");
    if (start == std::string_view::npos)
        return {};
    std::string_view rest = uri.substr(start + 2);
    return rest.substr(0, rest.find_first_of("/?#"));
}

// The password of user:password@host, still percent-encoded.
std::string_view UriPassword(std::string_view uri)
{
    const std::string_view authority = Authority(uri);
    const size_t at = authority.rfind('@');
    if (at == std::string_view::npos)
        return {};
    const std::string_view userinfo = authority.substr(0, at);
    const size_t colon = userinfo.find(':');
    return colon == std::string_view::npos ? std::string_view() : userinfo.substr(colon + 1);
}

bool PercentDecode(std::string_view in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
            return false;
        unsigned value = 0;
        std::from_chars(in.data() + i + 1, in.data() + i + 3, value, 16);
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

struct ConninfoDeleter {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
using ConninfoOptions = std::unique_ptr<PQconninfoOption, ConninfoDeleter>;

// libpq's reading of a URI or conninfo; its complaint in `error` when it
// cannot read it.
ConninfoOptions ParseConninfo(const std::string& conninfo, std::string& error)
{
    char* message = nullptr;
    ConninfoOptions options(PQconninfoParse(conninfo.c_str(), &message));
    if (message) {
        error = message;
        PQfreemem(message);
    }
    return options;
}

std::string OptionValue(const PQconninfoOption* options, std::string_view keyword)
{
    for (const PQconninfoOption* option = options; option && option->keyword; ++option)
        if (keyword == option->keyword && option->val)
            return option->val;
    return {};
}

LiveResult<DatabaseSource> ParsePostgres(std::string conninfo)
{
    std::string error;
    const ConninfoOptions options = ParseConninfo(conninfo, error);
    if (!options) {
        std::vector<std::string> secrets;
        if (const std::string_view password = UriPassword(conninfo); !password.empty())
            secrets.emplace_back(password);
        return Bad(CleanMessage("The PostgreSQL connection string cannot be read: " + error, secrets));
    }
    LiveResult<DatabaseSource> result;
    result.value.kind = DatabaseKind::PostgreSql;
    result.value.conninfo = std::move(conninfo);
    return result;
}

LiveResult<DatabaseSource> ParseMariaDb(std::string_view text)
{
    const std::string_view scheme = text.substr(0, text.find(':'));
    const std::string_view authority = Authority(text);
    std::string_view rest = text.substr(text.find("//") + 2 + authority.size());
    DatabaseSource source;
    source.kind = DatabaseKind::MariaDb;
    const std::string uriPassword(UriPassword(text));
    auto bad = [&](const std::string& what) {
        std::vector<std::string> secrets{uriPassword};
        return Bad(CleanMessage("The " + std::string(scheme) + ":// source cannot be read: " + what, secrets));
    };

    std::string_view hostPort = authority;
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userinfo = authority.substr(0, at);
        const size_t colon = userinfo.find(':');
        if (!PercentDecode(userinfo.substr(0, colon), source.user))
            return bad("bad %-escape in the user name");
        if (colon != std::string_view::npos && !PercentDecode(userinfo.substr(colon + 1), source.password))
            return bad("bad %-escape in the password");
        hostPort = authority.substr(at + 1);
    }
    std::string_view portText;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos)
            return bad("missing ] after an IPv6 address");
        source.host = std::string(hostPort.substr(1, close - 1));
        std::string_view after = hostPort.substr(close + 1);
        if (!after.empty() && after.front() != ':')
            return bad("unexpected text after the IPv6 address");
        portText = after.empty() ? after : after.substr(1);
    } else {
        const size_t colon = hostPort.find(':');
        if (!PercentDecode(hostPort.substr(0, colon), source.host))
            return bad("bad %-escape in the host name");
        if (colon != std::string_view::npos)
            portText = hostPort.substr(colon + 1);
    }
    if (!portText.empty()) {
        int port = 0;
        const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (ec != std::errc() || end != portText.data() + portText.size() || port < 1 || port > 65535)
            return bad("the port is not a number from 1 to 65535");
        source.port = port;
    }

    const size_t fragment = rest.find('#');
    if (fragment != std::string_view::npos)
        rest = rest.substr(0, fragment);
    const size_t question = rest.find('?');
    std::string_view path = rest.substr(0, question);
    std::string_view query = question == std::string_view::npos ? std::string_view() : rest.substr(question + 1);
    if (!path.empty()) {
        path.remove_prefix(1); // the '/'
        if (path.find('/') != std::string_view::npos)
            return bad("a database name cannot hold '/'");
        if (!PercentDecode(path, source.database))
            return bad("bad %-escape in the database name");
    }
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        std::string value;
        if (eq == std::string_view::npos || !PercentDecode(pair.substr(eq + 1), value))
            return bad("option " + std::string(key) + " needs a value");
        if (key == "socket") {
            source.socket = value;
        } else if (key == "connect_timeout") {
            int seconds = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (ec != std::errc() || end != value.data() + value.size() || seconds < 1)
                return bad("connect_timeout must be a whole number of seconds");
            source.connectTimeoutSeconds = seconds;
        } else {
            return bad("unknown option " + std::string(key) + " (socket and connect_timeout are known)");
        }
    }
    if (source.host.empty())
        source.host = "localhost";
    LiveResult<DatabaseSource> result;
    result.value = std::move(source);
    return result;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::string CleanMessage(std::string_view message, const std::vector<std::string>& secrets)
{
    std::string text(message);
    for (const std::string& secret : secrets) {
        if (secret.empty())
            continue;
        for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (space) {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

std::vector<std::string> DatabaseSource::Secrets() const
{
    std::vector<std::string> secrets;
    if (!password.empty())
        secrets.push_back(password);
    if (!conninfo.empty()) {
        std::string error;
        if (const ConninfoOptions options = ParseConninfo(conninfo, error)) {
            if (std::string inner = OptionValue(options.get(), "password"); !inner.empty())
                secrets.push_back(std::move(inner));
        }
        if (const std::string_view raw = UriPassword(conninfo); !raw.empty())
            secrets.emplace_back(raw); // as written, %-escapes and all
    }
    return secrets;
}

std::string DatabaseSource::Describe() const
{
    if (kind == DatabaseKind::Sqlite)
        return path;
    std::string hostText = host;
    std::string portText = port ? std::to_string(port) : std::string();
    std::string userText = user;
    std::string databaseText = database;
    if (kind == DatabaseKind::PostgreSql && !conninfo.empty()) {
        std::string error;
        if (const ConninfoOptions options = ParseConninfo(conninfo, error)) {
            const PQconninfoOption* o = options.get();
            if (hostText.empty())
                hostText = OptionValue(o, "host").empty() ? OptionValue(o, "hostaddr") : OptionValue(o, "host");
            if (portText.empty())
                portText = OptionValue(o, "port");
            if (userText.empty())
                userText = OptionValue(o, "user");
            if (databaseText.empty())
                databaseText = OptionValue(o, "dbname");
        }
    }
    std::string text = kind == DatabaseKind::PostgreSql ? "postgresql://" : "mariadb://";
    if (!userText.empty())
        text += userText + "@";
    text += hostText.find(':') != std::string::npos && hostText.front() != '/' ? "[" + hostText + "]" : hostText;
    if (!portText.empty())
        text += ":" + portText;
    if (!databaseText.empty())
        text += "/" + databaseText;
    if (kind == DatabaseKind::MariaDb && !socket.empty())
        text += "?socket=" + socket;
    return CleanMessage(text, Secrets());
}

LiveResult<DatabaseSource> ParseDatabaseSource(std::string_view text)
{
    if (text.empty())
        return Bad("No database given: name a SQLite file, or a postgresql:// or mariadb:// source");
    if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://"))
        return ParsePostgres(std::string(text));
    if (StartsWithNoCase(text, "postgresql:"))
        return ParsePostgres(std::string(text.substr(11)));
    if (StartsWithNoCase(text, "mariadb://") || StartsWithNoCase(text, "mysql://"))
        return ParseMariaDb(text);

    LiveResult<DatabaseSource> result;
    result.value.kind = DatabaseKind::Sqlite;
    if (StartsWithNoCase(text, "sqlite:")) {
        std::string_view path = text.substr(7);
        if (path.substr(0, 2) == "//")
            path.remove_prefix(2);
        if (path.empty())
            return Bad("sqlite: needs the path of a database file");
        result.value.path = std::string(path);
        return result;
    }
    // A bare key=value text that libpq reads, and that no file is named
    // after, is a PostgreSQL conninfo.
    const std::string whole(text);
    if (whole.find('=') != std::string::npos && !FileExists(whole)) {
        std::string error;
        if (ParseConninfo(whole, error))
            return ParsePostgres(whole);
    }
    result.value.path = whole;
    return result;
}
