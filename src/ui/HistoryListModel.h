#pragma once

#include "ClipboardItem.h"

#include <QAbstractListModel>
#include <QList>

namespace ondrel {

class ClipboardManager;

// The popover's rows: the store's filteredItems, one row per entry, reset as
// a whole whenever the filtered list changes (the store caches it, so a
// reset costs no more than the store's own work).
class HistoryListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        ItemRole = Qt::UserRole + 1, // the ClipboardItem
    };

    explicit HistoryListModel(ClipboardManager& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ClipboardItem& itemAt(int row) const { return m_items.at(row); }
    const QList<ClipboardItem>& items() const { return m_items; }

private:
    void reload();

    ClipboardManager& m_store;
    QList<ClipboardItem> m_items;
};

} // namespace ondrel
