#include "ExcludedAppsBox.h"

#include "ExcludedApplications.h"
#include "Fonts.h"
#include "HistoryStore.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Theme.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondrel {

ExcludedAppsBox::ExcludedAppsBox(platform::Settings& settings, const HistoryStore& store, bool sourcesKnown,
                                 QWidget* parent)
    : QGroupBox(tr("Excluded Applications"), parent), m_settings(settings), m_store(store)
{
    setFlat(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    if (!sourcesKnown) {
        // KDE Plasma on Wayland, for one, lets no program see which window has the keyboard.
        m_note = new QLabel(tr("This desktop does not tell Ondrel which application copied "
                               "something, so these applications cannot be left out here."),
                            this);
        m_note->setObjectName(QStringLiteral("exclusionsUnavailable"));
        m_note->setWordWrap(true);
        m_note->setFont(systemFont(10));
        QPalette palette = m_note->palette();
        palette.setColor(QPalette::WindowText, inkSecondary());
        m_note->setPalette(palette);
        column->addWidget(m_note);
    }
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("Applications not recorded"));
    m_list->setFixedHeight(64);
    column->addWidget(m_list);
    auto* row = new QHBoxLayout;
    m_picker = new QComboBox(this);
    m_picker->setEditable(true);
    m_picker->setInsertPolicy(QComboBox::NoInsert);
    m_picker->setAccessibleName(tr("Application to leave out"));
    m_picker->lineEdit()->setPlaceholderText(tr("Application or id"));
    row->addWidget(m_picker, 1);
    m_add = new QPushButton(tr("Add"), this);
    m_remove = new QPushButton(tr("Remove"), this);
    for (QPushButton* button : {m_add, m_remove}) {
        button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        row->addWidget(button);
    }
    column->addLayout(row);

    connect(m_add, &QPushButton::clicked, this, [this] {
        if (exclusions::add(m_settings, m_picker->currentText()))
            m_picker->setCurrentText(QString());
    });
    connect(m_picker->lineEdit(), &QLineEdit::returnPressed, m_add, &QPushButton::click);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (const QListWidgetItem* item = m_list->currentItem())
            exclusions::remove(m_settings, item->text());
    });
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row >= 0); });
    m_settings.observe(keys::excludedApplications, this, [this] { sync(); });
    connect(&store, &HistoryStore::itemsChanged, this, &ExcludedAppsBox::sync);
    sync();
}

void ExcludedAppsBox::sync()
{
    const QStringList excluded = exclusions::list(m_settings);
    m_list->clear();
    m_list->addItems(excluded);
    m_remove->setEnabled(false);
    // The applications the history has seen and that are not left out yet.
    QStringList seen;
    for (const ClipboardItem& item : m_store.items())
        if (const auto& name = item.appName(); name && !name->isEmpty() &&
                                               !excluded.contains(*name, Qt::CaseInsensitive) &&
                                               !seen.contains(*name, Qt::CaseInsensitive))
            seen << *name;
    seen.sort(Qt::CaseInsensitive);
    const QString typed = m_picker->currentText();
    m_picker->clear();
    m_picker->addItems(seen);
    m_picker->setCurrentText(typed);
}

} // namespace ondrel
