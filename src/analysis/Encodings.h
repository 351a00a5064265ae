#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Byte encodings of texts that refuse what they cannot represent exactly,
// instead of substituting replacement characters.
namespace ondrel::encoding {

// UTF-8 of a text, or none when it holds a lone surrogate (which has no UTF-8 form).
std::optional<QByteArray> strictUtf8(QStringView text);
// The text of valid UTF-8 bytes, or none.
std::optional<QString> fromStrictUtf8(const QByteArray& bytes);
// Standard Base64 with padding; none when anything is outside the alphabet.
std::optional<QByteArray> decodeBase64Strict(QStringView text);
// Percent-encoding of the UTF-8 of a text (unreserved characters kept).
std::optional<QString> urlEncode(const QString& text);
// The text of percent-encoded UTF-8; none for a bad escape or invalid UTF-8.
std::optional<QString> urlDecode(const QString& text);

} // namespace ondrel::encoding
