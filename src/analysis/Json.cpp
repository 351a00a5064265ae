#include "Json.h"

#include "JsonSax.h"

#include <charconv>
#include <cmath>

namespace ondrel::json {

Value Value::boolean(bool b)
{
    Value v;
    v.m_kind = Kind::Bool;
    v.m_bool = b;
    return v;
}

Value Value::string(std::string utf8)
{
    Value v;
    v.m_kind = Kind::String;
    v.m_text = std::move(utf8);
    return v;
}

Value Value::integer(std::int64_t n)
{
    return number(std::to_string(n), true);
}

Value Value::floating(double d)
{
    return number(formatDouble(d), false);
}

Value Value::number(std::string digits, bool isInteger)
{
    Value v;
    v.m_kind = Kind::Number;
    v.m_isInteger = isInteger;
    v.m_text = std::move(digits);
    return v;
}

Value Value::array(std::vector<Value> items)
{
    Value v;
    v.m_kind = Kind::Array;
    v.m_items = std::move(items);
    return v;
}

Value Value::object(std::vector<std::string> keys, std::vector<Value> values)
{
    Value v;
    v.m_kind = Kind::Object;
    v.m_keys = std::move(keys);
    v.m_items = std::move(values);
    return v;
}

std::optional<double> Value::toDouble() const
{
    if (m_kind != Kind::Number)
        return std::nullopt;
    double d = 0;
    const char* begin = m_text.data();
    const char* end = begin + m_text.size();
    auto [ptr, ec] = std::from_chars(begin, end, d);
    if (ec != std::errc() || ptr != end || !std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<std::int64_t> Value::toInt64() const
{
    if (!isInteger())
        return std::nullopt;
    std::int64_t n = 0;
    const char* begin = m_text.data();
    const char* end = begin + m_text.size();
    auto [ptr, ec] = std::from_chars(begin, end, n);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return n;
}

const Value* Value::member(std::string_view key) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == key)
            return &m_items[i];
    }
    return nullptr;
}

void Value::insert(std::string key, Value v)
{
    m_keys.push_back(std::move(key));
    m_items.push_back(std::move(v));
}

namespace {

using nlohmann::json;

// Builds the tree with an explicit stack; nlohmann's parser is itself
// iterative, so nothing here recurses on the input's nesting. The members
// of open containers wait on shared stacks and move into a container of
// the exact size when it closes: one allocation per container.
class TreeBuilder final
{
public:
    bool null() { return add(Value::null()); }
    bool boolean(bool b) { return add(Value::boolean(b)); }
    bool number_integer(json::number_integer_t n) { return add(Value::number(std::to_string(n), true)); }
    bool number_unsigned(json::number_unsigned_t n) { return add(Value::number(std::to_string(n), true)); }
    bool number_float(json::number_float_t, const json::string_t& digits)
    {
        // Integers beyond 64 bits arrive here; their digits stay exact.
        const bool integral = digits.find_first_of(".eE") == std::string::npos;
        return add(Value::number(digits, integral));
    }
    bool string(json::string_t& s) { return add(Value::string(std::move(s))); }
    bool binary(json::binary_t&) { return false; }
    bool start_object(std::size_t) { return open(true); }
    bool key(json::string_t& k)
    {
        m_keys.push_back(std::move(k));
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(false); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    std::optional<Value> take() { return std::move(m_root); }

private:
    struct Frame
    {
        std::size_t firstValue;
        std::size_t firstKey;
        bool object;
    };

    bool add(Value v)
    {
        if (m_frames.empty())
            m_root = std::move(v);
        else
            m_values.push_back(std::move(v));
        return true;
    }
    bool open(bool object)
    {
        if (static_cast<int>(m_frames.size()) >= kMaxDepth)
            return false;
        m_frames.push_back({m_values.size(), m_keys.size(), object});
        return true;
    }
    bool close()
    {
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        const auto firstValue = m_values.begin() + static_cast<std::ptrdiff_t>(frame.firstValue);
        std::vector<Value> values(std::make_move_iterator(firstValue),
                                  std::make_move_iterator(m_values.end()));
        m_values.erase(firstValue, m_values.end());
        if (!frame.object)
            return add(Value::array(std::move(values)));
        const auto firstKey = m_keys.begin() + static_cast<std::ptrdiff_t>(frame.firstKey);
        std::vector<std::string> keys(std::make_move_iterator(firstKey),
                                      std::make_move_iterator(m_keys.end()));
        m_keys.erase(firstKey, m_keys.end());
        return add(Value::object(std::move(keys), std::move(values)));
    }

    std::optional<Value> m_root;
    std::vector<Value> m_values;
    std::vector<std::string> m_keys;
    std::vector<Frame> m_frames;
};

class DepthChecker final
{
public:
    bool null() { return true; }
    bool boolean(bool) { return true; }
    bool number_integer(json::number_integer_t) { return true; }
    bool number_unsigned(json::number_unsigned_t) { return true; }
    bool number_float(json::number_float_t, const json::string_t&) { return true; }
    bool string(json::string_t&) { return true; }
    bool binary(json::binary_t&) { return false; }
    bool start_object(std::size_t) { return ++m_depth <= kMaxDepth; }
    bool key(json::string_t&) { return true; }
    bool end_object() { return --m_depth, true; }
    bool start_array(std::size_t) { return ++m_depth <= kMaxDepth; }
    bool end_array() { return --m_depth, true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    int m_depth = 0;
};

// Recursion is bounded: parsed trees are at most kMaxDepth deep.
void writeCompact(std::string& out, const Value& v)
{
    switch (v.kind()) {
    case Value::Kind::Null:
        out += "null";
        break;
    case Value::Kind::Bool:
        out += v.asBool() ? "true" : "false";
        break;
    case Value::Kind::Number:
        out += v.text();
        break;
    case Value::Kind::String:
        appendQuoted(out, v.text());
        break;
    case Value::Kind::Array:
        out += '[';
        for (std::size_t i = 0; i < v.items().size(); ++i) {
            if (i)
                out += ',';
            writeCompact(out, v.items()[i]);
        }
        out += ']';
        break;
    case Value::Kind::Object:
        out += '{';
        for (std::size_t i = 0; i < v.items().size(); ++i) {
            if (i)
                out += ',';
            appendQuoted(out, v.keys()[i]);
            out += ':';
            writeCompact(out, v.items()[i]);
        }
        out += '}';
        break;
    }
}

} // namespace

std::optional<Value> parse(std::string_view utf8)
{
    TreeBuilder builder;
    if (!runParser(utf8, builder))
        return std::nullopt;
    return builder.take();
}

bool isValid(std::string_view utf8)
{
    DepthChecker checker;
    return runParser(utf8, checker);
}

bool nestsTooDeep(std::string_view utf8)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

std::string write(const Value& value)
{
    std::string out;
    writeCompact(out, value);
    return out;
}

} // namespace ondrel::json
