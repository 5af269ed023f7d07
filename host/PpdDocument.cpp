#include "PpdDocument.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <functional>

namespace printpanels::host {
namespace {

// Visits every option of a group, then of its subgroups.
void forEachOptionOf(ppd_group_t* group, const std::function<void(ppd_option_t*)>& fn)
{
    for (int i = 0; i < group->num_options; ++i)
        fn(&group->options[i]);
    for (int i = 0; i < group->num_subgroups; ++i)
        forEachOptionOf(&group->subgroups[i], fn);
}

// Visits every option in the PPD's own order (groups, then subgroups).
void forEachOption(ppd_file_t* ppd, const std::function<void(ppd_option_t*)>& fn)
{
    for (int i = 0; ppd && i < ppd->num_groups; ++i)
        forEachOptionOf(&ppd->groups[i], fn);
}

QString choiceText(const ppd_choice_t& c)
{
    return c.text[0] ? QString::fromUtf8(c.text) : QString::fromLatin1(c.choice);
}

ppd_cparam_t* textParam(ppd_file_t* ppd, const char* keyword)
{
    ppd_coption_t* coption = ppdFindCustomOption(ppd, keyword);
    if (!coption)
        return nullptr;
    auto* param = static_cast<ppd_cparam_t*>(cupsArrayFirst(coption->params));
    if (!param || cupsArrayCount(coption->params) != 1)
        return nullptr;
    switch (param->type) {
    case PPD_CUSTOM_STRING:
    case PPD_CUSTOM_PASSWORD:
    case PPD_CUSTOM_PASSCODE:
        return param;
    default:
        return nullptr;
    }
}

QString tr(const char* text) { return QCoreApplication::translate("PpdDocument", text); }

} // namespace

PpdDocument::~PpdDocument()
{
    if (ppd_)
        ppdClose(ppd_);
}

bool PpdDocument::open(const QString& path, QString* error)
{
    if (ppd_) {
        ppdClose(ppd_);
        ppd_ = nullptr;
    }
    const QByteArray native = path.toLocal8Bit();
    ppd_ = ppdOpenFile(native.constData());
    if (!ppd_) {
        int line = 0;
        const ppd_status_t status = ppdLastError(&line);
        if (error)
            *error = tr("%1: not a usable PPD file (%2, line %3)")
                         .arg(path, QString::fromUtf8(ppdErrorString(status)))
                         .arg(line);
        return false;
    }
    // The PPD's texts in the user's language, where it has them.
    ppdLocalize(ppd_);
    ppdMarkDefaults(ppd_);
    return true;
}

void PpdDocument::applyOptions(int numOptions, cups_option_t* options)
{
    if (!ppd_ || numOptions <= 0)
        return;
    cupsMarkOptions(ppd_, numOptions, options);
    int n = 0;
    cups_option_t* fixes = nullptr;
    if (cupsResolveConflicts(ppd_, nullptr, nullptr, &n, &fixes) && n > 0)
        cupsMarkOptions(ppd_, n, fixes);
    cupsFreeOptions(n, fixes);
}

bool PpdDocument::takesCustomText(const std::string& keyword) const
{
    if (!ppd_)
        return false;
    ppd_option_t* option = ppdFindOption(ppd_, keyword.c_str());
    return option && ppdFindChoice(option, "Custom") && textParam(ppd_, keyword.c_str());
}

QString PpdDocument::customText(const std::string& keyword) const
{
    if (!takesCustomText(keyword))
        return {};
    ppd_cparam_t* param = textParam(ppd_, keyword.c_str());
    const char* text = param->current.custom_string; // the three text kinds share the member
    return text ? QString::fromUtf8(text) : QString();
}

std::string PpdDocument::markedValue(const std::string& keyword) const
{
    if (!ppd_)
        return {};
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd_, keyword.c_str());
    if (!choice)
        return {};
    if (std::strcmp(choice->choice, "Custom") == 0 && takesCustomText(keyword))
        return "Custom." + customText(keyword).toStdString();
    return choice->choice;
}

PpdDocument::Snapshot PpdDocument::snapshot() const
{
    Snapshot s;
    forEachOption(ppd_, [&](ppd_option_t* o) { s.marks.emplace_back(o->keyword, markedValue(o->keyword)); });
    return s;
}

