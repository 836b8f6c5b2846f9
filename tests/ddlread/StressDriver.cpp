// Runs a few hundred imports of generated and damaged scripts, for a memory
// checker (valgrind or a sanitizer build) to watch. Exits non-zero only when
// an import breaks its contract in a way visible without a checker.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ddlread.h"

namespace {

const char* const kSeeds[] = {
    "CREATE TABLE a (x INT NOT NULL PRIMARY KEY, y VARCHAR(20) DEFAULT 'q' UNIQUE,\n"
    "  z DECIMAL(10, 2) CHECK (z BETWEEN 1 AND 2 OR z IN ((SELECT MAX(b) FROM t))),\n"
    "  FOREIGN KEY (x, y) REFERENCES b (c, d), CHECK (NOT EXISTS (SELECT * FROM u)));\n",
    "CREATE TABLE b (c INT AUTO_INCREMENT, d DOUBLE PRECISION REFERENCES a (x))\n---\n",
    "CREATE TABLE s.c (e CHAR CHECK (e LIKE 'a%' ESCAPE '!' AND e IS NOT NULL),\n"
    "  f INT CHECK (f = ANY (SELECT DISTINCT g FROM h k WHERE g > 0 GROUP BY g HAVING "
    "COUNT(*) > 1)), UNIQUE (e, f));\n",
    "-- comment\ninsert into t values (1);\nCREATE TABLE d (g 'open\n INT);\n",
    "CREATE TABLE e (h INT CHECK (h = -(1 + 2) * 3 / SUM(ALL h)), i DEFAULT USER);\n",
};

// A small deterministic generator, so every run checks the same inputs.
struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    size_t Below(size_t bound) { return bound ? Next() % bound : 0; }
};

std::string Damage(std::string text, Random& random)
{
    switch (random.Below(6)) {
    case 0:
        return text.substr(0, random.Below(text.size() + 1));
    case 1:
        for (int i = 0; i < 4 && !text.empty(); ++i) {
            text[random.Below(text.size())] = static_cast<char>(random.Next());
        }
        return text;
    case 2: {
        size_t from = random.Below(text.size());
        size_t length = random.Below(text.size() - from + 1);
        return text.insert(random.Below(text.size()), text.substr(from, length));
    }
    case 3: {
        std::string crlf;
        for (char ch : text) {
            crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        }
        return crlf;
    }
    case 4:
        return text.insert(random.Below(text.size()),
                           " " + std::string(20000 + random.Below(20000), 'w') + " ");
    default:
        return text.insert(random.Below(text.size()), std::string(random.Below(400), '('));
    }
}

}  // namespace

int main()
{
    char directory[] = "/tmp/ddlread_stress_XXXXXX";
    if (!mkdtemp(directory)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string scriptPath = std::string(directory) + "/script.sql";
    const std::string tracePath = std::string(directory) + "/trace.txt";
    Random random{ 20240601 };
    int failures = 0;
    int imports = 0;
    int succeeded = 0;

    for (int round = 0; round < 400; ++round) {
        std::string script;
        for (int i = 0; i < 3; ++i) {
            script += kSeeds[random.Below(std::size(kSeeds))];
        }
        if (round % 4 != 0) {
            script = Damage(script, random);
        }
        {
            std::ofstream out(scriptPath, std::ios::binary | std::ios::trunc);
            out << script;
        }
        const char* path = scriptPath.c_str();
        if (round % 50 == 7) {
            path = directory;  // opens, cannot be read
        } else if (round % 50 == 9) {
            path = "/nonexistent/ddlread.sql";
        }
        char error[500];
        std::memset(error, 'x', sizeof error);
        TableData* list = ImportSQLTables(path, error, sizeof error,
                                          round % 3 == 0 ? tracePath.c_str() : nullptr);
        ++imports;
        if (!memchr(error, '\0', sizeof error) || (!list && error[0] == '\0')) {
            std::fprintf(stderr, "round %d: error text broken\n", round);
            ++failures;
        }
        if (list) {
            ++succeeded;
        }
        FreeTableData(list);
    }
    std::remove(scriptPath.c_str());
    std::remove(tracePath.c_str());
    rmdir(directory);
    std::printf("%d imports, %d succeeded, %d broken\n", imports, succeeded, failures);
    return failures == 0 ? 0 : 1;
}
