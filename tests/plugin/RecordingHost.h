// A print-dialog host for tests: it records every request a panel sends,
// marks accepted choices in a real PPD with libcups, and keeps print
// settings in memory.
#pragma once

#include "PDEPlugin.h"

#include <QString>
#include "PpdApi.h"
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A PPD opened with libcups, closed on destruction.
class PpdFile {
public:
    explicit PpdFile(const std::string& path);
    ~PpdFile();
    PpdFile(const PpdFile&) = delete;
    PpdFile& operator=(const PpdFile&) = delete;
    ppd_file_t* get() const { return ppd_; }
    // The marked choice keyword of an option, or "" when none.
    std::string marked(const char* key) const;

private:
    ppd_file_t* ppd_ = nullptr;
};

// The shipped PPD text with edits: every line for which `drop` is true goes,
// every (from, to) replacement is applied. Written to a temporary file.
std::string editedPpd(const std::vector<std::string>& dropOptions,
                      const std::vector<std::pair<std::string, std::string>>& replacements = {});

class RecordingHost : public PDEPluginCallback, public PMPrintSessionObject, public PMPrintSettingsObject {
public:
    explicit RecordingHost(ppd_file_t* ppd) : ppd_(ppd) {}

    // PDEPluginCallback
    bool respondsToSelector(Selector selector) const override
    {
        return selector == Selector::willChangePPDOptionKeyValue ? constraintHandling : false;
    }
    PMPrintSession printSession() override { return this; }
    PMPrintSettings printSettings() override { return withSettings ? this : nullptr; }
    ppd_file_s* ppdFile() override { return ppd_; }
    bool willChangePPDOptionKeyValue(const QString& key, const QString& choice) override;

    // PMPrintSessionObject / PMPrintSettingsObject
    PMDestinationType destinationType() const override { return destination; }
    bool value(const QString& key, QString* value) const override;
    void setValue(const QString& key, const QString& value, bool locked) override;
    QString jobName() const override { return QStringLiteral("report.pdf"); }

    // "Key=Choice" for every request, in order; cleared by take().
    std::vector<std::string> requests;
    std::vector<std::string> take();
    // Requests "Key=Choice" the host does not mark (a constraint refuses them).
    std::set<std::string> refused;
    bool constraintHandling = true;
    bool withSettings = true;
    PMDestinationType destination = kPMDestinationPrinter;
    std::map<QString, QString> settings;
    std::vector<std::string> keysWritten;

private:
    ppd_file_t* ppd_;
};
