#include "PDETool.h"

#include <QComboBox>
#include <cstring>

int nIndex = 0;

PDEChoiceArray ArrayFromPPDOption(ppd_option_t* option)
{
    if (!option)
        return nullptr;
    auto array = std::make_shared<std::vector<PDEChoicePtr>>();
    const int count = option->choices ? option->num_choices : 0;
    array->reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i)
        array->push_back(PDEChoice::choiceWithChoice(&option->choices[i]));
    return array;
}

namespace {

template <typename Title>
PDEChoicePtr findChoice(const QString& string, const PDEChoiceArray& array, Title title)
{
    nIndex = 0;
    if (!array)
        return nullptr;
    for (const PDEChoicePtr& entry : *array) {
        ++nIndex;
        if (string.isNull() ? entry->isDefaultChoice() : title(*entry) == string)
            return entry;
    }
    return nullptr;
}

} // namespace

PDEChoicePtr FindChoiceForString(const QString& string, const PDEChoiceArray& array)
{
    return findChoice(string, array, [](PDEChoice& c) { return c.ppdTitle(); });
}

PDEChoicePtr FindUserChoiceForString(const QString& string, const PDEChoiceArray& array)
{
    return findChoice(string, array, [](PDEChoice& c) { return c.userTitle(); });
}

void InitPopUpFromArray(QComboBox* popUp, const PDEChoiceArray& array)
{
    if (!popUp)
        return;
    popUp->clear();
    if (!array)
        return;
    for (const PDEChoicePtr& entry : *array)
        popUp->addItem(entry->userTitle(), QVariant::fromValue(entry));
}

QString CreateOptionTitle(const ppd_option_t* option)
{
    if (!option)
        return QStringLiteral("Option not found.");
    return QString::fromUtf8(option->text, static_cast<qsizetype>(strnlen(option->text, sizeof option->text)))
        + QLatin1Char(':');
}

PDEChoicePtr selectedChoiceOfPopUp(const QComboBox* popUp)
{
    if (!popUp || popUp->currentIndex() < 0)
        return nullptr;
    return popUp->currentData().value<PDEChoicePtr>();
}
