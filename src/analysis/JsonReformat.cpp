// Re-writing a JSON text (sorted, minified, pretty) without building a tree:
// the parser fills a flat list of tokens over one string pool, which costs a
// handful of allocations for any size of document.

#include "Json.h"
#include "JsonSax.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace ondrel::json {

namespace {

using nlohmann::json;

struct Token
{
    enum Kind : std::uint8_t
    {
        Null,
        True,
        False,
        Integer,
        Float,
        String,
        Key,
        Array,
        Object
    };
    Kind kind;
    std::uint32_t offset = 0; // text in the pool (strings, keys, numbers)
    std::uint32_t length = 0;
    std::uint32_t end = 0; // containers: index just past their last token
};

class TapeBuilder final
{
public:
    std::vector<Token> tokens;
    std::string pool;

    bool null() { return push(Token::Null); }
    bool boolean(bool b) { return push(b ? Token::True : Token::False); }
    bool number_integer(json::number_integer_t n) { return integer(n); }
    bool number_unsigned(json::number_unsigned_t n) { return integer(n); }
    bool number_float(json::number_float_t, const json::string_t& digits)
    {
        // Integers beyond 64 bits arrive here; their digits stay exact.
        const bool integral = digits.find_first_of(".eE") == std::string::npos;
        return text(integral ? Token::Integer : Token::Float, digits);
    }
    bool string(json::string_t& s) { return text(Token::String, s); }
    bool binary(json::binary_t&) { return false; }
    bool key(json::string_t& k) { return text(Token::Key, k); }
    bool start_object(std::size_t) { return open(Token::Object); }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Token::Array); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    bool fits() const { return tokens.size() < kLimit && pool.size() < kLimit; }
    bool push(Token::Kind kind)
    {
        tokens.push_back({kind});
        return fits();
    }
    bool text(Token::Kind kind, std::string_view s)
    {
        tokens.push_back(
            {kind, static_cast<std::uint32_t>(pool.size()), static_cast<std::uint32_t>(s.size())});
        pool += s;
        return fits();
    }
    template <typename N> bool integer(N n)
    {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, n);
        return text(Token::Integer, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }
    bool open(Token::Kind kind)
    {
        if (static_cast<int>(m_open.size()) >= kMaxDepth)
            return false;
        m_open.push_back(tokens.size());
        return push(kind);
    }
    bool close()
    {
        tokens[m_open.back()].end = static_cast<std::uint32_t>(tokens.size());
        m_open.pop_back();
        return true;
    }

    static constexpr std::size_t kLimit = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::size_t> m_open;
};

class TapeWriter final
{
public:
    TapeWriter(const TapeBuilder& tape, std::string& out, WriteOptions options)
        : m_tokens(tape.tokens), m_pool(tape.pool), m_out(out), m_options(options)
    {}

    // Writes the value at `i`; returns the index after it. Recursion is
    // bounded by the parser's depth cap.
    std::size_t value(std::size_t i, int depth)
    {
        const Token& t = m_tokens[i];
        switch (t.kind) {
        case Token::Null:
            m_out += "null";
            return i + 1;
        case Token::True:
            m_out += "true";
            return i + 1;
        case Token::False:
            m_out += "false";
            return i + 1;
        case Token::Integer:
            m_out += text(t);
            return i + 1;
        case Token::Float:
            number(t);
            return i + 1;
        case Token::String:
        case Token::Key:
            appendQuoted(m_out, text(t));
            return i + 1;
        case Token::Array: {
            m_out += '[';
            std::size_t n = 0;
            for (std::size_t j = i + 1; j < t.end; ++n) {
                separator(n, depth + 1);
                j = value(j, depth + 1);
            }
            close(']', n == 0, depth);
            return t.end;
        }
        case Token::Object:
            object(i, depth);
            return t.end;
        }
        return i + 1;
    }

private:
    struct Member
    {
        std::string_view key;
        std::size_t value;
    };

    std::string_view text(const Token& t) const
    {
        return std::string_view(m_pool).substr(t.offset, t.length);
    }
    std::size_t after(std::size_t i) const
    {
        const Token& t = m_tokens[i];
        return t.kind == Token::Array || t.kind == Token::Object ? t.end : i + 1;
    }

    void object(std::size_t i, int depth)
    {
        // The members wait on one shared list; nested objects use the space after them.
        const std::size_t first = m_members.size();
        for (std::size_t j = i + 1; j < m_tokens[i].end; j = after(j + 1))
            m_members.push_back({text(m_tokens[j]), j + 1});
        auto begin = m_members.begin() + static_cast<std::ptrdiff_t>(first);
        if (m_options.sortKeys) {
            // string_view compares bytes as unsigned: UTF-8 byte order is code-point order.
            std::stable_sort(begin, m_members.end(),
                             [](const Member& a, const Member& b) { return a.key < b.key; });
            // Of equal keys the last one written wins.
            auto keep =
                std::unique(std::make_reverse_iterator(m_members.end()), std::make_reverse_iterator(begin),
                            [](const Member& a, const Member& b) { return a.key == b.key; });
            m_members.erase(begin, keep.base());
        }
        const std::size_t count = m_members.size() - first;
        m_out += '{';
        for (std::size_t k = 0; k < count; ++k) {
            const Member member = m_members[first + k]; // copied: nested objects may grow the list
            separator(k, depth + 1);
            appendQuoted(m_out, member.key);
            m_out += m_options.style == Style::Pretty ? " : " : ":";
            value(member.value, depth + 1);
        }
        close('}', count == 0, depth);
        m_members.resize(first);
    }

    void number(const Token& t)
    {
        const std::string_view digits = text(t);
        double d = 0;
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), d);
        if (m_options.canonicalNumbers && result.ec == std::errc() && std::isfinite(d))
            m_out += formatDouble(d);
        else
            m_out += digits;
    }
    void separator(std::size_t index, int depth)
    {
        if (index > 0)
            m_out += ',';
        if (m_options.style == Style::Pretty) {
            m_out += '\n';
            m_out.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
    }
    void close(char bracket, bool empty, int depth)
    {
        if (m_options.style == Style::Pretty && !empty) {
            m_out += '\n';
            m_out.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
        m_out += bracket;
    }

    const std::vector<Token>& m_tokens;
    const std::string& m_pool;
    std::string& m_out;
    WriteOptions m_options;
    std::vector<Member> m_members;
};

} // namespace

std::optional<std::string> reformat(std::string_view utf8, WriteOptions options, bool containerOnly)
{
    TapeBuilder tape;
    tape.tokens.reserve(utf8.size() / 8 + 16);
    tape.pool.reserve(utf8.size());
    if (!runParser(utf8, tape) || tape.tokens.empty())
        return std::nullopt;
    const Token::Kind root = tape.tokens.front().kind;
    if (containerOnly && root != Token::Array && root != Token::Object)
        return std::nullopt;
    std::string out;
    out.reserve(options.sizeHint ? options.sizeHint : utf8.size());
    TapeWriter(tape, out, options).value(0, 0);
    return out;
}

} // namespace ondrel::json
