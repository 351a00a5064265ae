#include "HistoryListModel.h"

#include "ClipboardManager.h"
#include "RowContent.h"

namespace ondrel {

HistoryListModel::HistoryListModel(ClipboardManager& store, QObject* parent)
    : QAbstractListModel(parent), m_store(store), m_items(store.filteredItems())
{
    connect(&store, &ClipboardManager::filteredItemsChanged, this, &HistoryListModel::reload);
}

void HistoryListModel::reload()
{
    beginResetModel();
    m_items = m_store.filteredItems();
    endResetModel();
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
        return item.previewText();
    case ItemRole:
        return QVariant::fromValue(item);
    case Qt::AccessibleTextRole: {
        // What a screen reader says for the row: content, then its details.
        QStringList parts{item.previewText()};
        if (const auto badge = row::languageBadge(item.detectedLanguage()))
            parts << *badge;
        if (item.appName())
            parts << *item.appName();
        parts << row::ageText(item.timestamp());
        if (item.isPinned())
            parts << QStringLiteral("pinned");
        return parts.join(QStringLiteral(", "));
    }
    case Qt::AccessibleDescriptionRole:
        return QStringLiteral("Click to paste, double-click to edit");
    default:
        return {};
    }
}

} // namespace ondrel
