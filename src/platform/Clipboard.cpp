#include "Clipboard.h"

#include "ClipboardData.h"

namespace ondrel::platform {

ClipboardContents Clipboard::contentsNow() const
{
    // Contents at hand answer at once; an image still decodes within its budget.
    const std::atomic<bool> never{false};
    ClipboardContents contents = readOffered(
        types(),
        [this](const QString& type, qsizetype limit) {
            QByteArray bytes = data(type);
            if (bytes.size() > std::min(m_readLimit, limit))
                return OfferedData{OfferedData::Status::tooLarge, {}};
            return OfferedData{OfferedData::Status::ok, std::move(bytes)};
        },
        ClipboardReadBudgets().decodeMs, never);
    contents.owner = owner();
    return contents;
}

} // namespace ondrel::platform
