// The current printer's PPD as the host keeps it: opened with libcups, choices
// marked through ppdMarkOption, UIConstraints applied with cupsResolveConflicts.
#pragma once

#include "PpdApi.h"

#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

namespace printpanels::host {

// What became of one request to mark a choice.
struct MarkOutcome {
    enum class Status {
        Marked,         // marked; `changed` names options a constraint moved as well
        Unchanged,      // the choice was already marked
        Refused,        // a constraint that cannot be resolved; nothing was marked
        UnknownOption,  // the PPD has no such option
        UnknownChoice,  // no such choice and no custom value accepted for it
        BadCustomValue, // a custom text outside the option's limits
    };
    Status status = Status::UnknownOption;
    QStringList changed;      // "Option: Choice" of every other option a constraint changed
    std::vector<std::string> changedKeys; // their keywords
    QStringList conflicting;  // options the refused choice conflicts with
    QString message;          // one sentence for the dialog, empty when there is nothing to say

    bool accepted() const { return status == Status::Marked || status == Status::Unchanged; }
};

// One option as the dialog names it: its title and the text of its marked
// choice (a passcode or password shows as dots, never as itself).
struct OptionText {
    QString title;
    QString value; // empty when nothing is marked
    QString joined() const { return value.isEmpty() ? title : title + QStringLiteral(": ") + value; }
};

// One option of the PPD as a dialog offers it.
struct PpdOption {
    enum class Entry {
        Choices, // one of `choices`
        Text,    // a custom text, or the option's own choices
        Secret,  // a custom passcode or password: masked, never kept
    };
    std::string keyword;
    QString title;
    QString group;    // title of the PPD group it belongs to
    Entry entry = Entry::Choices;
    int maxLength = 0; // of a Text or Secret entry
    std::vector<std::pair<std::string, QString>> choices; // keyword, text; without "Custom"
    std::string defaultChoice; // the PPD's default choice keyword
    QString defaultText;       // and its text
};

class PpdDocument {
public:
    PpdDocument() = default;
    ~PpdDocument();
    PpdDocument(const PpdDocument&) = delete;
    PpdDocument& operator=(const PpdDocument&) = delete;

    // Opens the file and marks its defaults; false with `error` set otherwise.
    bool open(const QString& path, QString* error);
    bool isOpen() const { return ppd_ != nullptr; }
    ppd_file_t* ppd() const { return ppd_; }

    // Marks a set of options as a queue keeps them (cupsMarkOptions), then
    // resolves whatever conflicts they leave.
    void applyOptions(int numOptions, cups_option_t* options);

    // Marks `value` for `keyword`: a choice keyword, or, for an option that
    // takes a custom text, "Custom.TEXT" or the text itself (a text that is
    // not a choice keyword). Conflicts are resolved; a change that cannot be
    // resolved leaves the PPD exactly as it was. No message repeats a value
    // that is not a choice of the PPD.
    MarkOutcome markChoice(const std::string& keyword, const std::string& value);

    // The value of the marked choice as a job option would carry it:
    // the choice keyword, or "Custom.<text>" for a custom text. Empty when
    // nothing is marked.
    std::string markedValue(const std::string& keyword) const;
    // The custom text of an option that takes one; empty when none is set.
    QString customText(const std::string& keyword) const;
    bool takesCustomText(const std::string& keyword) const;

    // Every option whose marked choice differs from the PPD's default, as
    // (keyword, value) pairs in the PPD's order.
    std::vector<std::pair<std::string, std::string>> changedFromDefaults() const;

    // Title and marked choice's text of an option; its keyword as the title
    // when the PPD has no such option.
    OptionText optionText(const std::string& keyword) const;
    // "Title: choice text" of the marked choice, for messages; a custom text
    // is never shown there (see describe()).
    QString describe(const std::string& keyword) const;
    static QString optionTitle(const ppd_option_t* option);

    // Every option with at least one choice, in the PPD's order (groups,
    // then their subgroups), except PageRegion, which libcups keeps in step
    // with PageSize.
    std::vector<PpdOption> options() const;

private:
    struct Snapshot {
        std::vector<std::pair<std::string, std::string>> marks; // keyword -> markedValue
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& s, const std::string& only = {});

    ppd_file_t* ppd_ = nullptr;
};

} // namespace printpanels::host
