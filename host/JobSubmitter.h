// Sends a document to a CUPS queue with the options the dialog collected.
#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace printpanels::host {

struct JobRequest {
    QString queue;
    QString file;
    QString title;
    int copies = 1;
    // PPD options whose marked choice differs from the PPD's default.
    std::vector<std::pair<std::string, std::string>> options;
};

// The value as a CUPS option string carries it: quotes, backslashes and
// commas are escaped so that a custom text stays one value.
std::string escapeOptionValue(const std::string& value);

// Submits the job with cupsPrintFile2; returns the job ID, or 0 with `error`
// set.
int submitJob(const JobRequest& request, QString* error);

} // namespace printpanels::host
