#include "PrinterFeaturesPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace printpanels::host {

PrinterFeaturesPage::PrinterFeaturesPage(const PpdDocument& ppd, const QSet<QString>& shownElsewhere, QWidget* parent)
    : QWidget(parent), ppd_(ppd)
{
    setObjectName(QStringLiteral("printerFeatures"));
    auto* layout = new QVBoxLayout(this);
    QFormLayout* form = nullptr;
    QString group;
    for (const PpdOption& option : ppd_.options()) {
        const QString keyword = QString::fromStdString(option.keyword);
        if (shownElsewhere.contains(keyword))
            continue;
        if (!form || option.group != group) {
            group = option.group;
            auto* box = new QGroupBox(group);
            form = new QFormLayout(box);
            layout->addWidget(box);
        }
        QWidget* control = nullptr;
        if (option.entry == PpdOption::Entry::Choices) {
            auto* combo = new QComboBox;
            for (const auto& [choice, text] : option.choices)
                combo->addItem(text, QString::fromStdString(choice));
            connect(combo, &QComboBox::activated, this, [this, combo, keyword](int index) {
                emit chosen(keyword, combo->itemData(index).toString());
            });
            control = combo;
        } else {
            auto* edit = new QLineEdit;
            if (option.entry == PpdOption::Entry::Secret)
                edit->setEchoMode(QLineEdit::Password);
            edit->setMaxLength(option.maxLength);
            edit->setPlaceholderText(option.defaultText);
            const QString fallback = QString::fromStdString(option.defaultChoice);
            connect(edit, &QLineEdit::editingFinished, this, [this, edit, keyword, fallback] {
                // A text is always the custom value, even one that reads
                // like a choice ("none").
                const QString text = edit->text();
                emit chosen(keyword, text.isEmpty() ? fallback : QStringLiteral("Custom.") + text);
            });
            control = edit;
        }
        control->setObjectName(QStringLiteral("feature-") + keyword);
        control->setAccessibleName(option.title);
        control->setProperty("ppdKeyword", keyword);
        // A PPD's "&" is a letter of its text, not a mnemonic.
        QString caption = option.title + QLatin1Char(':');
        auto* label = new QLabel(caption.replace(QLatin1Char('&'), QStringLiteral("&&")));
        label->setTextFormat(Qt::PlainText); // a PPD's text, never markup
        label->setBuddy(control);
        form->addRow(label, control);
        controls_.insert(keyword, control);
    }
    if (controls_.isEmpty())
        layout->addWidget(new QLabel(tr("The printer has no further features.")));
    layout->addStretch(1);
    refresh();
}

void PrinterFeaturesPage::refresh()
{
    for (auto it = controls_.constBegin(); it != controls_.constEnd(); ++it) {
        const std::string keyword = it.key().toStdString();
        if (auto* combo = qobject_cast<QComboBox*>(it.value())) {
            QSignalBlocker block(combo);
            combo->setCurrentIndex(combo->findData(QString::fromStdString(ppd_.markedValue(keyword))));
        } else if (auto* edit = qobject_cast<QLineEdit*>(it.value())) {
            const bool custom = ppd_.markedValue(keyword).rfind("Custom.", 0) == 0;
            QSignalBlocker block(edit);
            edit->setText(custom ? ppd_.customText(keyword) : QString());
        }
    }
}

} // namespace printpanels::host
