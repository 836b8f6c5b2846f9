// schema_catalog SCRIPT [DIALECT]: prints what the import reads from a
// script as catalog lines, then its report on stderr. For comparing with the
// captured catalogs by hand.
#include "CatalogText.h"
#include "SchemaImport.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: schema_catalog SCRIPT [auto|korvo|postgresql|mysql|sqlite|sqlserver|oracle|db2]\n";
        return 2;
    }
    ImportOptions options;
    if (argc > 2) {
        const auto dialect = DialectFromKeyword(argv[2]);
        if (!dialect) {
            std::cerr << "unknown dialect " << argv[2] << "\n";
            return 2;
        }
        options.dialect = *dialect;
    }
    const ScriptImport result = ImportSchemaScript(argv[1], options);
    std::cout << CatalogText(result.description);
    std::cerr << "dialect: " << DialectDisplayName(result.report.dialect)
              << (result.report.dialectDetected ? " (detected)" : "") << ", tables: "
              << result.description.tables.size() << "\n";
    for (const StatementTally& t : result.report.skipped)
        std::cerr << "skipped " << t.kind << " x" << t.count << " first at line " << t.firstLines.front() << "\n";
    for (const StatementTally& t : result.report.unreadable)
        std::cerr << "unreadable " << t.kind << " x" << t.count << " first at line " << t.firstLines.front() << ": "
                  << t.firstReason << "\n";
    if (result.report.droppedCharacters)
        std::cerr << "dropped characters: " << result.report.droppedCharacters << "\n";
    if (!result.ok)
        std::cerr << "error: " << result.errorText << " / " << result.readerError << "\n";
    return result.ok ? 0 : 1;
}
