#include "PDEChoice.h"

#include "Utilities.h"

#include <QStringDecoder>
#include <cstring>

QStringConverter::Encoding ppdEncoding = QStringConverter::Utf8;

namespace {

// Class initialisation: the first wrapper made settles the text encoding.
void initializeClass()
{
    static const bool once = [] {
        RunningOn105OrLater();
        ppdEncoding = QStringConverter::Utf8;
        return true;
    }();
    (void)once;
}

QByteArray boundedBytes(const char* text, size_t size)
{
    return QByteArray(text, static_cast<qsizetype>(strnlen(text, size)));
}

} // namespace

std::shared_ptr<PDEChoice> PDEChoice::choiceWithChoice(ppd_choice_t* choice)
{
    return std::make_shared<PDEChoice>(choice);
}

PDEChoice::PDEChoice(ppd_choice_t* choice)
    : choice_(choice)
{
    initializeClass();
}

const QString& PDEChoice::ppdTitle()
{
    if (!ppdTitle_)
        ppdTitle_ = choice_ ? QString::fromLatin1(boundedBytes(choice_->choice, sizeof choice_->choice))
                            : QString();
    return *ppdTitle_;
}

const QString& PDEChoice::userTitle()
{
    if (!userTitle_) {
        if (choice_) {
            QStringDecoder decode(ppdEncoding);
            userTitle_ = decode(boundedBytes(choice_->text, sizeof choice_->text));
        } else {
            userTitle_ = QString();
        }
    }
    return *userTitle_;
}

bool PDEChoice::isDefaultChoice() const
{
    if (!choice_ || !choice_->option)
        return false;
    static_assert(sizeof choice_->choice == 41 && sizeof choice_->option->defchoice == 41);
    return strncmp(choice_->choice, choice_->option->defchoice, 41) == 0;
}

QString PDEChoice::description()
{
    long index = 0, count = 0;
    bool marked = false;
    if (choice_) {
        marked = choice_->marked != 0;
        if (choice_->option) {
            index = static_cast<long>(choice_ - choice_->option->choices) + 1;
            count = choice_->option->num_choices;
        }
    }
    return QStringLiteral("<PDEChoice %1 userTitle:\"%2\" ppdTitle:\"%3\" marked:%4 choice:%5 of %6>")
        .arg(QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(this), 0, 16), userTitle(), ppdTitle(),
             marked ? QStringLiteral("YES") : QStringLiteral("NO"))
        .arg(index)
        .arg(count);
}
