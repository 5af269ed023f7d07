#include "JobSubmitter.h"

#include "PpdApi.h"

#include <QCoreApplication>

namespace printpanels::host {

int submitJob(const JobRequest& request, QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return 0;
    };
    if (request.queue.isEmpty())
        return fail(QCoreApplication::translate("JobSubmitter", "No print queue was chosen."));
    if (request.file.isEmpty())
        return fail(QCoreApplication::translate("JobSubmitter", "There is no document to print."));
    if (request.copies < 1 || request.copies > 9999)
        return fail(QCoreApplication::translate("JobSubmitter", "Copies must be between 1 and 9999."));

    int num = 0;
    cups_option_t* options = nullptr;
    for (const auto& [key, value] : request.options)
        num = cupsAddOption(key.c_str(), value.c_str(), num, &options);
    num = cupsAddOption("copies", std::to_string(request.copies).c_str(), num, &options);

    const QByteArray queue = request.queue.toUtf8();
    const QByteArray file = request.file.toLocal8Bit();
    const QByteArray title = request.title.toUtf8();
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), file.constData(), title.constData(),
                                   num, options);
    cupsFreeOptions(num, options);
    if (job <= 0)
        return fail(QCoreApplication::translate("JobSubmitter", "The job was not accepted by \"%1\": %2")
                        .arg(request.queue, QString::fromUtf8(cupsLastErrorString())));
    return job;
}

} // namespace printpanels::host
