#pragma once

#include "CRelation.h"
#include "KorvoTableView.h"
#include "LogFont.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchiveReader;
class CArchiveWriter;

// What opening a diagram file came to. The GUI turns the text and caption
// into a message box; an empty caption means the application's title.
enum class LoadStatus {
    Loaded,             // nothing to show
    Version1Notice,     // loaded after the upgrade notice
    UnknownType,        // "File type not recognized.", opens empty
    UnsupportedVersion, // "File version not supported.", opens empty
    Unexpected,         // "Unexpected file format.", the open fails
    IoError,            // the file could not be read, the open fails
};

struct LoadOutcome {
    LoadOutcome() = default;
    LoadOutcome(LoadStatus status_, std::string text_, std::string caption_, std::string notice_ = {})
        : status(status_), text(std::move(text_)), caption(std::move(caption_)), notice(std::move(notice_))
    {
    }

    LoadStatus status = LoadStatus::Loaded;
    std::string text;    // message to show, empty for none
    std::string caption; // box caption, empty for the application's title
    // A message shown before text, in the application's box: the upgrade
    // notice of a version-1 file that then turns out to be cut short.
    std::string notice;
    bool Opens() const { return status != LoadStatus::Unexpected && status != LoadStatus::IoError; }
};

// One diagram: the tables and relations it owns, the diagram font and the
// canvas size in printer pages.
class CKorvoDoc {
public:
    CKorvoDoc();
    ~CKorvoDoc();

    CKorvoDoc(const CKorvoDoc&) = delete;
    CKorvoDoc& operator=(const CKorvoDoc&) = delete;

    static constexpr int32_t kMagic = 0x45524420;
    static constexpr int32_t kVersion = 2;
    // The most pages across or down a diagram may have. Diagram Options takes
    // up to 25, but arranging and importing grow a diagram beyond that when
    // its tables need the room; a file's page counts are brought into
    // 0 .. kMaxPages when it is read, so that no file can ask for a canvas
    // whose size overflows.
    static constexpr int32_t kMaxPages = 1000;

    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    bool IsModified() const { return m_bModified; }

    // Appending keeps document order; the document takes ownership.
    KorvoTableView* AddTable(std::unique_ptr<KorvoTableView> table);
    CRelation* AddRelation(std::unique_ptr<CRelation> relation);

    // Lookups: null or -1 when not found.
    KorvoTableView* GetTable(int index) const;
    CRelation* GetRelation(int index) const;
    int GetTableIndex(const KorvoTableView* table) const;
    KorvoTableView* FindTable(std::string_view name) const;
    static CColumn* GetColumn(const KorvoTableView* table, int index);
    static int GetColumnIndex(const KorvoTableView* table, const CColumn* column);
    template <class T>
    static int IndexOf(const std::vector<T*>& list, const T* item)
    {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] == item)
                return static_cast<int>(i);
        return -1;
    }
    template <class T>
    static T* ElementAt(const std::vector<T*>& list, int index)
    {
        return index >= 0 && static_cast<size_t>(index) < list.size() ? list[index] : nullptr;
    }

    // Removals delete the object, keep the others in order and mark the
    // document modified for every object removed.
    void RemoveRelation(CRelation* relation);
    void RemoveRelation(int index);
    void RemoveTableRelations(const KorvoTableView* table);
    void RemoveTable(KorvoTableView* table);
    void RemoveTable(int index);
    void RemoveColumnRelations(const KorvoTableView* table, int columnIndex);
    // What removing every selected relation and then every selected table one
    // by one leaves, in one pass over each list however much is selected.
    void RemoveSelection();

    // The .erd format: always writes version 2; reads versions 1 and 2 into
    // this (empty) document.
    void Serialize(CArchiveWriter& ar) const;
    LoadOutcome Serialize(CArchiveReader& ar);
    std::string SaveToBytes() const;
    LoadOutcome LoadFromBytes(const void* data, size_t size);

    // Writes the CREATE TABLE script; false with the error text on failure.
    bool ExportSQL(const char* path, char* errorText, int errorTextSize);
    std::string ExportSQLText();

    std::vector<std::unique_ptr<KorvoTableView>> m_tables;
    std::vector<std::unique_ptr<CRelation>> m_relations;
    KorvoLogFont m_logFont;
    int32_t m_nMaxPagesX = 5;
    int32_t m_nMaxPagesY = 5;

private:
    void ReadVersion1(CArchiveReader& ar);
    void ReadVersion2(CArchiveReader& ar);
    struct SqlExportPlan;
    void WriteTableSQL(std::string& out, KorvoTableView* table, SqlExportPlan& plan);
    static void WriteStatement(std::string& out, const KorvoTableView& table,
                               const std::vector<const CRelation*>& references);

    bool m_bModified = false;
};
