// The text of JSON scalars: string literals (escaping and reading them
// back) and numbers in their shortest form.

#include "Json.h"
#include "Text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace ondrel::json {

void appendQuoted(std::string& out, std::string_view utf8)
{
    out.reserve(out.size() + utf8.size() + 2);
    out += '"';
    appendEscaped(out, utf8);
    out += '"';
}

void appendEscaped(std::string& out, std::string_view utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::size_t run = 0; // start of the pending run of bytes written as they are
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != '/')
            continue;
        out.append(utf8.data() + run, i - run);
        run = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    out.append(utf8.data() + run, utf8.size() - run);
}

namespace {

// Four hex digits at `at`, or -1.
int readHex4(std::string_view s, std::size_t at)
{
    if (at + 4 > s.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const int digit = text::hexDigitValue(s[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::optional<std::string> unquote(std::string_view literal)
{
    if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"')
        return std::nullopt;
    const std::string_view body = literal.substr(1, literal.size() - 2);
    std::string out;
    out.reserve(body.size());
    std::size_t at = 0;
    while (at < body.size()) {
        // Long runs without escapes are copied whole.
        const void* found = std::memchr(body.data() + at, '\\', body.size() - at);
        const std::size_t escape =
            found ? std::size_t(static_cast<const char*>(found) - body.data()) : body.size();
        out.append(body.data() + at, escape - at);
        if (escape == body.size())
            break;
        if (escape + 1 >= body.size())
            return std::nullopt;
        at = escape + 2;
        switch (body[escape + 1]) {
        case '"':
        case '\\':
        case '/':
            out += body[escape + 1];
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            const int unit = readHex4(body, at);
            if (unit < 0)
                return std::nullopt;
            at += 4;
            char32_t c = char32_t(unit);
            if (unit >= 0xD800 && unit < 0xDC00 && at + 6 <= body.size() && body[at] == '\\' &&
                body[at + 1] == 'u') {
                const int low = readHex4(body, at + 2);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
                    at += 6;
                }
            }
            if (c >= 0xD800 && c < 0xE000)
                c = 0xFFFD;
            appendUtf8(out, c);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string formatDouble(double d)
{
    if (d == 0)
        return std::signbit(d) ? "-0" : "0";
    // Shortest round-trip digits in scientific form, then laid out by hand so
    // everyday magnitudes are written without an exponent.
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    (void)ec;
    std::string_view sci(buf, end - buf);
    const bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const auto ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+'), sci.data() + sci.size(), exponent);

    std::string out = negative ? "-" : "";
    const int nd = static_cast<int>(digits.size());
    if (exponent >= -7 && exponent < 21) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else if (exponent + 1 >= nd) {
            out += digits;
            out.append(static_cast<std::size_t>(exponent + 1 - nd), '0');
        } else {
            out += digits.substr(0, exponent + 1);
            out += '.';
            out += digits.substr(exponent + 1);
        }
    } else {
        out += digits.substr(0, 1);
        if (nd > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out += std::to_string(exponent);
    }
    return out;
}

} // namespace ondrel::json
