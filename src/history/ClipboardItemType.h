#pragma once

#include "Json.h"

#include <QString>

#include <optional>

namespace ondrel {

enum class ClipboardItemType
{
    text,
    image,
    file
};

QString caseName(ClipboardItemType type);

// The keyed form: an object with one member named after the case, holding
// an empty object ({"image":{}}).
json::Value encodeKeyed(ClipboardItemType type);

struct ClipboardItemTypeDecoding
{
    std::optional<ClipboardItemType> value;
    QString error; // set when value is absent
};
// Members with other names are ignored; exactly one known member must remain.
ClipboardItemTypeDecoding decodeKeyed(const json::Value& value);

} // namespace ondrel
