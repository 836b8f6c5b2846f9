// Import of large schema scripts as Import SQL and --import-sql run it
// (ImportScriptIntoDiagram: read, merge, place the new tables): a
// pg_dump-style script of 10,000 tables and the same schema as a MySQL dump.
// Prints one row per reader with --rows (for make bench), a longer report
// otherwise.
#include "CKorvoDoc.h"
#include "DiagramImport.h"
#include "MeasureSurface.h"
#include "SchemaImport.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Every character 100 units wide, lines 240 high: measuring costs what the
// merge costs, not what a font costs.
class BenchSurface : public CMeasureSurface {
public:
    int32_t GetTextWidth(std::string_view text) const override { return 100 * int32_t(text.size()); }
    int32_t GetLineHeight() const override { return 240; }
    CPoint LPtoDP(CPoint pt) const override { return {pt.x / 15, -pt.y / 15}; }
    CPoint DPtoLP(CPoint pt) const override { return {pt.x * 15, -pt.y * 15}; }
    CSize LPtoDP(CSize size) const override { return {size.cx / 15, size.cy / 15}; }
};

std::string PostgresDump(int tables)
{
    std::string s = "--\n-- PostgreSQL database dump\n--\n\nSET statement_timeout = 0;\n"
                    "SET client_encoding = 'UTF8';\nSELECT pg_catalog.set_config('search_path', '', false);\n\n";
    std::string constraints;
    for (int i = 0; i < tables; ++i) {
        const std::string t = "t" + std::to_string(i);
        s += "--\n-- Name: " + t + "_id_seq; Type: SEQUENCE; Schema: public; Owner: postgres\n--\n\n"
             "CREATE SEQUENCE public." + t + "_id_seq\n    AS integer\n    START WITH 1\n    INCREMENT BY 1\n"
             "    NO MINVALUE\n    NO MAXVALUE\n    CACHE 1;\n\n\nALTER TABLE public." + t +
             "_id_seq OWNER TO postgres;\n\n--\n-- Name: " + t + "; Type: TABLE; Schema: public; Owner: postgres\n--\n\n"
             "CREATE TABLE public." + t + " (\n"
             "    id integer DEFAULT nextval('public." + t + "_id_seq'::regclass) NOT NULL,\n"
             "    name character varying(80) NOT NULL,\n"
             "    parent_id integer,\n"
             "    amount numeric(10,2) DEFAULT 0.00,\n"
             "    created_at timestamp with time zone DEFAULT now() NOT NULL,\n"
             "    note text,\n"
             "    flag boolean DEFAULT false NOT NULL,\n"
             "    code character(4),\n"
             "    qty integer,\n"
             "    ref_id integer,\n"
             "    CONSTRAINT " + t + "_qty_check CHECK ((qty >= 0))\n);\n\n\n"
             "ALTER TABLE public." + t + " OWNER TO postgres;\n\n"
             "COMMENT ON TABLE public." + t + " IS 'Table number " + std::to_string(i) + "';\n\n"
             "COMMENT ON COLUMN public." + t + ".name IS 'The name of a " + t + "';\n\n"
             "ALTER SEQUENCE public." + t + "_id_seq OWNED BY public." + t + ".id;\n\n";
        constraints += "ALTER TABLE ONLY public." + t + "\n    ADD CONSTRAINT " + t + "_pkey PRIMARY KEY (id);\n\n"
                       "CREATE INDEX " + t + "_name_idx ON public." + t + " USING btree (name);\n\n";
        if (i > 0)
            constraints += "ALTER TABLE ONLY public." + t + "\n    ADD CONSTRAINT " + t +
                           "_ref_id_fkey FOREIGN KEY (ref_id) REFERENCES public.t" + std::to_string(i - 1) +
                           "(id) ON DELETE CASCADE;\n\n";
    }
    return s + constraints + "--\n-- PostgreSQL database dump complete\n--\n\n";
}

std::string MysqlDump(int tables)
{
    std::string s = "-- MySQL dump 10.13  Distrib 8.0.36\n\n/*!40101 SET NAMES utf8mb4 */;\n"
                    "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */;\n\n";
    for (int i = 0; i < tables; ++i) {
        const std::string t = "t" + std::to_string(i);
        s += "--\n-- Table structure for table `" + t + "`\n--\n\nDROP TABLE IF EXISTS `" + t + "`;\n"
             "/*!40101 SET @saved_cs_client     = @@character_set_client */;\n"
             "CREATE TABLE `" + t + "` (\n"
             "  `id` int NOT NULL AUTO_INCREMENT,\n"
             "  `name` varchar(80) NOT NULL COMMENT 'The name of a " + t + "',\n"
             "  `parent_id` int DEFAULT NULL,\n"
             "  `amount` decimal(10,2) DEFAULT '0.00',\n"
             "  `created_at` timestamp NOT NULL DEFAULT CURRENT_TIMESTAMP,\n"
             "  `note` text,\n"
             "  `flag` tinyint(1) NOT NULL DEFAULT '0',\n"
             "  `code` char(4) DEFAULT NULL,\n"
             "  `qty` int DEFAULT NULL,\n"
             "  `ref_id` int DEFAULT NULL,\n"
             "  PRIMARY KEY (`id`),\n"
             "  KEY `" + t + "_name_idx` (`name`),\n" +
             (i > 0 ? "  KEY `" + t + "_ref_id_fkey` (`ref_id`),\n  CONSTRAINT `" + t +
                          "_ref_id_fkey` FOREIGN KEY (`ref_id`) REFERENCES `t" + std::to_string(i - 1) +
                          "` (`id`) ON DELETE CASCADE,\n"
                    : std::string()) +
             "  CONSTRAINT `" + t + "_qty_check` CHECK ((`qty` >= 0))\n"
             ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci COMMENT='Table number " +
             std::to_string(i) + "';\n/*!40101 SET character_set_client = @saved_cs_client */;\n\n";
    }
    return s + "/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */;\n-- Dump completed\n";
}

