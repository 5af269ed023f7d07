// The entry fields' formatter on real line edits, through key events,
// pastes and input-method commits: what each mode lets through, and that a
// refused edit leaves text, caret and selection as they were.
#include "CustomTextFieldFormatter.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

enum class Mode { None, NumberOnly, ColourBalance, Name };

struct Edit {
    const char* what;
    QString start;      // the field's text before the edit
    int selStart, selLength; // caret (length 0) or selection before the edit
    enum { Type, Paste, Commit, Backspace } kind;
    QString input;      // typed, pasted or committed text
    QString expected;   // the field's text afterwards
};

std::shared_ptr<CustomTextFieldFormatterPrinter> formatter(Mode mode)
{
    auto f = std::make_shared<CustomTextFieldFormatterPrinter>();
    switch (mode) {
    case Mode::NumberOnly: f->setMaximumLength(12); f->setNumberOnly(true); break;
    case Mode::ColourBalance: f->setMaximumLength(2); f->setCBNumber(true); break;
    case Mode::Name: f->setMaximumLength(8); f->setNameAlpha(true); break;
    case Mode::None: break;
    }
    return f;
}

void run(Mode mode, const std::vector<Edit>& edits)
{
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.what);
        QLineEdit field;
        field.show();
        formatter(mode)->attachTo(&field);
        field.setText(e.start);
        if (e.selLength > 0)
            field.setSelection(e.selStart, e.selLength);
        else
            field.setCursorPosition(e.selStart);
        field.setFocus();
        switch (e.kind) {
        case Edit::Type: QTest::keyClicks(&field, e.input); break;
        case Edit::Paste:
            QGuiApplication::clipboard()->setText(e.input);
            QTest::keySequence(&field, QKeySequence::Paste);
            break;
        case Edit::Commit: {
            QInputMethodEvent commit;
            commit.setCommitString(e.input);
            QApplication::sendEvent(&field, &commit);
            break;
        }
        case Edit::Backspace: QTest::keyClick(&field, Qt::Key_Backspace); break;
        }
        EXPECT_EQ(field.text(), e.expected);
        if (field.text() == e.start && e.input.size() > 0 && e.kind != Edit::Backspace) {
            // Refused: caret and selection as before.
            EXPECT_EQ(field.hasSelectedText() ? field.selectionStart() : field.cursorPosition(), e.selStart);
            EXPECT_EQ(field.selectionLength(), e.selLength);
        }
    }
}

const QString kEAcute = QString(QChar(0x00E9));

TEST(TextFormatter, ColourBalanceNumbers)
{
    run(Mode::ColourBalance, {
        {"a lone minus starts a number", "", 0, 0, Edit::Type, "-", "-"},
        {"-3", "", 0, 0, Edit::Type, "-3", "-3"},
        {"3", "", 0, 0, Edit::Type, "3", "3"},
        {"0", "", 0, 0, Edit::Type, "0", "0"},
        {"-4: the 4 is refused", "", 0, 0, Edit::Type, "-4", "-"},
        {"4 is not an allowed character", "", 0, 0, Edit::Type, "4", ""},
        {"two minus signs", "-", 1, 0, Edit::Type, "-", "-"},
        {"3 then a minus reads 3", "3", 1, 0, Edit::Type, "-", "3-"},
        {"12 is out of range", "1", 1, 0, Edit::Type, "2", "1"},
        {"a third character", "-2", 2, 0, Edit::Type, "0", "-2"},
        {"a letter over the selection", "-2", 0, 2, Edit::Type, "x", "-2"},
        {"a digit over the selection", "-2", 0, 2, Edit::Type, "1", "1"},
        {"deleting", "-2", 2, 0, Edit::Backspace, "", "-"},
        {"pasting a valid value", "", 0, 0, Edit::Paste, "-1", "-1"},
        {"pasting out of range", "", 0, 0, Edit::Paste, "33", ""},
        {"an input method's digit", "", 0, 0, Edit::Commit, "2", "2"},
        {"an input method's full-width digit", "", 0, 0, Edit::Commit, QString(QChar(0xFF12)), ""},
    });
}

TEST(TextFormatter, NumberOnlyPasscode)
{
    run(Mode::NumberOnly, {
        {"a letter", "12", 2, 0, Edit::Type, "a", "12"},
        {"twelve digits pasted", "", 0, 0, Edit::Paste, "123456789012", "123456789012"},
        {"thirteen digits pasted", "", 0, 0, Edit::Paste, "1234567890123", ""},
        {"a digit past twelve", "123456789012", 12, 0, Edit::Type, "3", "123456789012"},
        {"digits of another script", "", 0, 0, Edit::Commit, QString::fromUtf8("\u0663\u0664"),
         QString::fromUtf8("\u0663\u0664")},
        {"deleting", "123", 3, 0, Edit::Backspace, "", "12"},
        {"a minus sign", "", 0, 0, Edit::Type, "-", ""},
    });
}

TEST(TextFormatter, NameModeUserId)
{
    run(Mode::Name, {
        {"eight ASCII characters", "", 0, 0, Edit::Type, "ab cd-e1", "ab cd-e1"},
        {"a ninth", "abcdefgh", 8, 0, Edit::Type, "i", "abcdefgh"},
        {"e acute takes two bytes: four fit", "", 0, 0, Edit::Commit, kEAcute.repeated(4), kEAcute.repeated(4)},
        {"a fifth e acute is refused", kEAcute.repeated(4), 4, 0, Edit::Commit, kEAcute, kEAcute.repeated(4)},
        {"the euro sign", "ab", 2, 0, Edit::Commit, QString(QChar(0x20AC)), "ab"},
        {"a C1 control character", "ab", 2, 0, Edit::Commit, QString(QChar(0x0085)), "ab"},
        {"DEL", "ab", 2, 0, Edit::Commit, QString(QChar(0x7F)), "ab"},
        {"code 254 passes", "", 0, 0, Edit::Commit, QString(QChar(0xFE)), QString(QChar(0xFE))},
        {"clearing", "ab", 0, 2, Edit::Backspace, "", ""},
    });
}

TEST(TextFormatter, UnconfiguredTakesAnything)
{
    run(Mode::None, {
        {"any characters", "", 0, 0, Edit::Commit, QString::fromUtf8("\u20AC\u00E9 x -- 42"),
         QString::fromUtf8("\u20AC\u00E9 x -- 42")},
    });
    CustomTextFieldFormatterPrinter plain;
    EXPECT_EQ(plain.maximumLength(), 2147483647);
    const QString text = QStringLiteral("abc");
    EXPECT_EQ(&plain.stringForObjectValue(text), &text);
    QString object;
    EXPECT_TRUE(plain.getObjectValue(&object, text, nullptr));
    EXPECT_EQ(object, text);
    EXPECT_FALSE(plain.attributedStringForObjectValue(text).has_value());
    EXPECT_EQ(intValueOfText(QStringLiteral("  -2x")), -2);
    EXPECT_EQ(intValueOfText(QStringLiteral("3-")), 3);
    EXPECT_EQ(intValueOfText(QString()), 0);
    EXPECT_EQ(intValueOfText(QStringLiteral("99999999999")), 2147483647);
}

} // namespace
