#include "X11PrimarySelection.h"

#include "Xcb.h"

#include <QClipboard>

namespace ondrel::platform {

X11PrimarySelection::X11PrimarySelection(QClipboard* clipboard, xcb_connection_t* connection,
                                         xcb_window_t root, X11ClipboardReader::Budgets budgets,
                                         QObject* parent)
    : QObject(parent), m_clipboard(clipboard), m_connection(connection), m_root(root), m_budgets(budgets)
{
    connect(m_clipboard, &QClipboard::selectionChanged, this, [this] {
        ++m_changeCount;
        if (m_onChange)
            m_onChange();
    });
}

X11PrimarySelection::~X11PrimarySelection() = default;

void X11PrimarySelection::readText(QObject* context, qsizetype limit,
                                   std::function<void(ClipboardContents)> done)
{
    // Text selected in one of our own windows is no one else's: not read.
    if (m_clipboard->ownsSelection()) {
        done({});
        return;
    }
    if (!m_reader)
        m_reader = std::make_unique<X11ClipboardReader>(qgetenv("DISPLAY"), m_budgets, "PRIMARY");
    if (!m_reader->isConnected()) {
        done({});
        return;
    }
    m_reader->readText(m_changeCount, context, std::move(done), limit);
}

bool X11PrimarySelection::buttonHeld() const
{
    const auto pointer =
        xcb::own(xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    return pointer && (pointer->mask & (XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 |
                                        XCB_KEY_BUT_MASK_BUTTON_3)) != 0;
}

} // namespace ondrel::platform
