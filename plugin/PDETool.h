// PPD helpers shared by the panels.
#pragma once

#include "PDEChoice.h"

#include <cstdint>

class QComboBox;

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