std::string SqliteDump(int tables)
{
    std::string s = "PRAGMA foreign_keys=OFF;\nBEGIN TRANSACTION;\n";
    std::string indexes;
    for (int i = 0; i < tables; ++i) {
        const std::string t = "t" + std::to_string(i);
        s += "CREATE TABLE " + t + " (\n"
             "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
             "  name VARCHAR(80) NOT NULL,\n"
             "  parent_id INTEGER,\n"
             "  amount NUMERIC(10,2) DEFAULT 0.00,\n"
             "  created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,\n"
             "  note TEXT,\n"
             "  flag BOOLEAN NOT NULL DEFAULT 0,\n"
             "  code CHAR(4),\n"
             "  qty INTEGER CHECK (qty >= 0),\n"
             "  ref_id INTEGER" +
             (i > 0 ? " REFERENCES t" + std::to_string(i - 1) + " (id) ON DELETE CASCADE" : std::string()) + "\n);\n";
        indexes += "CREATE INDEX " + t + "_name_idx ON " + t + " (name);\n";
    }
    return s + indexes + "COMMIT;\n";
}

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Figures {
    double parse = 0;
    double total = 0;
    double cpu = 0; // processor time of the whole import: what a shared machine's load does not add
    size_t tables = 0;
    size_t relations = 0;
    int32_t pagesX = 0;
    int32_t pagesY = 0;
};

// Imports the script from its file into an empty diagram with the dialect
// chosen by auto-detection: reading, merging and placing.
Figures ImportOnce(const std::string& path, SqlDialect expected)
{
    Figures f;
    CKorvoDoc doc;
    BenchSurface surface;
    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const ScriptIntoDiagram imported = ImportScriptIntoDiagram(doc, surface, PageArea{}, path);
    const auto end = std::chrono::steady_clock::now();
    f.cpu = CpuSeconds() - cpuStart;
    if (!imported.script.ok || imported.script.report.dialect != expected ||
        imported.result.merge.newTables.size() != doc.m_tables.size()) {
        std::fprintf(stderr, "schema_bench: the generated script does not import as expected\n");
        std::exit(1);
    }
    f.total = std::chrono::duration<double>(end - start).count();
    f.tables = doc.m_tables.size();
    f.relations = doc.m_relations.size();
    f.pagesX = doc.m_nMaxPagesX;
    f.pagesY = doc.m_nMaxPagesY;
    return f;
}

// Reading alone, for the longer report.
double ReadOnce(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const ScriptImport result = ImportSchemaScript(path);
    const auto end = std::chrono::steady_clock::now();
    if (!result.ok)
        std::exit(1);
    return std::chrono::duration<double>(end - start).count();
}

struct Case {
    const char* name;
    SqlDialect dialect;
    int tables;
    std::string script;
};

} // namespace

int main(int argc, char** argv)
{
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    const int runs = 5;
    // The SQLite engine rescans its schema table for every CREATE TABLE, so
    // its time grows with the square of the tables: measured at 1,000.
    std::vector<Case> cases{{"import SQL (PostgreSQL dump)", SqlDialect::PostgreSql, 10000, PostgresDump(10000)},
                            {"import SQL (MySQL dump)", SqlDialect::MySql, 10000, MysqlDump(10000)},
                            {"import SQL (SQLite dump)", SqlDialect::Sqlite, 1000, SqliteDump(1000)}};
    char dir[] = "/tmp/korvo-schema-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    for (const Case& c : cases) {
        const std::string path = std::string(dir) + "/script.sql";
        std::ofstream(path, std::ios::binary) << c.script;
        std::vector<Figures> figures;
        for (int r = 0; r < runs; ++r)
            figures.push_back(ImportOnce(path, c.dialect));
        std::sort(figures.begin(), figures.end(), [](const Figures& a, const Figures& b) { return a.total < b.total; });
        const Figures& median = figures[figures.size() / 2];
        const double megabytes = double(c.script.size()) / (1024.0 * 1024.0);
        if (rows) {
            std::printf("%s\t%d\t%.2f\t%.1f MB/s\n", c.name, c.tables, median.total * 1000.0, megabytes / median.total);
        } else {
            std::vector<double> reads;
            for (int r = 0; r < runs; ++r)
                reads.push_back(ReadOnce(path));
            std::sort(reads.begin(), reads.end());
            const double read = reads[reads.size() / 2];
            std::printf("%s: %.1f MB, %zu tables, %zu relations, %d x %d pages; median of %d: read %.3f s "
                        "(%.1f MB/s), read + merge + place %.3f s (%.1f MB/s), processor time %.3f s (%.1f MB/s)\n",
                        c.name, megabytes, median.tables, median.relations, median.pagesX, median.pagesY, runs, read,
                        megabytes / read, median.total, megabytes / median.total, median.cpu, megabytes / median.cpu);
        }
        std::remove(path.c_str());
    }
    rmdir(dir);
    return 0;
}
