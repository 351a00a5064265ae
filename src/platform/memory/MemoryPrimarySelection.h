#pragma once

#include "ClipboardData.h"
#include "PrimarySelection.h"

#include <QMap>

#include <atomic>

namespace ondrel::platform {

// A mouse selection set by hand, read at once: the test double of the
// desktop's primary selection.
class MemoryPrimarySelection final : public PrimarySelection
{
public:
    void observeChanges(std::function<void()> fn) override { m_onChange = std::move(fn); }
    void readText(QObject*, qsizetype limit, std::function<void(ClipboardContents)> done) override
    {
        ++m_reads;
        const std::atomic<bool> stop = false;
        done(readOffered(
            selectionTypes(m_data.keys()),
            [this, limit](const QString& type, qsizetype asked) {
                const QByteArray bytes = m_data.value(type);
                if (bytes.size() > std::min(limit, asked))
                    return OfferedData{OfferedData::Status::tooLarge, {}};
                return OfferedData{OfferedData::Status::ok, bytes};
            },
            0, stop));
    }
    bool buttonHeld() const override { return m_held; }

    // Another program selects: `data` maps types to their bytes.
    void select(QMap<QString, QByteArray> data)
    {
        m_data = std::move(data);
        if (m_onChange)
            m_onChange();
    }
    void setButtonHeld(bool held) { m_held = held; }
    int reads() const { return m_reads; }

private:
    std::function<void()> m_onChange;
    QMap<QString, QByteArray> m_data;
    bool m_held = false;
    int m_reads = 0;
};

} // namespace ondrel::platform
