#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A JSON text read into a tree of values in one arena, for the parse trees
// libpg_query writes: fast to build, released at once. Objects keep their
// members in order; strings are decoded.
class CJsonDocument {
public:
    enum class Kind : uint8_t { Null, Bool, Number, String, Array, Object };
    struct Member;
    struct Value {
        Kind kind = Kind::Null;
        bool boolean = false;
        int64_t number = 0;
        std::string_view text;           // String
        const Value* items = nullptr;    // Array
        const Member* members = nullptr; // Object
        uint32_t count = 0;

        // The member of an object with this key, or null.
        const Value* Get(std::string_view key) const;
        std::string_view Text() const { return kind == Kind::String ? text : std::string_view(); }
        int64_t Number(int64_t otherwise = -1) const { return kind == Kind::Number ? number : otherwise; }
        bool Bool() const { return kind == Kind::Bool && boolean; }
        const Value* begin() const { return kind == Kind::Array ? items : nullptr; }
        const Value* end() const { return kind == Kind::Array ? items + count : nullptr; }
    };
    struct Member {
        std::string_view key;
        Value value;
    };

    // False when the text is not JSON or nests deeper than maxDepth.
    bool Parse(std::string_view json, int maxDepth = 100000);
    const Value& Root() const { return m_root; }

private:
    bool ParseValue(Value& out, int depth);
    bool ParseString(std::string_view& out);
    void SkipSpace();
    void* Allocate(size_t bytes);

    const char* m_p = nullptr;
    const char* m_end = nullptr;
    int m_maxDepth = 0;
    Value m_root;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_blocksOversized = 0; // at the front of m_blocks
    size_t m_current = 0;         // block being filled
    size_t m_used = 0;
    size_t m_capacity = 0;
    // Scratch stacks for arrays and objects being read.
    std::vector<Value> m_valueStack;
    std::vector<Member> m_memberStack;
};
