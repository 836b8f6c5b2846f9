#include "ConnectionFields.h"

#include <QSettings>

namespace {

constexpr const char* kGroup = "Recent Connections";

struct KindName {
    DatabaseKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {DatabaseKind::Sqlite, "sqlite"},
    {DatabaseKind::PostgreSql, "postgresql"},
    {DatabaseKind::MariaDb, "mariadb"},
};

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

DatabaseSource ConnectionFields::Source(const QString& password) const
{
    DatabaseSource source;
    source.kind = kind;
    if (kind == DatabaseKind::Sqlite) {
        source.path = Utf8(path);
        return source;
    }
    const QString trimmedHost = host.trimmed();
    if (kind == DatabaseKind::MariaDb && trimmedHost.startsWith(QLatin1Char('/'))) {
        source.socket = Utf8(trimmedHost);
        source.host = "localhost";
    } else {
        source.host = Utf8(trimmedHost);
    }
    source.port = port;
    source.database = Utf8(database.trimmed());
    source.user = Utf8(user.trimmed());
    source.password = Utf8(password);
    return source;
}

QString ConnectionFields::Label() const
{
    return QString::fromStdString(Source().Describe());
}

void RememberConnection(QList<ConnectionFields>& recent, const ConnectionFields& fields)
{
    recent.removeAll(fields);
    recent.prepend(fields);
    while (recent.size() > kMaxRecentConnections)
        recent.removeLast();
}

QList<ConnectionFields> ReadRecentConnections(QSettings& settings)
{
    QList<ConnectionFields> recent;
    settings.beginGroup(QString::fromLatin1(kGroup));
    const int count = settings.beginReadArray(QStringLiteral("Connection"));
    for (int i = 0; i < count && recent.size() < kMaxRecentConnections; ++i) {
        settings.setArrayIndex(i);
        const QString kindName = settings.value(QStringLiteral("Kind")).toString();
        const KindName* kind = nullptr;
        for (const KindName& entry : kKindNames)
            if (kindName == QLatin1String(entry.name))
                kind = &entry;
        if (!kind)
            continue;
        ConnectionFields fields;
        fields.kind = kind->kind;
        fields.path = settings.value(QStringLiteral("Path")).toString();
        fields.host = settings.value(QStringLiteral("Host")).toString();
        bool ok = false;
        const int port = settings.value(QStringLiteral("Port")).toInt(&ok);
        fields.port = ok && port > 0 && port <= 65535 ? port : 0;
        fields.database = settings.value(QStringLiteral("Database")).toString();
        fields.user = settings.value(QStringLiteral("User")).toString();
        if (!recent.contains(fields))
            recent.append(fields);
    }
    settings.endArray();
    settings.endGroup();
    return recent;
}

void WriteRecentConnections(QSettings& settings, const QList<ConnectionFields>& recent)
{
    settings.remove(QString::fromLatin1(kGroup));
    if (recent.isEmpty())
        return;
    settings.beginGroup(QString::fromLatin1(kGroup));
    settings.beginWriteArray(QStringLiteral("Connection"), int(recent.size()));
    for (int i = 0; i < recent.size(); ++i) {
        const ConnectionFields& fields = recent.at(i);
        settings.setArrayIndex(i);
        for (const KindName& entry : kKindNames)
            if (entry.kind == fields.kind)
                settings.setValue(QStringLiteral("Kind"), QString::fromLatin1(entry.name));
        // Only the fields that make up the kind's connection.
        if (fields.kind == DatabaseKind::Sqlite) {
            settings.setValue(QStringLiteral("Path"), fields.path);
            continue;
        }
        settings.setValue(QStringLiteral("Host"), fields.host);
        settings.setValue(QStringLiteral("Port"), fields.port);
        settings.setValue(QStringLiteral("Database"), fields.database);
        settings.setValue(QStringLiteral("User"), fields.user);
    }
    settings.endArray();
    settings.endGroup();
}
