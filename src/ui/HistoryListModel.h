#pragma once

#include "ClipboardItem.h"

#include <QAbstractListModel>
#include <QList>

namespace ondrel {

class PopoverState;

// The popover's rows: the state's filteredItems, one row per entry. A change
// of the filtered list is reported as the rows it inserts, removes, moves
// or restyles, so views keep their scroll position and per-row state; a
// change that touches many rows at once (typing a search) is one reset.
class HistoryListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        ItemRole = Qt::UserRole + 1, // the ClipboardItem
        NotSavedRole,                // true: the history file could not take it
    };
    // More row operations than this for one change are reported as a reset.
    static constexpr int kMaxRowOperations = 32;

    explicit HistoryListModel(PopoverState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ClipboardItem& itemAt(int row) const { return m_items.at(row); }
    const QList<ClipboardItem>& items() const { return m_items; }

Q_SIGNALS:
    // Around every update of the rows, however it is reported.
    void rowsAboutToUpdate();
    void rowsUpdated();

private:
    struct Operation;
    void reload();
    // The row operations that turn the current rows into `next`; none when
    // there would be more than kMaxRowOperations.
    std::optional<std::vector<Operation>> plan(const QList<ClipboardItem>& next) const;
    void apply(const std::vector<Operation>& operations, const QList<ClipboardItem>& next);

    PopoverState& m_state;
    QList<ClipboardItem> m_items;
};

} // namespace ondrel