void PpdDocument::restore(const Snapshot& s, const std::string& only)
{
    for (const auto& [keyword, value] : s.marks) {
        if (value.empty() || (!only.empty() && keyword != only))
            continue;
        if (markedValue(keyword) != value)
            ppdMarkOption(ppd_, keyword.c_str(), value.c_str());
    }
}

QString PpdDocument::optionTitle(const ppd_option_t* option)
{
    if (!option)
        return {};
    return option->text[0] ? QString::fromUtf8(option->text) : QString::fromLatin1(option->keyword);
}

QString PpdDocument::describe(const std::string& keyword) const
{
    // A custom text is named by the PPD's text for its custom choice
    // ("Custom User ID"), never repeated: it may be a passcode the PPD
    // declares as a plain string.
    ppd_option_t* option = ppd_ ? ppdFindOption(ppd_, keyword.c_str()) : nullptr;
    ppd_choice_t* choice = option ? ppdFindMarkedChoice(ppd_, keyword.c_str()) : nullptr;
    if (choice && std::strcmp(choice->choice, "Custom") == 0)
        return optionTitle(option) + QStringLiteral(": ") + choiceText(*choice);
    return optionText(keyword).joined();
}

OptionText PpdDocument::optionText(const std::string& keyword) const
{
    ppd_option_t* option = ppd_ ? ppdFindOption(ppd_, keyword.c_str()) : nullptr;
    if (!option)
        return {QString::fromStdString(keyword), {}};
    OptionText out{optionTitle(option), {}};
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd_, keyword.c_str());
    if (choice && std::strcmp(choice->choice, "Custom") == 0 && takesCustomText(keyword)) {
        // A passcode or password is never shown, in the summary or in a message.
        const ppd_cparam_t* param = textParam(ppd_, keyword.c_str());
        out.value = param->type == PPD_CUSTOM_STRING ? customText(keyword) : QStringLiteral("\u2022\u2022\u2022\u2022");
    } else if (choice) {
        out.value = choiceText(*choice);
    }
    return out;
}

std::vector<PpdOption> PpdDocument::options() const
{
    std::vector<PpdOption> out;
    if (!ppd_)
        return out;
    for (int g = 0; g < ppd_->num_groups; ++g) {
        const ppd_group_t& group = ppd_->groups[g];
        const QString groupTitle = QString::fromUtf8(group.text[0] ? group.text : group.name);
        forEachOptionOf(const_cast<ppd_group_t*>(&group), [&](ppd_option_t* o) {
            if (o->num_choices <= 0 || std::strcmp(o->keyword, "PageRegion") == 0)
                return;
            PpdOption info;
            info.keyword = o->keyword;
            info.title = optionTitle(o);
            info.group = groupTitle;
            if (ppd_cparam_t* param = takesCustomText(o->keyword) ? textParam(ppd_, o->keyword) : nullptr) {
                info.entry = param->type == PPD_CUSTOM_STRING ? PpdOption::Entry::Text : PpdOption::Entry::Secret;
                info.maxLength = std::max(1, param->maximum.custom_string);
            }
            for (int c = 0; c < o->num_choices; ++c)
                if (std::strcmp(o->choices[c].choice, "Custom") != 0)
                    info.choices.emplace_back(o->choices[c].choice, choiceText(o->choices[c]));
            info.defaultChoice = o->defchoice;
            if (ppd_choice_t* def = ppdFindChoice(o, o->defchoice))
                info.defaultText = choiceText(*def);
            out.push_back(std::move(info));
        });
    }
    return out;
}

