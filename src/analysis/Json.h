#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondrel::json {

// Nesting deeper than this fails the parse: it keeps recursive walks of the
// tree (destruction, writing) far from the end of the stack.
inline constexpr int kMaxDepth = 512;

// A JSON value that keeps what a round trip needs: member order, the
// integer/float distinction and each number's digits (integers of any size).
class Value final
{
public:
    enum class Kind : std::uint8_t
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };

    Value() = default;
    static Value null() { return Value(); }
    static Value boolean(bool b);
    static Value string(std::string utf8);
    static Value integer(std::int64_t n);
    static Value floating(double d);
    // `digits` must be a valid JSON number.
    static Value number(std::string digits, bool isInteger);
    static Value array(std::vector<Value> items = {});
    // `keys` and `values` are parallel.
    static Value object(std::vector<std::string> keys = {}, std::vector<Value> values = {});

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isBool() const { return m_kind == Kind::Bool; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isString() const { return m_kind == Kind::String; }
    bool isArray() const { return m_kind == Kind::Array; }
    bool isObject() const { return m_kind == Kind::Object; }

    bool asBool() const { return m_bool; }
    // For strings the UTF-8 text; for numbers the digits as written.
    const std::string& text() const { return m_text; }
    bool isInteger() const { return m_kind == Kind::Number && m_isInteger; }
    // The number as a double; nullopt when it is not a finite double.
    std::optional<double> toDouble() const;
    // The number as a 64-bit integer; nullopt for fractions or out-of-range values.
    std::optional<std::int64_t> toInt64() const;

    // Array elements, or object member values (parallel to keys()).
    const std::vector<Value>& items() const { return m_items; }
    std::vector<Value>& items() { return m_items; }
    const std::vector<std::string>& keys() const { return m_keys; }
    // First member with that name, or nullptr.
    const Value* member(std::string_view key) const;

    void append(Value v) { m_items.push_back(std::move(v)); }
    void insert(std::string key, Value v);

private:
    Kind m_kind = Kind::Null;
    bool m_bool = false;
    bool m_isInteger = false;
    std::string m_text;
    std::vector<Value> m_items;
    std::vector<std::string> m_keys;
};

// Strict RFC 8259 parse (no comments, no trailing commas, valid UTF-8 only).
// Input holding a NUL byte is rejected: the underlying lexer would stop there.
std::optional<Value> parse(std::string_view utf8);

// The same acceptance as parse() without building a tree.
bool isValid(std::string_view utf8);

// The brackets of `utf8` (outside strings) nest deeper than kMaxDepth: the
// reason parse() refuses a text that may be well formed otherwise.
bool nestsTooDeep(std::string_view utf8);

// Compact, members in their stored order.
std::string write(const Value& value);

enum class Style
{
    Compact, // no white space at all
    Pretty,  // one member or element per line, two spaces per level, " : " after keys
};
struct WriteOptions
{
    Style style = Style::Compact;
    // Object members by key in code-point order; of repeated keys the last wins.
    bool sortKeys = false;
    // Fractions and exponents in their shortest round-trip form ("1.50" as
    // "1.5", "1E2" as "100"); integers keep their digits at any size.
    bool canonicalNumbers = false;
    // Expected output size, to allocate the result once.
    std::size_t sizeHint = 0;
};
// Parses `utf8` strictly and writes it again with `options`. No tree is
// built, so this stays fast on large documents. With `containerOnly`, a text whose top level is
// not an object or an array fails too.
std::optional<std::string> reformat(std::string_view utf8, WriteOptions options, bool containerOnly = false);

// Appends `utf8` as a JSON string literal: `"` `\` and control characters are
// escaped, `/` is written as `\/`, other characters are written unescaped.
void appendQuoted(std::string& out, std::string_view utf8);
// The same without the quotes: a literal may be built from several pieces.
void appendEscaped(std::string& out, std::string_view utf8);

// The text of a JSON string literal (quotes included), for literals this
// program wrote: escapes are decoded (a lone surrogate becomes U+FFFD), the
// rest is copied as it is, without checking its UTF-8. None when the quotes
// or an escape are malformed.
std::optional<std::string> unquote(std::string_view literal);

// Shortest text that reads back as the same double, without exponent for
// everyday magnitudes ("1.5", "0", "786000000.25"). `d` must be finite.
std::string formatDouble(double d);

} // namespace ondrel::json
