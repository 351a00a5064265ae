#include "ClipboardItemType.h"

#include <array>
#include <string_view>

namespace ondrel {

namespace {
constexpr std::array<std::string_view, 3> kCaseNames = {"text", "image", "file"};
}

QString caseName(ClipboardItemType type)
{
    const auto name = kCaseNames[static_cast<std::size_t>(type)];
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

json::Value encodeKeyed(ClipboardItemType type)
{
    json::Value object = json::Value::object();
    object.insert(std::string(kCaseNames[static_cast<std::size_t>(type)]), json::Value::object());
    return object;
}

ClipboardItemTypeDecoding decodeKeyed(const json::Value& value)
{
    if (!value.isObject())
        return {std::nullopt,
                QStringLiteral("Expected to decode an object but found another value instead.")};
    // Members are counted by name (a repeated name is one key, the last value
    // wins); the count is checked before any value is looked at.
    std::array<const json::Value*, kCaseNames.size()> members{};
    for (std::size_t i = 0; i < value.keys().size(); ++i) {
        for (std::size_t c = 0; c < kCaseNames.size(); ++c) {
            if (value.keys()[i] == kCaseNames[c])
                members[c] = &value.items()[i];
        }
    }
    std::optional<ClipboardItemType> found;
    int recognised = 0;
    for (std::size_t c = 0; c < members.size(); ++c) {
        if (members[c]) {
            ++recognised;
            found = static_cast<ClipboardItemType>(c);
        }
    }
    if (recognised != 1)
        return {std::nullopt, QStringLiteral("Invalid number of keys found, expected one.")};
    if (!members[static_cast<std::size_t>(*found)]->isObject())
        return {std::nullopt,
                QStringLiteral("Expected to decode an object for the key \"%1\" but found another "
                               "value instead.")
                    .arg(caseName(*found))};
    return {found, QString()};
}

} // namespace ondrel