MarkOutcome PpdDocument::markChoice(const std::string& keyword, const std::string& value)
{
    MarkOutcome out;
    ppd_option_t* option = ppd_ ? ppdFindOption(ppd_, keyword.c_str()) : nullptr;
    if (!option) {
        out.status = MarkOutcome::Status::UnknownOption;
        out.message = tr("The printer has no option \"%1\".").arg(QString::fromStdString(keyword));
        return out;
    }

    std::string markValue;
    ppd_cparam_t* param = takesCustomText(keyword) ? textParam(ppd_, keyword.c_str()) : nullptr;
    // "Custom.TEXT" is always the text, even one that reads like a choice
    // ("None": libcups finds choices whatever their case).
    const bool customSyntax = param && value.rfind("Custom.", 0) == 0;
    ppd_choice_t* choice = customSyntax ? nullptr : ppdFindChoice(option, value.c_str());
    if (choice && std::strcmp(choice->choice, "Custom") != 0) {
        markValue = choice->choice;
    } else if (param) {
        const std::string textValue = customSyntax ? value.substr(7) : value;
        const QString text = QString::fromStdString(textValue);
        const int length = static_cast<int>(text.size());
        bool ok = length >= param->minimum.custom_string && length <= param->maximum.custom_string
                  && std::none_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
        if (ok && param->type == PPD_CUSTOM_PASSCODE)
            ok = std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!ok) {
            out.status = MarkOutcome::Status::BadCustomValue;
            out.message = param->type == PPD_CUSTOM_PASSCODE
                              ? tr("%1 takes %2 to %3 digits.").arg(optionTitle(option)).arg(param->minimum.custom_string).arg(param->maximum.custom_string)
                              : tr("%1 takes %2 to %3 characters.").arg(optionTitle(option)).arg(param->minimum.custom_string).arg(param->maximum.custom_string);
            return out;
        }
        markValue = "Custom." + textValue;
    } else {
        // The value is not repeated: it may be a text the user typed, even a
        // passcode the PPD does not declare as one.
        out.status = MarkOutcome::Status::UnknownChoice;
        out.message = tr("%1: the printer takes no such value.").arg(optionTitle(option));
        return out;
    }

    if (markedValue(keyword) == markValue) {
        out.status = MarkOutcome::Status::Unchanged;
        return out;
    }

    const Snapshot before = snapshot();
    ppdMarkOption(ppd_, keyword.c_str(), markValue.c_str());
    ppd_choice_t* marked = ppdFindMarkedChoice(ppd_, keyword.c_str());
    const char* markedChoice = marked ? marked->choice : markValue.c_str();

    int n = 0;
    cups_option_t* fixes = nullptr;
    bool resolved = cupsResolveConflicts(ppd_, keyword.c_str(), markedChoice, &n, &fixes);
    // The PPD may settle a conflict by changing the very option asked for:
    // then that choice cannot be had as things stand, and nothing changes.
    for (int i = 0; resolved && i < n; ++i)
        if (strcasecmp(fixes[i].name, keyword.c_str()) == 0 && strcasecmp(fixes[i].value, markedChoice) != 0)
            resolved = false;
    if (!resolved) {
        cupsFreeOptions(n, fixes);
        cups_option_t* conflicts = nullptr;
        const int nc = cupsGetConflicts(ppd_, keyword.c_str(), markedChoice, &conflicts);
        const QString wanted = describe(keyword);
        for (int i = 0; i < nc; ++i)
            if (keyword != conflicts[i].name)
                out.conflicting << describe(conflicts[i].name);
        cupsFreeOptions(nc, conflicts);
        restore(before, keyword);
        out.status = MarkOutcome::Status::Refused;
        out.message = out.conflicting.isEmpty()
                          ? tr("\"%1\" was not applied: it conflicts with other settings.").arg(wanted)
                          : tr("\"%1\" was not applied: it conflicts with %2.").arg(wanted, out.conflicting.join(QStringLiteral(", ")));
        return out;
    }
    for (int i = 0; i < n; ++i)
        if (keyword != fixes[i].name)
            ppdMarkOption(ppd_, fixes[i].name, fixes[i].value);
    cupsFreeOptions(n, fixes);

    const Snapshot after = snapshot();
    for (size_t i = 0; i < after.marks.size() && i < before.marks.size(); ++i)
        if (after.marks[i].first != keyword && after.marks[i].second != before.marks[i].second)
        {
            out.changed << describe(after.marks[i].first);
            out.changedKeys.push_back(after.marks[i].first);
        }
    out.status = MarkOutcome::Status::Marked;
    if (!out.changed.isEmpty())
        out.message = tr("\"%1\" changed other settings to resolve a conflict: %2.")
                          .arg(describe(keyword), out.changed.join(QStringLiteral(", ")));
    return out;
}

std::vector<std::pair<std::string, std::string>> PpdDocument::changedFromDefaults() const
{
    std::vector<std::pair<std::string, std::string>> out;
    forEachOption(ppd_, [&](ppd_option_t* o) {
        const std::string value = markedValue(o->keyword);
        if (!value.empty() && value != o->defchoice)
            out.emplace_back(o->keyword, value);
    });
    return out;
}

} // namespace printpanels::host
