// One side of the two-process clipboard test: `copy` puts two related tables
// on the system clipboard and keeps them offered until it is stopped
// (`copy unicode`: tables whose texts go beyond Latin-1); `paste` waits for
// the private format, pastes into an empty diagram and prints what arrived,
// texts as their UTF-8 bytes.
#include "CAppState.h"
#include "CDocumentHost.h"
#include "CKorvoView.h"
#include "CModalSeam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Reports any message on stderr instead of opening a box.
class StderrSeam : public CModalSeam {
public:
    QMessageBox::StandardButton MessageBox(QWidget*, const QString& text, const QString&, QMessageBox::Icon,
                                           QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return QMessageBox::Ok;
    }
};

KorvoTableView* Add(CKorvoDoc& doc, const char* name, const char* column, int32_t x, const char* description = "")
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_def.m_strDescription = description;
    table->m_x = x;
    table->m_y = -3000;
    table->m_bSelected = true;
    table->m_def.AddColumn(std::make_unique<CColumn>(column, "int", false, "", false, false, "", ""));
    return doc.AddTable(std::move(table));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    StderrSeam seam;
    CModalSeam::Install(&seam);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    CDocumentHost host(std::make_unique<CKorvoDoc>());
    CKorvoView view(&host);
    view.resize(400, 300);
    view.OnInitialUpdate();

    if (mode == QLatin1String("copy")) {
        CKorvoDoc& doc = *host.GetDocument();
        const bool unicode = argc > 2 && QLatin1String(argv[2]) == QLatin1String("unicode");
        // 顧客 with the column café_Ω and an RTL description; Grüße 🎉 with
        // a column of combining marks.
        KorvoTableView* alpha = unicode ? Add(doc, "\xE9\xA1\xA7\xE5\xAE\xA2", "caf\xC3\xA9_\xCE\xA9", 3000,
                                              "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D")
                                        : Add(doc, "alpha", "id", 3000);
        KorvoTableView* beta = unicode ? Add(doc, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89", "e\xCC\x81" "a\xCC\x8A", 9000)
                                       : Add(doc, "beta", "alpha_id", 9000);
        doc.AddRelation(std::make_unique<CRelation>(beta, beta->m_def.m_columns[0].get(), alpha,
                                                    alpha->m_def.m_columns[0].get()));
        view.OnEditCopy();
        std::printf("copied\n");
        std::fflush(stdout);
        // Stay the clipboard's owner until the test stops us.
        QTimer::singleShot(60000, &app, &QApplication::quit);
        return app.exec();
    }
    if (mode == QLatin1String("paste")) {
        QElapsedTimer waited;
        waited.start();
        while (!view.CanPaste() && waited.elapsed() < 20000)
            app.processEvents(QEventLoop::AllEvents, 50);
        if (!view.CanPaste()) {
            std::printf("nothing to paste\n");
            return 1;
        }
        view.OnEditPaste();
        const CKorvoDoc& doc = *host.GetDocument();
        std::printf("tables=");
        for (const auto& table : doc.m_tables)
            std::printf("%s%s", table->m_def.m_strName.c_str(), table->m_bSelected ? "* " : " ");
        std::printf("relations=%zu", doc.m_relations.size());
        if (!doc.m_relations.empty())
            std::printf(" %s->%s", doc.m_relations[0]->m_pSource->m_def.m_strName.c_str(),
                        doc.m_relations[0]->m_pDest->m_def.m_strName.c_str());
        std::printf("\n");
        for (const auto& table : doc.m_tables)
            std::printf("%s|%s|%s\n", table->m_def.m_strName.c_str(), table->m_def.m_columns[0]->m_strName.c_str(),
                        table->m_def.m_strDescription.c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: %s copy|paste\n", argv[0]);
    return 2;
}
