#include "DetailView.h"

#include "Clipboard.h"
#include "Fonts.h"
#include "IconButton.h"
#include "Painting.h"
#include "RowContent.h"
#include "Text.h"
#include "Theme.h"
#include "TransformationsPopover.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace ondrel {

namespace {

constexpr qreal kRadius = 12;
constexpr qreal kOutline = 2;

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    setTextColor(l, color);
    return l;
}

// The language badge of the header.
class LanguageBadge final : public QWidget
{
public:
    LanguageBadge(QString text, ThemeManager& theme, QWidget* parent)
        : QWidget(parent), m_text(std::move(text)), m_theme(theme)
    {
        setAccessibleName(m_text);
        const QFontMetricsF m(font());
        setFixedSize(int(std::ceil(m.horizontalAdvance(m_text) + 12 + 1.5)),
                     int(std::ceil(m.height() + 6 + 1.5)));
    }
    static QFont font() { return systemMonoFont(9, FontWeight::bold); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRectF box = QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75);
        const AccentPalette colors = m_theme.palette();
        paint::drawCard(painter, box, {4, colors.light, colors.ink, 1.5, std::nullopt, {}});
        painter.setFont(font());
        painter.setPen(colors.ink);
        painter.drawText(box, Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
    ThemeManager& m_theme;
};

} // namespace

DetailView::DetailView(const ClipboardItem& item, ThemeManager& theme, platform::Clipboard& clipboard,
                       QWidget* parent)
    : QWidget(parent), m_item(item), m_theme(theme), m_clipboard(clipboard)
{
    setAccessibleName(tr("Edit & Copy"));
    auto* column = new QVBoxLayout(this);
    // The outline lies on the edge; keep the bands inside it.
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(0);

    m_header = new QWidget(this);
    auto* header = new QHBoxLayout(m_header);
    header->setContentsMargins(12, 12, 12, 12);
    header->setSpacing(8);
    QLabel* title = label(tr("Edit & Copy"), systemFont(14, FontWeight::bold), ink(), m_header);
    header->addWidget(title);
    if (const auto badge = row::languageBadge(item.detectedLanguage()))
        header->addWidget(new LanguageBadge(*badge, theme, m_header));
    header->addStretch(1);
    IconButton::Look look;
    look.size = {26, 26};
    look.radius = 6;
    look.outlineWidth = 1.5;
    look.shadowOffset = {2, 2};
    look.symbolSize = 11;
    look.symbolWeight = SymbolWeight::bold;
    look.fill = [&theme] { return theme.palette().surface; };
    look.ink = [&theme] { return theme.palette().ink; };
    m_transformsButton =
        new IconButton(QStringLiteral("wand-sparkles"), look, tr("Transformations"), m_header);
    IconButton::Look copyLook = look;
    copyLook.fill = [&theme] { return theme.palette().light; };
    auto* copyButton = new IconButton(QStringLiteral("copy"), copyLook, tr("Copy"), m_header);
    auto* closeButton = new IconButton(QStringLiteral("x"), look, tr("Close"), m_header);
    m_transformsButton->setObjectName(QStringLiteral("transformations"));
    copyButton->setObjectName(QStringLiteral("copy"));
    closeButton->setObjectName(QStringLiteral("close"));
    header->addWidget(m_transformsButton);
    header->addWidget(copyButton);
    header->addWidget(closeButton);
    column->addWidget(m_header);

    m_editor = new QPlainTextEdit(this);
    m_editor->setAccessibleName(tr("Entry text"));
    // Tab walks to the buttons above, as in a dialog.
    m_editor->setTabChangesFocus(true);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(item.detectedLanguage() == DetectedLanguage::plain ? systemFont(12)
                                                                         : systemMonoFont(12));
    m_editor->setMinimumHeight(250);
    m_editor->document()->setDocumentMargin(8);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const auto tint = [this] {
        QPalette p = m_editor->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, m_theme.palette().ink);
        p.setColor(QPalette::Highlight, m_theme.palette().light);
        p.setColor(QPalette::HighlightedText, m_theme.palette().ink);
        m_editor->setPalette(p);
    };
    tint();
    m_editor->viewport()->setAutoFillBackground(false);
    connect(&theme, &ThemeManager::colorsChanged, this, tint);
    column->addWidget(m_editor, 1);

    m_footer = new QWidget(this);
    auto* footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(12, 10, 12, 10);
    footer->setSpacing(8);
    const QFont footerFont = systemFont(10, FontWeight::medium);
    m_chars = label({}, footerFont, inkSecondary(), m_footer);
    m_lines = label({}, footerFont, inkSecondary(), m_footer);
    footer->addWidget(m_chars);
    footer->addWidget(label(QStringLiteral("\u2022"), systemFont(13), inkSecondary(), m_footer));
    footer->addWidget(m_lines);
    footer->addStretch(1);
    footer->addWidget(
        // Copying a selection is the editor's own Ctrl+C.
        label(tr("Ctrl+C to copy selection"), footerFont, inkSecondary(), m_footer));
    column->addWidget(m_footer);
    const auto tintLabels = [this, title] {
        const AccentPalette colors = m_theme.palette();
        setTextColor(title, colors.ink);
        for (QLabel* footerLabel : m_footer->findChildren<QLabel*>())
            setTextColor(footerLabel, colors.inkSecondary);
    };
    tintLabels();
    connect(&theme, &ThemeManager::darkChanged, this, tintLabels);

    connect(m_editor, &QPlainTextEdit::textChanged, this, &DetailView::takeEditorText);
    connect(m_transformsButton, &QAbstractButton::clicked, this,
            [this] { setShowTransforms(!showTransforms()); });
    connect(copyButton, &QAbstractButton::clicked, this, &DetailView::copy);
    connect(closeButton, &QAbstractButton::clicked, this, [this] {
        if (onClose)
            onClose();
    });
    setEditedText(item.plainText());
}

