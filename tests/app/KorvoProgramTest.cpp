// The korvo program's batch verbs, run as a user runs them: without a display.
#include "CKorvoDoc.h"
#include "CRecordingSeam.h"
#include "DiagramFile.h"
#include "ProgramRun.h"
#include "TestBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

const QString kExample = QStringLiteral(KORVO_EXAMPLE);

} // namespace

TEST(KorvoProgram, VersionAndHelpNeedNoDisplay)
{
    const ProgramRun version = Korvo({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("Korvo 1.03\n"));

    const ProgramRun help = Korvo({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: korvo"));
    for (const char* word : {"--print", "--render", "--dpi", "--version", "--export-sql", "--import-sql", "--into",
                             "--dialect", "--import-db", "--schema", "--check", "--arrange", "Examples:"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

TEST(KorvoProgram, MistakesExitWithStatusTwo)
{
    const ProgramRun run = Korvo({"--render", "only-one.erd"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("korvo: --render wants a diagram and an output image\n")));
}

TEST(KorvoProgram, RenderDrawsTheWholeDiagramOnWhite)
{
    QTemporaryDir dir;
    const QString at96 = dir.filePath(QStringLiteral("a.png"));
    const QString at192 = dir.filePath(QStringLiteral("b.png"));
    const ProgramRun run = Korvo({"--render", kExample, at96});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(KorvoLines(run.err).isEmpty());
    ASSERT_EQ(Korvo({"--render", kExample, at192, "--dpi", "192"}).exitCode, 0);

    QImage image(at96);
    ASSERT_FALSE(image.isNull());
    QImage twice(at192);
    // Twice the resolution, twice the size, give or take the text measured
    // with the font hinted for each resolution.
    EXPECT_NEAR(twice.width(), 2 * image.width(), image.width() / 50);
    EXPECT_NEAR(twice.height(), 2 * image.height(), image.height() / 50);

    // The first table, "customer" at (720, -720) twips, lies a quarter inch
    // in from the border: its frame's top-left corner is at pixel (72, 72).
    EXPECT_EQ(image.pixelColor(72, 72), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(71, 71), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(twice.pixelColor(144, 144), QColor(Qt::black));

    // Every table is inside the picture: the last column of pixels with ink
    // lies a border's width from the right edge.
    int lastInk = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                lastInk = x;
    EXPECT_GT(lastInk, image.width() - 30);
    EXPECT_LT(lastInk, image.width() - 20);
}

TEST(KorvoProgram, RenderFailuresSayWhyInOneLine)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("x.png"));

    const ProgramRun missing = Korvo({"--render", dir.filePath(QStringLiteral("absent.erd")), out});
    EXPECT_EQ(missing.exitCode, 1);
    ASSERT_EQ(KorvoLines(missing.err).size(), 1);
    EXPECT_TRUE(KorvoLines(missing.err)[0].contains(QStringLiteral("absent.erd")));

    const QString foreign = dir.filePath(QStringLiteral("foreign.erd"));
    WriteBytes(foreign, QByteArray("PK\x03\x04 not a diagram"));
    const ProgramRun wrongType = Korvo({"--render", foreign, out});
    EXPECT_EQ(wrongType.exitCode, 1);
    EXPECT_EQ(KorvoLines(wrongType.err), QStringList{"korvo: " + foreign + ": File type not recognized."});
    EXPECT_FALSE(QFile::exists(out));

    const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/x.png"));
    const ProgramRun unwritable = Korvo({"--render", kExample, nowhere});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(KorvoLines(unwritable.err),
              QStringList{"korvo: " + kExample + ": Cannot create file '" + nowhere + "': No such file or directory"});
}

TEST(KorvoProgram, RenderRefusesAnImageTooLargeToAllocate)
{
    // One table placed two million twips out: the image would need ~2 billion pixels.
    QTemporaryDir dir;
    QByteArray far = Int32(0x45524420) + Int32(2) + Int32(1);
    far += Int32(0) + QByteArray("\x01t", 2) + Int32(2000000) + Int32(-2000000) + Int32(0) + Int32(0);
    far += QByteArray("\x00\x00", 2) + Int32(0);
    QByteArray font(60, '\0');
    font.replace(0, 4, Int32(240));
    far += font + Int32(5) + Int32(5);
    const QString path = dir.filePath(QStringLiteral("far.erd"));
    WriteBytes(path, far);
    const ProgramRun run = Korvo({"--render", path, dir.filePath(QStringLiteral("far.png"))});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(KorvoLines(run.err).size(), 1) << run.err.toStdString();
    EXPECT_TRUE(KorvoLines(run.err)[0].contains(QStringLiteral("too large")));
}

TEST(KorvoProgram, PrintWithoutPrinterWritesAPdfBesideTheDiagram)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a printer; printing would use it";
    QTemporaryDir dir;
    const QString diagram = dir.filePath(QStringLiteral("orders.erd"));
    ASSERT_TRUE(QFile::copy(kExample, diagram));
    const ProgramRun run = Korvo({"-p", diagram});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString pdf = dir.filePath(QStringLiteral("orders.pdf"));
    EXPECT_EQ(QString::fromLocal8Bit(run.out), QFileInfo(pdf).absoluteFilePath() + QLatin1Char('\n'));

    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    // The example fits on one page.
    const qsizetype pages = QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b")));
    EXPECT_EQ(pages, 1);
}

TEST(KorvoProgram, ImportExportAndRenderFormAPipeline)
{
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("shop.sql"));
    WriteBytes(script, "CREATE TABLE customer (id INT NOT NULL, name VARCHAR(40), PRIMARY KEY (id));\n"
                       "CREATE TABLE orders (id INT PRIMARY KEY, customer_id INT REFERENCES customer (id));\n");
    const QString diagram = dir.filePath(QStringLiteral("shop.erd"));
    const ProgramRun imported = Korvo({"--import-sql", script, "-o", diagram});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(KorvoLines(imported.err),
              QStringList{"korvo: " + script + ": Imported 2 tables and 1 relation from Korvo SQL."});
    EXPECT_EQ(Korvo({"--import-sql", script, "--dialect", "korvo", "-o", diagram}).err, QString())
        << "Korvo's own language, asked for by name, says nothing when all went well";

    // Exported SQL reads back to the same tables, columns, flags and relation.
    const QString exported = dir.filePath(QStringLiteral("shop-out.sql"));
    ASSERT_EQ(Korvo({"--export-sql", diagram, exported}).exitCode, 0);
    QFile sql(exported);
    ASSERT_TRUE(sql.open(QIODevice::ReadOnly));
    EXPECT_EQ(sql.readAll(), QByteArray("CREATE TABLE customer (\r\n"
                                        "\tid INT NOT NULL, \r\n"
                                        "\tname VARCHAR(40), \r\n"
                                        "\tPRIMARY KEY(id));\r\n\r\n"
                                        "CREATE TABLE orders (\r\n"
                                        "\tid INT, \r\n"
                                        "\tcustomer_id INT, \r\n"
                                        "\tPRIMARY KEY(id),\r\n"
                                        "\tFOREIGN KEY(customer_id) REFERENCES customer (id));\r\n\r\n"));
    const QString again = dir.filePath(QStringLiteral("again.erd"));
    ASSERT_EQ(Korvo({"--import-sql", exported, "-o", again}).exitCode, 0);
    const QString exportedAgain = dir.filePath(QStringLiteral("again.sql"));
    ASSERT_EQ(Korvo({"--export-sql", again, exportedAgain}).exitCode, 0);
    QFile sqlAgain(exportedAgain);
    ASSERT_TRUE(sqlAgain.open(QIODevice::ReadOnly));
    sql.seek(0);
    EXPECT_EQ(sqlAgain.readAll(), sql.readAll());

    // Merging into an existing diagram updates it in place.
    const QString more = dir.filePath(QStringLiteral("more.sql"));
    WriteBytes(more, "CREATE TABLE item (id INT, order_id INT REFERENCES orders (id));\n");
    ASSERT_EQ(Korvo({"--import-sql", more, "--into", diagram, "-o", diagram}).exitCode, 0);
    ASSERT_EQ(Korvo({"--export-sql", diagram, exported}).exitCode, 0);
    QFile merged(exported);
    ASSERT_TRUE(merged.open(QIODevice::ReadOnly));
    const QByteArray mergedText = merged.readAll();
    EXPECT_TRUE(mergedText.contains("CREATE TABLE item"));
    EXPECT_TRUE(mergedText.contains("CREATE TABLE customer"));

    for (const char* name : {"shop.png", "shop.svg", "shop.pdf"}) {
        const QString out = dir.filePath(QString::fromLatin1(name));
        const ProgramRun run = Korvo({"--render", diagram, out});
        EXPECT_EQ(run.exitCode, 0) << name << run.err.toStdString();
        EXPECT_GT(QFileInfo(out).size(), 100) << name;
    }
}

TEST(KorvoProgram, ImportAndExportFailuresSayWhyInOneLine)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.sql"));
    WriteBytes(bad, "CREATE TABLE t (a INT,\n b INT c);\n");
    const QString out = dir.filePath(QStringLiteral("out.erd"));
    const ProgramRun parse = Korvo({"--import-sql", bad, "--dialect", "korvo", "-o", out});
    EXPECT_EQ(parse.exitCode, 1);
    EXPECT_EQ(KorvoLines(parse.err), QStringList{"korvo: " + bad + ": 2: parse error at c"});
    EXPECT_FALSE(QFile::exists(out));
    // When no reader can read the script either, ddlread's own account.
    WriteBytes(bad, "CREATE TABLE t (a INT,\n b INT c));\n");
    const ProgramRun nothing = Korvo({"--import-sql", bad, "-o", out});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(KorvoLines(nothing.err), QStringList{"korvo: " + bad + ": 2: parse error at c"});
    EXPECT_FALSE(QFile::exists(out));

    // A named pipe without a writer is refused at once, as a missing file is.
    const QString pipe = dir.filePath(QStringLiteral("pipe.sql"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& script : {dir.filePath(QStringLiteral("absent.sql")), pipe, dir.path()}) {
        const ProgramRun unreadable = Korvo({"--import-sql", script, "-o", out});
        EXPECT_EQ(unreadable.exitCode, 1);
        EXPECT_EQ(KorvoLines(unreadable.err), QStringList{"korvo: " + script + ": Error opening file."});
    }
    EXPECT_FALSE(QFile::exists(out));

    const QString foreign = dir.filePath(QStringLiteral("foreign.erd"));
    WriteBytes(foreign, QByteArray("not a diagram at all"));
    const ProgramRun wrongType = Korvo({"--export-sql", foreign, dir.filePath(QStringLiteral("x.sql"))});
    EXPECT_EQ(wrongType.exitCode, 1);
    EXPECT_EQ(KorvoLines(wrongType.err), QStringList{"korvo: " + foreign + ": File type not recognized."});

    const ProgramRun noDir = Korvo({"--export-sql", kExample, dir.filePath(QStringLiteral("no/dir/x.sql"))});
    EXPECT_EQ(noDir.exitCode, 1);
    ASSERT_EQ(KorvoLines(noDir.err).size(), 1);
    EXPECT_TRUE(KorvoLines(noDir.err)[0].endsWith(QStringLiteral("Export SQL Error: Unable to open output file.")));
}

// Paths and texts beyond ASCII through every batch verb. A script whose
// names lose characters in ddlread still imports (exit 0) and says so in
// one line; a diagram with wide texts renders and exports them.
TEST(KorvoProgram, NamesAndPathsBeyondAsciiGoThroughEveryVerb)
{
    QTemporaryDir top;
    const QString dir = top.filePath(QStringLiteral("\u9867\u5BA2 files"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString script = dir + QStringLiteral("/caf\u00E9.sql");
    WriteBytes(script, "CREATE TABLE caf\xC3\xA9 (id INT DEFAULT 'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89');\n"
                       "CREATE TABLE plain (x INT);\n");
    const QString imported = dir + QStringLiteral("/\u00FCber.erd");
    const ProgramRun import = Korvo({"--import-sql", script, "--dialect", "korvo", "-o", imported});
    EXPECT_EQ(import.exitCode, 0) << import.err.toStdString();
    EXPECT_EQ(KorvoLines(import.err),
              QStringList{"korvo: " + script + ": warning: Some names lost characters that Import SQL cannot read"
                          " (it reads ASCII letters, digits, _ and $): caf\u00E9 became caf (line 1)."});
    // Auto-detection hands such a script to a reader that keeps every name.
    const QString whole = dir + QStringLiteral("/whole.erd");
    const ProgramRun detected = Korvo({"--import-sql", script, "-o", whole});
    EXPECT_EQ(detected.exitCode, 0) << detected.err.toStdString();
    EXPECT_EQ(KorvoLines(detected.err),
              QStringList{"korvo: " + script + ": Imported 2 tables and 0 relations from SQLite (detected)."});
    CKorvoDoc kept;
    ASSERT_EQ(LoadDiagramFile(QFile::encodeName(whole).toStdString(), kept).status, LoadStatus::Loaded);
    ASSERT_EQ(kept.m_tables.size(), 2u);
    EXPECT_EQ(kept.m_tables[0]->m_def.m_strName, "caf\xC3\xA9");

    const QString exported = dir + QStringLiteral("/\u5C0E\u51FA.sql");
    ASSERT_EQ(Korvo({"--export-sql", imported, exported}).exitCode, 0);
    QFile sql(exported);
    ASSERT_TRUE(sql.open(QIODevice::ReadOnly));
    EXPECT_TRUE(sql.readAll().contains("\tid INT DEFAULT 'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89');"));

    CKorvoDoc doc;
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = "\xE9\xA1\xA7\xE5\xAE\xA2";
    table->m_def.AddColumn(std::make_unique<CColumn>("caf\xC3\xA9_\xCE\xA9", "int", false, "", true, false, "", ""));
    doc.AddTable(std::move(table));
    const QString wide = dir + QStringLiteral("/\u05E9\u05DC\u05D5\u05DD.erd");
    ASSERT_TRUE(SaveDiagramFile(QFile::encodeName(wide).toStdString(), doc).ok);
    for (const QString& name : {QStringLiteral("\u56F3 1.png"), QStringLiteral("\u56F3 2.svg"), QStringLiteral("\u56F3 3.pdf")}) {
        const QString out = dir + QLatin1Char('/') + name;
        const ProgramRun run = Korvo({"--render", wide, out});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_GT(QFileInfo(out).size(), 100) << name.toStdString();
    }
    ASSERT_EQ(Korvo({"--export-sql", wide, exported}).exitCode, 0);
    sql.close();
    ASSERT_TRUE(sql.open(QIODevice::ReadOnly));
    EXPECT_EQ(sql.readAll(), QByteArray("CREATE TABLE \xE9\xA1\xA7\xE5\xAE\xA2 (\r\n\tcaf\xC3\xA9_\xCE\xA9 int, \r\n"
                                        "\tPRIMARY KEY(caf\xC3\xA9_\xCE\xA9));\r\n\r\n"));
}

TEST(KorvoProgram, RenderShowsColumnTypesOnlyWithTypes)
{
    QTemporaryDir dir;
    const QString names = dir.filePath(QStringLiteral("names.svg"));
    const QString types = dir.filePath(QStringLiteral("types.svg"));
    ASSERT_EQ(Korvo({"--render", kExample, names}).exitCode, 0);
    const ProgramRun run = Korvo({"--render", kExample, types, "--types"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile plain(names), typed(types);
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly) && typed.open(QIODevice::ReadOnly));
    const QByteArray plainText = plain.readAll();
    const QByteArray typedText = typed.readAll();
    // The example's customer.email is VARCHAR(120); customer.id is NOT NULL
    // and referred to by orders.customer_id.
    EXPECT_FALSE(plainText.contains("VARCHAR(120)"));
    EXPECT_TRUE(typedText.contains("VARCHAR(120)"));
    EXPECT_TRUE(typedText.contains("NN REF"));

    // Wider tables make a wider picture.
    auto width = [](const QByteArray& svg) {
        const qsizetype at = svg.indexOf("viewBox=\"") + 9;
        return svg.mid(at, svg.indexOf('"', at) - at).split(' ').value(2).toInt();
    };
    EXPECT_GT(width(typedText), width(plainText));

    EXPECT_EQ(Korvo({"--export-sql", kExample, "-", "--types"}).exitCode, 2);
}
