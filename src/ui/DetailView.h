#pragma once

#include "ClipboardItem.h"
#include "TransformationsPopover.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;

namespace ondrel {

namespace platform {
class Clipboard;
}
class IconButton;
class ThemeManager;

// One entry's text in an editor, with the transformations and a copy button.
// Copying puts the edited text on the clipboard, hands it to the owner and
// asks to be closed; closing drops the edits.
class DetailView final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 360;

    DetailView(const ClipboardItem& item, ThemeManager& theme, platform::Clipboard& clipboard,
               QWidget* parent = nullptr);

    std::function<void()> onClose;
    std::function<void(const QString&)> onTransform;

    const ClipboardItem& item() const { return m_item; }
    QString editedText() const;
    void setEditedText(const QString& text);
    // The open transformations popover, if any.
    TransformationsPopover* transformationsPopover() const { return m_popover; }
    bool showTransforms() const { return m_popover != nullptr; }
    void setShowTransforms(bool show);

    void copy();
    QPlainTextEdit* editor() const { return m_editor; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateCounts();
    void takeEditorText();

    ClipboardItem m_item;
    ThemeManager& m_theme;
    platform::Clipboard& m_clipboard;
    QWidget* m_header = nullptr;
    QWidget* m_footer = nullptr;
    QPlainTextEdit* m_editor = nullptr;
    QLabel* m_chars = nullptr;
    QLabel* m_lines = nullptr;
    IconButton* m_transformsButton = nullptr;
    QPointer<TransformationsPopover> m_popover;
    QString m_editedText;
    bool m_crlf = false;        // the text's line ends are all CR LF
    bool m_settingText = false; // the editor is being filled, not edited
};

} // namespace ondrel