QString DetailView::editedText() const
{
    return m_editedText;
}

void DetailView::setEditedText(const QString& text)
{
    m_editedText = text;
    // The editor splits paragraphs at CR and at LF alike; a CR LF pair is
    // one break on screen. Untouched, the text stays exactly as given.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    const bool hasLoneLf = QString(text).remove(QStringLiteral("\r\n")).contains(u'\n');
    m_crlf = text.contains(QStringLiteral("\r\n")) && !hasLoneLf;
    m_settingText = true;
    m_editor->setPlainText(shown);
    m_settingText = false;
    updateCounts();
}

void DetailView::takeEditorText()
{
    if (m_settingText)
        return;
    // The raw form keeps no-break spaces; paragraph ends become line feeds,
    // or CR LF again when that was the text's only kind of line end.
    QString text = m_editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    if (m_crlf)
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    m_editedText = text;
    updateCounts();
}

void DetailView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Each showing starts from the entry's own text (a file entry's paths).
    setEditedText(m_item.plainText());
}

void DetailView::updateCounts()
{
    const QString& text = m_editedText;
    m_chars->setText(tr("%n chars", nullptr, int(text::characterCount(text))));
    m_lines->setText(tr("%n lines", nullptr, int(text::lineCount(text))));
}

void DetailView::setShowTransforms(bool show)
{
    if (show == showTransforms())
        return;
    if (!show) {
        m_popover->close();
        return;
    }
    m_popover = new TransformationsPopover(editedText(), m_theme, this);
    m_popover->onApply = [this](const QString& result) {
        setEditedText(result);
        setShowTransforms(false);
    };
    m_popover->popUpBelow(m_transformsButton);
}

void DetailView::copy()
{
    const QString text = editedText();
    m_clipboard.clearContents();
    m_clipboard.setString(text);
    if (onTransform)
        onTransform(text);
    if (onClose)
        onClose();
}

void DetailView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const AccentPalette colors = m_theme.palette();
    const QRectF bounds = QRectF(rect()).adjusted(kOutline / 2, kOutline / 2, -kOutline / 2, -kOutline / 2);
    const QPainterPath shape = paint::continuousRoundedRect(bounds, kRadius);
    painter.save();
    painter.setClipPath(shape);
    painter.fillRect(bounds, colors.faint);
    // The bands reach the edges; the clip rounds their outer corners.
    const auto band = [&](const QWidget* w) { return QRectF(0, w->y(), width(), w->height()); };
    painter.fillRect(band(m_header), colors.soft);
    painter.fillRect(band(m_editor), colors.surface);
    painter.fillRect(QRectF(0, m_footer->y(), width(), height() - m_footer->y()), colors.soft);
    painter.restore();
    painter.setPen(QPen(colors.ink, kOutline));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

} // namespace ondrel
