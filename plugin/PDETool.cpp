#include "PDETool.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStandardItemModel>
#include <QWidget>
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

uint64_t IndexOfChoice(const ppd_option_t* option, const ppd_choice_t* choice)
{
    if (!option || !choice || !option->choices || choice < option->choices
        || choice >= option->choices + option->num_choices)
        return kNoChoiceIndex;
    return static_cast<uint64_t>(choice - option->choices);
}

uint64_t IndexOfMarkedChoice(ppd_file_t* ppd, ppd_option_t* option, const char* key)
{
    if (!option)
        return kNoChoiceIndex;
    ppd_choice_t* choice = ppd ? ppdFindMarkedChoice(ppd, key) : nullptr;
    if (!choice)
        choice = ppdFindChoice(option, option->defchoice);
    return IndexOfChoice(option, choice);
}

uint64_t IndexOfDefaultChoice(ppd_option_t* option)
{
    return option ? IndexOfChoice(option, ppdFindChoice(option, option->defchoice)) : kNoChoiceIndex;
}

void SetMenuItemEnabled(QComboBox* popUp, int item, bool enabled)
{
    auto* model = popUp ? qobject_cast<QStandardItemModel*>(popUp->model()) : nullptr;
    if (QStandardItem* entry = model && item >= 0 && item < model->rowCount() ? model->item(item) : nullptr)
        entry->setEnabled(enabled);
}

QWidget* ViewWithTag(QWidget* view, int tag)
{
    if (!view)
        return nullptr;
    if (QVariant value = view->property("tag"); value.isValid() && value.toInt() == tag)
        return view;
    for (QWidget* widget : view->findChildren<QWidget*>())
        if (QVariant value = widget->property("tag"); value.isValid() && value.toInt() == tag)
            return widget;
    return nullptr;
}

QString StripMnemonic(QString text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == u'&')
            continue;
        out += text[i];
    }
    return out;
}

bool IsCancelEvent(const QWidget* window, const QObject* watched, const QEvent* event)
{
    if (!window || watched != window || !window->isVisible())
        return false;
    if (event->type() == QEvent::Close)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier;
}

void MakeReturnPress(QPushButton* ok, std::initializer_list<QPushButton*> others)
{
    if (ok) {
        ok->setDefault(true);
        ok->setAutoDefault(true);
    }
    for (QPushButton* button : others)
        if (button)
            button->setAutoDefault(false);
}
