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
    // PPD options whose marked choice differs from the PPD's default. libcups
    // sends an option it does not know as one value, as it is: a custom text
    // with commas or quotes needs no escaping.
    std::vector<std::pair<std::string, std::string>> options;
};

// Submits the job with cupsPrintFile2; returns the job ID, or 0 with `error`
// set.
int submitJob(const JobRequest& request, QString* error);

} // namespace printpanels::host
