// Times undoable editing in a diagram window on a large diagram, as a user
// drives it: Select All and a mouse drag of every table, Delete of every
// table, and the undo of each, each with the repaint of the 1200 x 800
// window that shows the result. Then makes 1,000 steps
// of a mix of every kind and measures what the history holds, against the
// memory of the diagram itself.
#include "CAppState.h"
#include "CDiagramOptionsDialog.h"
#include "CDocumentHost.h"
#include "CKorvoView.h"
#include "CModalSeam.h"
#include "CRelationPropertiesDialog.h"
#include "CTablePropertiesDialog.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUndoStack>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

double Ms(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> runs)
{
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// n tables of ten columns in a square grid over 25 x 25 pages, each but the
// first of a row referencing its left neighbour.
void FillDiagram(CKorvoDoc& doc, int n)
{
    doc.m_nMaxPagesX = doc.m_nMaxPagesY = 25;
    const int32_t width = 10800 * 25;
    const int32_t height = 15120 * 25;
    int side = 1;
    while (side * side < n)
        ++side;
    for (int i = 0; i < n; ++i) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = "table_" + std::to_string(i);
        table->m_x = (i % side) * (width / side) + 360;
        table->m_y = -(i / side) * (height / side) - 360;
        for (int c = 0; c < 10; ++c)
            table->m_def.AddColumn(
                std::make_unique<CColumn>("column_" + std::to_string(c), "int", false, "", c == 0, false, "", ""));
        KorvoTableView* added = doc.AddTable(std::move(table));
        if (i % side != 0) {
            KorvoTableView* left = doc.m_tables[size_t(i - 1)].get();
            doc.AddRelation(std::make_unique<CRelation>(added, added->m_def.m_columns[1].get(), left,
                                                        left->m_def.m_columns[0].get()));
        }
    }
}

// Answers every dialog the mix opens, without a modal loop.
class BenchSeam : public CModalSeam {
public:
    BenchSeam() { CModalSeam::Install(this); }
    ~BenchSeam() override { CModalSeam::Install(nullptr); }

    QMessageBox::StandardButton MessageBox(QWidget*, const QString&, const QString&, QMessageBox::Icon,
                                           QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        return QMessageBox::Ok;
    }
    int RunDialog(QDialog& dialog) override { return onDialog ? onDialog(dialog) : int(QDialog::Rejected); }
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override
    {
        return openFileName;
    }
    bool ChooseFont(QWidget*, QFont& font) override
    {
        font.setPointSize(font.pointSize() == 12 ? 14 : 12);
        return true;
    }

    std::function<int(QDialog&)> onDialog;
    QString openFileName;
};

class Window {
public:
    explicit Window(int tables) : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        FillDiagram(*host.GetDocument(), tables);
        view.resize(1200, 800);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
        view.viewport()->grab(); // every table measured, as on screen
        QCursor::setPos(view.viewport()->mapToGlobal(QPoint(-500, -500)));
    }

    CKorvoDoc& doc() { return *host.GetDocument(); }
    QUndoStack& history() { return *host.UndoStack(); }

    void Mouse(QEvent::Type type, QPoint pos)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }
    void Key(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void SelectOnly(size_t first, size_t count)
    {
        for (auto& table : doc().m_tables)
            table->m_bSelected = false;
        for (auto& relation : doc().m_relations)
            relation->m_bSelected = false;
        for (size_t i = first; i < first + count && i < doc().m_tables.size(); ++i)
            doc().m_tables[i]->m_bSelected = true;
    }

    CDocumentHost host;
    CKorvoView view;
};

struct Timings {
    double move;
    double undoMove;
    double remove;
    double undoRemove;
};

Timings TimeEditing(int n)
{
    Window w(n);
    std::vector<double> move, undoMove, remove, undoRemove;
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        w.view.OnEditSelectAll();
        // The first table lies at (24, 24) pixels.
        w.Mouse(QEvent::MouseButtonPress, QPoint(30, 30));
        w.Mouse(QEvent::MouseMove, QPoint(70, 55));
        w.Mouse(QEvent::MouseButtonRelease, QPoint(70, 55));
        w.view.viewport()->repaint();
        move.push_back(Ms(start));
        if (w.history().count() == 0 || w.history().undoText() != QStringLiteral("Move")) {
            std::fprintf(stderr, "undo_bench: the drag moved nothing\n");
            std::exit(1);
        }

        start = Clock::now();
        w.history().undo();
        w.view.viewport()->repaint();
        undoMove.push_back(Ms(start));

        start = Clock::now();
        w.view.OnEditSelectAll();
        w.view.OnEditDelete();
        w.view.viewport()->repaint();
        remove.push_back(Ms(start));
        if (!w.doc().m_tables.empty()) {
            std::fprintf(stderr, "undo_bench: Delete left tables behind\n");
            std::exit(1);
        }

        start = Clock::now();
        w.history().undo();
        w.view.viewport()->repaint();
        undoRemove.push_back(Ms(start));
        if (w.doc().m_tables.size() != size_t(n)) {
            std::fprintf(stderr, "undo_bench: undo did not bring the tables back\n");
            std::exit(1);
        }
        QApplication::processEvents();
    }
    return {Median(move), Median(undoMove), Median(remove), Median(undoRemove)};
}

