// One PPD choice as a pop-up menu item carries it.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringConverter>
#include "PpdApi.h"
#include <memory>
#include <optional>
#include <vector>

// Encoding of the PPD's user texts; UTF-8, settled when the first PDEChoice
// is made.
extern QStringConverter::Encoding ppdEncoding;

class PDEChoice {
public:
    // choiceWithChoice: a new wrapper, shared by the choices array and the
    // menu items that carry it.
    static std::shared_ptr<PDEChoice> choiceWithChoice(ppd_choice_t* choice);
    explicit PDEChoice(ppd_choice_t* choice); // initWithChoice

    ppd_choice_t* choice() const { return choice_; }
    // The choice keyword (ASCII), made on first request.
    const QString& ppdTitle();
    // The user-visible text (decoded with ppdEncoding), made on first request.
    const QString& userTitle();
    // True when the keyword equals the option's default choice keyword
    // (compared over at most 41 bytes, the size of both fields).
    bool isDefaultChoice() const;
    // <PDEChoice 0x... userTitle:"..." ppdTitle:"..." marked:YES choice:2 of 3>
    QString description();

private:
    std::optional<QString> userTitle_, ppdTitle_;
    ppd_choice_t* choice_; // not owned: libcups's, lives with the PPD
};

using PDEChoicePtr = std::shared_ptr<PDEChoice>;
// One option's choices in the option's order; entry k is pop-up item k.
using PDEChoiceArray = std::shared_ptr<const std::vector<PDEChoicePtr>>;

Q_DECLARE_METATYPE(PDEChoicePtr)
