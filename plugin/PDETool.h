// PPD helpers shared by the panels.
#pragma once

#include "PDEChoice.h"

#include <cstdint>
#include <initializer_list>

class QComboBox;
class QPushButton;
class QEvent;
class QObject;
class QWidget;

// 1-based position of the entry the last FindChoiceForString or
// FindUserChoiceForString returned (the array's length when none matched).
extern int nIndex;

// "No such index": what the index helpers answer for a missing choice.
inline constexpr uint64_t kNoChoiceIndex = UINT64_MAX;

// One PDEChoice per choice of the option, in order; null for a null option.
PDEChoiceArray ArrayFromPPDOption(ppd_option_t* option);
// The first entry whose keyword is `string`, or with a null string the first
// default choice; null when none matches.
PDEChoicePtr FindChoiceForString(const QString& string, const PDEChoiceArray& array);
// The same over the user-visible texts.
PDEChoicePtr FindUserChoiceForString(const QString& string, const PDEChoiceArray& array);
// Replaces the pop-up's items with one per entry; item k carries entry k
// (Qt::UserRole) and shows its user title.
void InitPopUpFromArray(QComboBox* popUp, const PDEChoiceArray& array);
// The option's text followed by ":", or "Option not found." for no option.
QString CreateOptionTitle(const ppd_option_t* option);

// The PDEChoice carried by the pop-up's selected item, or null (no
// selection, no pop-up, or items that carry no choice).
PDEChoicePtr selectedChoiceOfPopUp(const QComboBox* popUp);

// What both panels share: the index of a choice in its option's choices
// (kNoChoiceIndex for none), the index of the marked choice of `key` in
// `ppd` (the option's default when nothing is marked), the index of the
// option's default choice, enabling one pop-up item, and the view (or a
// child of it) whose "tag" property is `tag`.
uint64_t IndexOfChoice(const ppd_option_t* option, const ppd_choice_t* choice);
uint64_t IndexOfMarkedChoice(ppd_file_t* ppd, ppd_option_t* option, const char* key);
uint64_t IndexOfDefaultChoice(ppd_option_t* option);
void SetMenuItemEnabled(QComboBox* popUp, int item, bool enabled);
QWidget* ViewWithTag(QWidget* view, int tag);
// A translated text without its mnemonic marker ("&Job Type" -> "Job Type";
// "&&" stands for a literal "&").
QString StripMnemonic(QString text);
// Return presses `ok` wherever the focus is in its dialog: it is the default
// button, and none of `others` takes Return for itself.
void MakeReturnPress(QPushButton* ok, std::initializer_list<QPushButton*> others);
// Whether `event`, seen by a dialog's event filter on `watched`, asks the
// visible `window` to cancel: its own close button or a plain Escape that
// the focused control left alone.
bool IsCancelEvent(const QWidget* window, const QObject* watched, const QEvent* event);