struct HistoryFigures {
    double ms;
    size_t history;
    size_t diagram;
    int steps;
};

// 1,000 steps, ten of each hundred of every kind: arrow-key moves of one
// table and of all, placing a table, Delete and Cut of one table, pasting
// five, Table and Relation Properties, an Import SQL of ten tables (five of
// them already in the diagram), and Diagram Options and Font by turns.
HistoryFigures MeasureHistory(int n, const QString& script)
{
    const size_t empty = HeapInUse();
    Window w(n);
    const size_t diagram = HeapInUse() - empty;
    BenchSeam seam;
    seam.openFileName = script;

    auto start = Clock::now();
    int pagesX = 25;
    for (int i = 0; i < 1000; ++i) {
        const size_t k = size_t(i) * 7 % w.doc().m_tables.size();
        switch (i % 10) {
        case 0:
            w.SelectOnly(k, 1);
            w.Key(Qt::Key_Right);
            break;
        case 1:
            w.view.OnEditSelectAll();
            w.Key(Qt::Key_Down);
            break;
        case 2:
            CAppState::Get().m_nCurrentTool = ToolTable;
            w.Mouse(QEvent::MouseButtonPress, QPoint(600 + i % 50, 400));
            w.Mouse(QEvent::MouseButtonRelease, QPoint(600 + i % 50, 400));
            break;
        case 3:
            w.SelectOnly(k, 1);
            w.view.OnEditDelete();
            break;
        case 4:
            w.SelectOnly(k, 5);
            w.view.OnEditCopy();
            w.view.OnEditPaste();
            break;
        case 5:
            seam.onDialog = [i](QDialog& dialog) {
                if (auto* table = dynamic_cast<CTablePropertiesDialog*>(&dialog))
                    table->m_strName = QStringLiteral("renamed_%1").arg(i);
                return int(QDialog::Accepted);
            };
            w.view.m_nContextTable = int(k);
            w.view.OnTableProperties();
            break;
        case 6:
            seam.onDialog = [&w, k](QDialog& dialog) {
                if (dynamic_cast<CRelationPropertiesDialog*>(&dialog)) {
                    CRelation& relation = *w.doc().m_relations[k % w.doc().m_relations.size()];
                    relation.m_sourceColumns.push_back(relation.m_pSource->m_def.m_columns.back().get());
                }
                return int(QDialog::Accepted);
            };
            w.view.m_nContextRelation = int(k % w.doc().m_relations.size());
            w.view.OnRelationProperties();
            break;
        case 7:
            w.SelectOnly(k, 1);
            w.view.OnEditCut();
            break;
        case 8:
            w.view.OnImportSQL();
            break;
        case 9:
            if (i % 20 == 9) {
                pagesX = pagesX == 25 ? 24 : 25;
                seam.onDialog = [pagesX](QDialog& dialog) {
                    if (auto* options = dynamic_cast<CDiagramOptionsDialog*>(&dialog)) {
                        options->m_nPagesAcross = unsigned(pagesX);
                        options->m_nPagesDown = 25;
                    }
                    return int(QDialog::Accepted);
                };
                w.view.OnDiagramOptions();
            } else {
                w.view.OnDiagramFont();
            }
            break;
        }
    }
    const double ms = Ms(start);
    const int steps = w.history().count();

    // What the history holds: the heap it frees when it is cleared.
    const size_t withHistory = HeapInUse();
    w.history().clear();
    const size_t history = withHistory - HeapInUse();
    return {ms, history, diagram, steps};
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    auto print = [&](const char* operation, int n, double ms, const std::string& figure) {
        if (rows)
            std::printf("%s\t%d\t%.2f\t%s\n", operation, n, ms, figure.c_str());
        else
            std::printf("%-28s %8d %12.2f   %s\n", operation, n, ms, figure.c_str());
    };
    if (!rows)
        std::printf("%-28s %8s %12s   %s\n", "operation", "tables", "median ms", "figure");

    for (int n : {1000, 10000}) {
        const Timings t = TimeEditing(n);
        auto rate = [n](double ms) { return std::to_string(int(n / (ms / 1000.0))) + " tables/s"; };
        print("select all + drag, painted", n, t.move, rate(t.move));
        print("undo the drag, painted", n, t.undoMove, rate(t.undoMove));
        print("delete all, painted", n, t.remove, rate(t.remove));
        print("undo the delete, painted", n, t.undoRemove, rate(t.undoRemove));
    }

    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("ten.sql"));
    {
        std::ofstream out(script.toStdString(), std::ios::binary);
        for (int i = 0; i < 10; ++i)
            out << "CREATE TABLE " << (i < 5 ? "table_" + std::to_string(i * 100) : "extra_" + std::to_string(i))
                << " (id INT NOT NULL, name CHAR(20), PRIMARY KEY (id));\n";
    }
    const HistoryFigures h = MeasureHistory(10000, script);
    char figure[160];
    std::snprintf(figure, sizeof figure, "%.1f MB, %.2fx the diagram's %.1f MB", double(h.history) / 1048576.0,
                  double(h.history) / double(h.diagram), double(h.diagram) / 1048576.0);
    print("1000 steps: history memory", 10000, h.ms, figure);
    if (!rows)
        std::printf("(%d steps on the stack after merges; time is for all of them)\n", h.steps);
    return 0;
}
