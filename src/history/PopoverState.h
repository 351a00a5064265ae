#pragma once

#include "ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace ondrel {

class HistoryStore;

// What the popover shows of the history and where the user is in it: the
// search text, the entries matching it, the keyboard selection, and the
// requests the views exchange (scroll to the selection, open or close the
// detail view).
class PopoverState final : public QObject
{
    Q_OBJECT
public:
    explicit PopoverState(const HistoryStore& store, QObject* parent = nullptr);

    const HistoryStore& store() const { return m_store; }

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    qsizetype selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(qsizetype index);
    bool shouldScrollToSelection() const { return m_shouldScrollToSelection; }
    void setShouldScrollToSelection(bool value);
    bool showDetailForSelected() const { return m_showDetailForSelected; }
    void setShowDetailForSelected(bool value);
    bool closeDetailRequested() const { return m_closeDetailRequested; }
    void setCloseDetailRequested(bool value);

    // The entries the popover shows: those matching the search text, pinned
    // first, then newest first.
    QList<ClipboardItem> filteredItems() const;
    // `items` in the popover's order, pinned first, then newest first.
    static QList<ClipboardItem> ordered(const QList<ClipboardItem>& items);
    // The entry of filteredItems() at selectedIndex, if there is one.
    std::optional<ClipboardItem> selectedItem() const;
    // Moves the keyboard selection by `step` rows, wrapping around.
    void moveSelection(qsizetype step);

Q_SIGNALS:
    void searchTextChanged();
    void selectedIndexChanged();
    void shouldScrollToSelectionChanged();
    void showDetailForSelectedChanged();
    void closeDetailRequestedChanged();
    void filteredItemsChanged();

private:
    void invalidateFiltered();
    // `items` at the positions in `order`, sorted into the popover's order.
    static QList<ClipboardItem> inOrder(const QList<ClipboardItem>& items, std::vector<qsizetype> order);

    const HistoryStore& m_store;
    QString m_searchText;
    qsizetype m_selectedIndex = 0;
    bool m_shouldScrollToSelection = false;
    bool m_showDetailForSelected = false;
    bool m_closeDetailRequested = false;
    mutable std::optional<QList<ClipboardItem>> m_filtered; // cache of filteredItems()
};

} // namespace ondrel
