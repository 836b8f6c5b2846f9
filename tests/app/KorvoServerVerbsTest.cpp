// --import-db against the throw-away PostgreSQL and MariaDB servers of the
// live_postgres and live_mariadb test fixtures, which load Chinook into
// each: the diagram must hold what the engine's catalog holds, and no
// failure may take longer than a connect timeout, say more than one line,
// write a diagram or show a password. Fails when a server is not there.
#include "CKorvoDoc.h"
#include "CatalogText.h"
#include "DiagramFile.h"
#include "LiveTestSupport.h"
#include "ProgramRun.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const std::string kExpected = KORVO_SOURCE_DIR "/tests/schema/expected";

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Uri(const char* scheme, const TestServer& server, const std::string& password, const std::string& path)
{
    return std::string(scheme) + "://" + server.user + ":" + password + "@" + server.host + ":" +
           std::to_string(server.port) + path;
}

// What every failure must be: status 1, one line, no diagram, no password.
void ExpectCleanFailure(const QStringList& arguments, const QString& out, const std::vector<std::string>& secrets,
                        const char* what)
{
    const ProgramRun run = Korvo(arguments);
    EXPECT_EQ(run.exitCode, 1) << what << ": " << run.err.toStdString();
    const QStringList lines = KorvoLines(run.err);
    EXPECT_EQ(lines.size(), 1) << what << ": " << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << what;
    for (const std::string& secret : secrets) {
        EXPECT_FALSE(run.err.contains(Q(secret))) << what << ": " << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QByteArray::fromStdString(secret))) << what;
    }
}

class KorvoServerVerbs : public ::testing::TestWithParam<const char*> {
protected:
    bool Postgres() const { return std::string(GetParam()) == "postgres"; }
    const char* Scheme() const { return Postgres() ? "postgresql" : "mariadb"; }
    // Chinook as each server's script makes it.
    std::string Database() const { return Postgres() ? "/chinook" : "/Chinook"; }
    std::string Catalog() const { return ReadText(kExpected + (Postgres() ? "/chinook.postgresql.catalog" : "/chinook.mysql.catalog")); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_P(KorvoServerVerbs, ImportDbReadsChinookAsTheEngineHoldsIt)
{
    const TestServer server = LoadTestServer(GetParam());
    ASSERT_TRUE(server.ok);
    const QString out = m_dir.filePath(QStringLiteral("chinook.erd"));
    const std::string uri = Uri(Scheme(), server, server.password, Database());
    const ProgramRun run = Korvo({"--import-db", Q(uri), "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = KorvoLines(run.err);
    ASSERT_EQ(lines.size(), 1) << run.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("korvo: Imported 11 tables and 11 relations from ")))
        << lines[0].toStdString();
    EXPECT_FALSE(run.err.contains(Q(server.password)));

    CKorvoDoc doc;
    ASSERT_EQ(LoadDiagramFile(QFile::encodeName(out).toStdString(), doc).status, LoadStatus::Loaded);
    const std::string actual = DiagramCatalogText(doc);
    const std::string expected = AsDiagramShowsIt(Catalog());
    EXPECT_TRUE(actual == expected) << CatalogDifference(actual, expected);

    // The schema named on the command line rather than in the source.
    if (!Postgres()) {
        const QString named = m_dir.filePath(QStringLiteral("named.erd"));
        const ProgramRun schema =
            Korvo({"--import-db", Q(Uri(Scheme(), server, server.password, "")), "--schema", "Chinook", "-o", named});
        ASSERT_EQ(schema.exitCode, 0) << schema.err.toStdString();
        CKorvoDoc again;
        ASSERT_EQ(LoadDiagramFile(QFile::encodeName(named).toStdString(), again).status, LoadStatus::Loaded);
        EXPECT_EQ(DiagramCatalogText(again), DiagramCatalogText(doc));
    } else {
        const QString named = m_dir.filePath(QStringLiteral("named.erd"));
        const ProgramRun schema = Korvo({"--import-db", Q(Uri(Scheme(), server, server.password, "/korvo_features")),
                                         "--schema", "sales", "--schema", "public", "-o", named});
        ASSERT_EQ(schema.exitCode, 0) << schema.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(named));
    }
}

TEST_P(KorvoServerVerbs, FailuresSayWhyInOneLineWithoutThePassword)
{
    const TestServer server = LoadTestServer(GetParam());
    ASSERT_TRUE(server.ok);
    const QString out = m_dir.filePath(QStringLiteral("never.erd"));
    const std::string wrong = "Wr0ng-" + server.password.substr(0, 6);
    ExpectCleanFailure({"--import-db", Q(Uri(Scheme(), server, wrong, Database())), "-o", out}, out,
                       {wrong, server.password}, "wrong password");

    TestServer closed = server;
    closed.port = ClosedPort();
    ExpectCleanFailure({"--import-db", Q(Uri(Scheme(), closed, server.password, Database())), "-o", out}, out,
                       {server.password}, "closed port");

    // A host that accepts the connection and never answers: the connect
    // timeout of the source ends the wait.
    SilentListener silent;
    TestServer mute = server;
    mute.port = silent.Port();
    ExpectCleanFailure({"--import-db", Q(Uri(Scheme(), mute, server.password, Database()) + "?connect_timeout=2"), "-o",
                        out},
                       out, {server.password}, "silent host");

    ExpectCleanFailure({"--import-db", Q(Uri(Scheme(), server, server.password, Database())), "--schema",
                        "no_such_schema", "-o", out},
                       out, {server.password}, "no such schema");
}

INSTANTIATE_TEST_SUITE_P(Servers, KorvoServerVerbs, ::testing::Values("postgres", "mariadb"));
