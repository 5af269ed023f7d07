// The input formatter of the dialogs' entry fields: refuses unwanted edits
// while the user types, never rewrites the text.
//
// One class serves four kinds of field through a maximum length (bytes of
// the text's UTF-8 form) and three modes: number-only (decimal digits of any
// script), colour-balance number ("0123-", a value within -3..3, never "--")
// and name (every character below 127 or within 160..254). Number-only wins
// over colour-balance number, which wins over name; with no mode only the
// length counts.
//
// Qt's line edits ask a QValidator about the text an edit would leave and
// undo the edit when it says Invalid; attachTo() gives a field a validator
// that also knows the text and selection from before the edit, which the
// decision needs, so a refused keystroke, paste, drop or input-method commit
// leaves the text, caret and selection as they were.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QLineEdit;

class CustomTextFieldFormatterPrinter : public std::enable_shared_from_this<CustomTextFieldFormatterPrinter> {
public:
    // A range of the text: a start position and a length, in UTF-16 units.
    struct Range {
        int location = 0;
        int length = 0;
    };

    CustomTextFieldFormatterPrinter() = default; // init

    void setMaximumLength(int32_t length) { maxLength = length; }
    int32_t maximumLength() const { return maxLength; }
    void setNumberOnly(bool on) { bNumOnly = on; }
    bool bNumberOnly() const { return bNumOnly; }
    void setCBNumber(bool on) { bCBNum = on; }
    bool bCBNumber() const { return bCBNum; }
    void setNameAlpha(bool on) { bAlphaOnly = on; }

    // The object value is the text itself.
    const QString& stringForObjectValue(const QString& object) const { return object; }
    // Plain text only: no attributed form.
    std::optional<QString> attributedStringForObjectValue(const QString&) const { return std::nullopt; }
    bool getObjectValue(QString* object, const QString& string, QString* /*error*/) const
    {
        if (object)
            *object = string;
        return true;
    }

    // Whether an edit may be applied. `partial`: the text after the edit;
    // `proposed`: the selection after it (its location is the caret);
    // `original`, `originalSelection`: text and selection before it. Never
    // changes anything and never sets `error`.
    bool isPartialStringValid(const QString& partial, Range proposed, const QString& original,
                              Range originalSelection, QString* error = nullptr) const;

    // Takes this formatter's decision before every edit of `field` (the
    // field keeps the formatter alive).
    void attachTo(QLineEdit* field);

private:
    int32_t maxLength = 2147483647;
    bool bNumOnly = false;
    bool bCBNum = false;
    bool bAlphaOnly = false;
};

// The integer value of a text the way the dialogs read field texts: leading
// white space skipped, an optional sign, then digits up to the first
// non-digit; 0 when there are none; clamped to the int range.
int intValueOfText(const QString& text);
