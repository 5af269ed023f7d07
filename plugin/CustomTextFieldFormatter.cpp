#include "CustomTextFieldFormatter.h"

#include <QEvent>
#include <QLineEdit>
#include <QValidator>
#include <climits>

int intValueOfText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

namespace {

bool onlyDecimalDigits(const QString& text)
{
    for (char32_t c : text.toUcs4())
        if (QChar::category(c) != QChar::Number_DecimalDigit)
            return false;
    return true;
}

} // namespace

bool CustomTextFieldFormatterPrinter::isPartialStringValid(const QString& partial, Range proposed,
                                                          const QString& /*original*/, Range originalSelection,
                                                          QString* /*error*/) const
{
    // Compared as the signed 32-bit number the length is kept as.
    const qsizetype bytes = partial.toUtf8().size();
    const int32_t length = bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
    // What the edit typed, pasted or dropped: from where the old selection
    // began up to the caret after the edit; nothing for a deletion.
    const int from = originalSelection.location;
    const QString inserted = proposed.location > from ? partial.mid(from, proposed.location - from) : QString();

    if (bNumOnly)
        return length <= maxLength && onlyDecimalDigits(inserted);
    if (bCBNum) {
        if (length > maxLength)
            return false;
        for (QChar c : inserted)
            if (!QStringView(u"0123-").contains(c))
                return false;
        const int value = intValueOfText(partial);
        if (value < -3 || value > 3)
            return false;
        return partial != QStringLiteral("--");
    }
    if (bAlphaOnly) {
        if (length > maxLength)
            return false;
        for (QChar c : partial) {
            const char16_t u = c.unicode();
            if (u > 126 && (u < 160 || u > 254))
                return false;
        }
        return true;
    }
    return length <= maxLength;
}

namespace {

// The field's validator. It remembers the field's text and selection as
// they stand before each edit: every event that can edit the field (key
// presses, input-method events, drops, the context menu whose Paste follows,
// a middle-button paste) refreshes them before the field acts on it, and so
// does every finished text change (including the owner's own setText). Qt
// calls validate() with the text an edit would leave, before applying it,
// and undoes the edit on Invalid.
class FormatterValidator final : public QValidator {
public:
    FormatterValidator(std::shared_ptr<const CustomTextFieldFormatterPrinter> formatter, QLineEdit* field)
        : QValidator(field), formatter_(std::move(formatter)), field_(field)
    {
        remember();
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, &FormatterValidator::remember);
    }

    State validate(QString& input, int& pos) const override
    {
        // Asked about the text as it stands (not an edit): nothing to refuse.
        if (input == text_)
            return Acceptable;
        const CustomTextFieldFormatterPrinter::Range proposed{pos, 0};
        return formatter_->isPartialStringValid(input, proposed, text_, selection_) ? Acceptable : Invalid;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != field_)
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::ContextMenu:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            remember();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void remember()
    {
        text_ = field_->text();
        if (field_->hasSelectedText())
            selection_ = {field_->selectionStart(), field_->selectionLength()};
        else
            selection_ = {field_->cursorPosition(), 0};
    }

    std::shared_ptr<const CustomTextFieldFormatterPrinter> formatter_;
    QLineEdit* field_;
    QString text_;
    CustomTextFieldFormatterPrinter::Range selection_;
};

} // namespace

void CustomTextFieldFormatterPrinter::attachTo(QLineEdit* field)
{
    if (field)
        field->setValidator(new FormatterValidator(shared_from_this(), field));
}
