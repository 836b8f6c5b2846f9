// Writes examples/example.erd: a small order-processing diagram with keys,
// defaults, checks and three relations, built through the model so the file
// is exactly what the program itself saves.
#include "CColumn.h"
#include "CKorvoDoc.h"
#include "CRelation.h"
#include "DiagramFile.h"
#include "KorvoTableView.h"

#include <cstdio>
#include <memory>

namespace {

struct ColumnSpec {
    const char* name;
    const char* type;
    bool required;
    const char* defaultValue;
    bool primaryKey;
    bool unique;
    const char* check;
    const char* description;
};

// Positions are twips with y growing upward, so tables lie below y = 0. The
// sizes are left at 0: the program measures every table when it draws it.
KorvoTableView* AddTable(CKorvoDoc& doc, const char* name, int32_t x, int32_t y, const char* check,
                         const char* description, std::initializer_list<ColumnSpec> columns)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_def.m_strCheck = check;
    table->m_def.m_strDescription = description;
    table->m_x = x;
    table->m_y = y;
    for (const ColumnSpec& c : columns)
        table->m_def.AddColumn(std::make_unique<CColumn>(c.name, c.type, c.required, c.defaultValue, c.primaryKey,
                                                         c.unique, c.check, c.description));
    return doc.AddTable(std::move(table));
}

CColumn* Column(KorvoTableView* table, int index)
{
    return CKorvoDoc::GetColumn(table, index);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example OUT.erd\n");
        return 2;
    }

    CKorvoDoc doc;
    doc.m_nMaxPagesX = 2;
    doc.m_nMaxPagesY = 1;

    KorvoTableView* customer = AddTable(doc, "customer", 720, -720, "", "People and firms that place orders",
                                        {{"id", "INTEGER", true, "", true, false, "", "Customer number"},
                                         {"name", "VARCHAR(80)", true, "", false, false, "", ""},
                                         {"email", "VARCHAR(120)", false, "", false, true, "", "Unique when given"},
                                         {"created", "DATE", true, "CURRENT_DATE", false, false, "", ""}});
    KorvoTableView* orders =
        AddTable(doc, "orders", 4320, -1080, "", "One order of one customer",
                 {{"id", "INTEGER", true, "", true, false, "", "Order number"},
                  {"customer_id", "INTEGER", true, "", false, false, "", ""},
                  {"placed", "DATE", true, "CURRENT_DATE", false, false, "", ""},
                  {"status", "VARCHAR(12)", true, "'new'", false, false,
                   "status IN ('new', 'paid', 'shipped')", ""}});
    KorvoTableView* item =
        AddTable(doc, "order_item", 7920, -1800, "line_no > 0", "The lines of an order",
                 {{"order_id", "INTEGER", true, "", true, false, "", ""},
                  {"line_no", "INTEGER", true, "", true, false, "", ""},
                  {"product_id", "INTEGER", true, "", false, false, "", ""},
                  {"quantity", "INTEGER", true, "1", false, false, "quantity > 0", ""}});
    KorvoTableView* product =
        AddTable(doc, "product", 4320, -4320, "", "Things for sale",
                 {{"id", "INTEGER", true, "", true, false, "", ""},
                  {"name", "VARCHAR(80)", true, "", false, true, "", ""},
                  {"price", "DECIMAL(10,2)", true, "0", false, false, "price >= 0", "Unit price"}});

    // The source side holds the foreign key; the destination its target.
    doc.AddRelation(std::make_unique<CRelation>(orders, Column(orders, 1), customer, Column(customer, 0)));
    doc.AddRelation(std::make_unique<CRelation>(item, Column(item, 0), orders, Column(orders, 0)));
    doc.AddRelation(std::make_unique<CRelation>(item, Column(item, 2), product, Column(product, 0)));

    const FileResult result = SaveDiagramFile(argv[1], doc);
    if (!result.ok) {
        std::fprintf(stderr, "make_example: %s\n", result.message.c_str());
        return 1;
    }
    return 0;
}
