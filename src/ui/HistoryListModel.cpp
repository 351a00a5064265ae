#include "HistoryListModel.h"

#include "HistoryStore.h"
#include "PopoverState.h"
#include "RowContent.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace ondrel {

struct HistoryListModel::Operation
{
    enum class Kind
    {
        remove, // rows first..last
        insert, // rows first..last of the next list, at first
        move,   // row first to row last
    };
    Kind kind;
    int first;
    int last;
};

namespace {

// Entries never change once made, except for their pin.
bool looksDifferent(const ClipboardItem& a, const ClipboardItem& b)
{
    return a.isPinned() != b.isPinned() || a.timestamp() != b.timestamp() ||
           a.detectedLanguage() != b.detectedLanguage();
}

} // namespace

HistoryListModel::HistoryListModel(PopoverState& state, QObject* parent)
    : QAbstractListModel(parent), m_state(state), m_items(state.filteredItems())
{
    connect(&state, &PopoverState::filteredItemsChanged, this, &HistoryListModel::reload);
    connect(&state.store(), &HistoryStore::saveStatusChanged, this, [this] {
        if (!m_items.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_items.size()) - 1), {NotSavedRole, Qt::ToolTipRole});
    });
}

void HistoryListModel::reload()
{
    const QList<ClipboardItem> next = m_state.filteredItems();
    Q_EMIT rowsAboutToUpdate();
    if (const auto operations = plan(next)) {
        apply(*operations, next);
    } else {
        beginResetModel();
        m_items = next;
        endResetModel();
    }
    Q_EMIT rowsUpdated();
}

std::optional<std::vector<HistoryListModel::Operation>>
HistoryListModel::plan(const QList<ClipboardItem>& next) const
{
    QSet<QUuid> inNext;
    inNext.reserve(next.size());
    for (const ClipboardItem& item : next)
        inNext.insert(item.id());

    std::vector<Operation> operations;
    const auto full = [&] { return operations.size() > std::size_t(kMaxRowOperations); };

    // Removals first, last run first, so earlier row numbers stay valid.
    for (int i = int(m_items.size()) - 1; i >= 0; --i) {
        if (inNext.contains(m_items[i].id()))
            continue;
        int first = i;
        while (first > 0 && !inNext.contains(m_items[first - 1].id()))
            --first;
        operations.push_back({Operation::Kind::remove, first, i});
        if (full())
            return std::nullopt;
        i = first;
    }
    std::vector<QUuid> rows; // the rows as the operations so far leave them
    rows.reserve(m_items.size());
    QSet<QUuid> kept;
    for (const ClipboardItem& item : m_items)
        if (inNext.contains(item.id())) {
            rows.push_back(item.id());
            kept.insert(item.id());
        }

    // Then every row of the next list in turn: in place, moved up from
    // further down, or new (a run of new rows is one insertion).
    for (int i = 0; i < next.size();) {
        const QUuid id = next[i].id();
        if (i < int(rows.size()) && rows[i] == id) {
            ++i;
            continue;
        }
        if (kept.contains(id)) {
            const auto found = std::find(rows.begin() + i, rows.end(), id);
            const int from = int(found - rows.begin());
            rows.erase(found);
            rows.insert(rows.begin() + i, id);
            operations.push_back({Operation::Kind::move, from, i});
            ++i;
        } else {
            int last = i;
            while (last + 1 < next.size() && !kept.contains(next[last + 1].id()))
                ++last;
            std::vector<QUuid> added;
            for (int k = i; k <= last; ++k)
                added.push_back(next[k].id());
            rows.insert(rows.begin() + i, added.begin(), added.end());
            operations.push_back({Operation::Kind::insert, i, last});
            i = last + 1;
        }
        if (full())
            return std::nullopt;
    }
    return operations;
}

void HistoryListModel::apply(const std::vector<Operation>& operations, const QList<ClipboardItem>& next)
{
    for (const Operation& op : operations) {
        switch (op.kind) {
        case Operation::Kind::remove:
            beginRemoveRows({}, op.first, op.last);
            m_items.remove(op.first, op.last - op.first + 1);
            endRemoveRows();
            break;
        case Operation::Kind::insert:
            beginInsertRows({}, op.first, op.last);
            for (int k = op.first; k <= op.last; ++k)
                m_items.insert(k, next[k]);
            endInsertRows();
            break;
        case Operation::Kind::move:
            // Rows only move up here, so the destination is the row the
            // moved one ends at.
            beginMoveRows({}, op.first, op.first, {}, op.last);
            m_items.move(op.first, op.last);
            endMoveRows();
            break;
        }
    }
    for (int i = 0; i < next.size(); ++i) {
        Q_ASSERT(m_items[i].id() == next[i].id());
        const bool restyled = looksDifferent(m_items[i], next[i]);
        m_items[i] = next[i];
        if (restyled)
            Q_EMIT dataChanged(index(i), index(i));
    }
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const ClipboardItem& item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row::previewText(item);
    case ItemRole:
        return QVariant::fromValue(item);
    case NotSavedRole:
        return !m_state.store().isSaved(item.id());
    case Qt::ToolTipRole:
        if (m_state.store().isSaved(item.id()))
            return {};
        return tr("Not saved (%1): kept only until Ondrel quits").arg(m_state.store().saveProblem());
    case Qt::AccessibleTextRole: {
        // What a screen reader says for the row: content, then its details.
        QStringList parts{row::previewText(item)};
        if (const auto badge = row::languageBadge(item.detectedLanguage()))
            parts << *badge;
        if (item.appName())
            parts << *item.appName();
        parts << row::ageText(item.timestamp());
        if (item.fromSelection())
            parts << tr("from a mouse selection");
        if (item.isPinned())
            parts << tr("pinned");
        if (!m_state.store().isSaved(item.id()))
            parts << tr("not saved");
        return parts.join(QStringLiteral(", "));
    }
    case Qt::AccessibleDescriptionRole:
        return tr("Click to paste, double-click to edit");
    default:
        return {};
    }
}

} // namespace ondrel
