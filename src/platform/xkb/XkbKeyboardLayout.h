#pragma once

#include "KeyboardLayout.h"

#include <QString>

#include <memory>

struct xkb_context;
struct xkb_keymap;

namespace ondrel::platform {

// What the keys of an XKB keymap print, without modifiers, in the current
// group (layout) when it types Latin letters, else in the first group that
// does (a shortcut is named the way the ASCII layout names it: "V", not "М"
// on ru,us). A dead key shows its spacing accent ("^", "´").
class XkbKeyboardLayout : public KeyboardLayout
{
public:
    // A layout compiled from its names ("us", "de"; rules evdev, model
    // pc105), without a display. Null when the layout does not exist.
    static std::unique_ptr<XkbKeyboardLayout> fromNames(const QString& layout, const QString& variant = {});
    ~XkbKeyboardLayout() override;

    std::optional<QString> character(qint64 keyCode) const override;

    // The group the keys are read in (see above).
    uint32_t groupForKeys() const;

protected:
    XkbKeyboardLayout();
    void setKeymap(xkb_keymap* keymap); // takes ownership
    // The group (layout) selected now; 0 without a display.
    virtual uint32_t currentGroup() const { return 0; }
    bool typesLatinLetters(uint32_t group) const;

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
};

} // namespace ondrel::platform
