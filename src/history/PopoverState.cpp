#include "PopoverState.h"

#include <numeric>

#include "HistoryStore.h"
#include "TextSearch.h"

#include <algorithm>
#include <vector>

namespace ondrel {

PopoverState::PopoverState(const HistoryStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    connect(&store, &HistoryStore::itemsChanged, this, &PopoverState::invalidateFiltered);
}

void PopoverState::invalidateFiltered()
{
    m_filtered.reset();
    Q_EMIT filteredItemsChanged();
}

void PopoverState::setSearchText(const QString& text)
{
    m_searchText = text;
    Q_EMIT searchTextChanged();
    invalidateFiltered();
}

void PopoverState::setSelectedIndex(qsizetype index)
{
    m_selectedIndex = index;
    Q_EMIT selectedIndexChanged();
}

void PopoverState::setShouldScrollToSelection(bool value)
{
    m_shouldScrollToSelection = value;
    Q_EMIT shouldScrollToSelectionChanged();
}

void PopoverState::setShowDetailForSelected(bool value)
{
    m_showDetailForSelected = value;
    Q_EMIT showDetailForSelectedChanged();
}

void PopoverState::setCloseDetailRequested(bool value)
{
    m_closeDetailRequested = value;
    Q_EMIT closeDetailRequestedChanged();
}

QList<ClipboardItem> PopoverState::filteredItems() const
{
    if (m_filtered)
        return *m_filtered;
    const QList<ClipboardItem>& items = m_store.items();
    // Order positions, not entries: entries are large to move around, and
    // the history is usually in order already.
    std::vector<qsizetype> order;
    order.reserve(items.size());
    if (m_searchText.isEmpty()) {
        for (qsizetype i = 0; i < items.size(); ++i)
            order.push_back(i);
    } else {
        const text::SearchQuery query(m_searchText);
        for (qsizetype i = 0; i < items.size(); ++i)
            if (items[i].matches(query))
                order.push_back(i);
    }
    m_filtered = inOrder(items, std::move(order));
    return *m_filtered;
}

QList<ClipboardItem> PopoverState::ordered(const QList<ClipboardItem>& items)
{
    std::vector<qsizetype> order(size_t(items.size()));
    std::iota(order.begin(), order.end(), 0);
    return inOrder(items, std::move(order));
}

QList<ClipboardItem> PopoverState::inOrder(const QList<ClipboardItem>& items, std::vector<qsizetype> order)
{
    const auto before = [&items](qsizetype ia, qsizetype ib) {
        const ClipboardItem& a = items[ia];
        const ClipboardItem& b = items[ib];
        if (a.isPinned() != b.isPinned())
            return a.isPinned();
        return a.timestamp() > b.timestamp();
    };
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    QList<ClipboardItem> result;
    result.reserve(qsizetype(order.size()));
    for (qsizetype i : order)
        result.append(items[i]);
    return result;
}

std::optional<ClipboardItem> PopoverState::selectedItem() const
{
    const QList<ClipboardItem> filtered = filteredItems();
    if (m_selectedIndex < 0 || m_selectedIndex >= filtered.size())
        return std::nullopt;
    return filtered.at(m_selectedIndex);
}

void PopoverState::moveSelection(qsizetype step)
{
    const qsizetype n = filteredItems().size();
    if (n == 0)
        return;
    // A true modulo: a stale negative index still lands on a row.
    qsizetype next = (m_selectedIndex % n + step % n) % n;
    if (next < 0)
        next += n;
    setSelectedIndex(next);
    setShouldScrollToSelection(true);
}

} // namespace ondrel
