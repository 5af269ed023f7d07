#include "RecordingHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <fstream>
#include <regex>
#include <unistd.h>
#include <sstream>

PpdFile::PpdFile(const std::string& path)
    : ppd_(ppdOpenFile(path.c_str()))
{
    if (ppd_)
        ppdMarkDefaults(ppd_);
}

PpdFile::~PpdFile()
{
    if (ppd_)
        ppdClose(ppd_);
}

std::string PpdFile::marked(const char* key) const
{
    ppd_choice_t* choice = ppd_ ? ppdFindMarkedChoice(ppd_, key) : nullptr;
    return choice ? choice->choice : "";
}

std::string editedPpd(const std::vector<std::string>& dropOptions,
                      const std::vector<std::pair<std::string, std::string>>& replacements)
{
    std::ifstream in(PRINTPANELS_PPD);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        bool drop = false;
        for (const std::string& option : dropOptions)
            drop = drop || std::regex_search(line, std::regex("\\*(Default)?" + option + "([ /:]|$)"));
        if (drop)
            continue;
        for (const auto& [from, to] : replacements)
            if (line == from)
                line = to;
        out << line << '\n';
    }
    static int counter = 0;
    const std::string path = QDir::tempPath().toStdString() + "/printpanels-test-" + std::to_string(::getpid()) + "-"
        + std::to_string(++counter) + ".ppd";
    std::ofstream(path) << out.str();
    return path;
}

bool RecordingHost::willChangePPDOptionKeyValue(const QString& key, const QString& choice)
{
    const std::string request = key.toStdString() + "=" + choice.toStdString();
    requests.push_back(request);
    if (refused.count(request))
        return false;
    ppdMarkOption(ppd_, key.toUtf8().constData(), choice.toUtf8().constData());
    return true;
}

std::vector<std::string> RecordingHost::take()
{
    std::vector<std::string> taken;
    taken.swap(requests);
    return taken;
}

bool RecordingHost::value(const QString& key, QString* value) const
{
    auto it = settings.find(key);
    if (it == settings.end())
        return false;
    *value = it->second;
    return true;
}

void RecordingHost::setValue(const QString& key, const QString& value, bool)
{
    settings[key] = value;
    keysWritten.push_back(key.toStdString());
}
