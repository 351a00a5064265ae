#include "Encodings.h"

#include "Text.h"

#include <string_view>

namespace ondrel::encoding {

namespace {

bool keepsInUrl(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    constexpr std::string_view kept = "-._~!$&'()*+,;=:@/?";
    return kept.find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

// UTF-8 of a text, or none when it holds a lone surrogate (which has no UTF-8 form).
std::optional<QByteArray> strictUtf8(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return std::nullopt;
    }
    return text.toUtf8();
}

std::optional<QString> fromStrictUtf8(const QByteArray& bytes)
{
    if (!text::isValidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

// Standard Base64 with padding; nothing outside the alphabet is allowed.
std::optional<QByteArray> decodeBase64Strict(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    const auto value = [](char16_t c) -> int {
        if (c >= u'A' && c <= u'Z')
            return c - u'A';
        if (c >= u'a' && c <= u'z')
            return c - u'a' + 26;
        if (c >= u'0' && c <= u'9')
            return c - u'0' + 52;
        if (c == u'+')
            return 62;
        if (c == u'/')
            return 63;
        return -1;
    };
    QByteArray out;
    out.reserve(text.size() / 4 * 3);
    for (qsizetype i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char16_t c = text[i + k].unicode();
            if (c == u'=' && last && k >= 2) {
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0) // data after padding
                return std::nullopt;
            v[k] = value(c);
            if (v[k] < 0)
                return std::nullopt;
        }
        const quint32 n =
            (quint32(v[0]) << 18) | (quint32(v[1]) << 12) | (quint32(v[2]) << 6) | quint32(v[3]);
        out.append(char(n >> 16));
        if (padding < 2)
            out.append(char((n >> 8) & 0xFF));
        if (padding < 1)
            out.append(char(n & 0xFF));
    }
    return out;
}

std::optional<QString> urlEncode(const QString& text)
{
    const auto utf8 = strictUtf8(text);
    if (!utf8)
        return std::nullopt;
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(utf8->size() * 3);
    for (const char ch : *utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (keepsInUrl(c)) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0xF]);
        }
    }
    return QString::fromLatin1(out);
}

std::optional<QString> urlDecode(const QString& text)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out.append(in[i]);
            continue;
        }
        if (i + 2 >= in.size())
            return std::nullopt;
        const int hi = text::hexDigitValue(in[i + 1]);
        const int lo = text::hexDigitValue(in[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.append(char(hi * 16 + lo));
        i += 2;
    }
    return fromStrictUtf8(out);
}

} // namespace ondrel::encoding
