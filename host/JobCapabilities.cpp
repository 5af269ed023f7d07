#include "JobCapabilities.h"

#include "PpdApi.h"

#include <QCoreApplication>

#include <algorithm>

namespace printpanels::host {
namespace {

QStringList strings(ipp_t* response, const char* name)
{
    QStringList out;
    if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO))
        for (int i = 0; i < ippGetCount(a); ++i)
            if (const char* text = ippGetString(a, i, nullptr))
                out << QString::fromUtf8(text);
    return out;
}

int integer(ipp_t* response, const char* name, int fallback)
{
    ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_INTEGER);
    return a ? ippGetInteger(a, 0) : fallback;
}

} // namespace

JobCapabilities queryJobCapabilities(const QString& queue, QString* error, const CupsServer& server)
{
    JobCapabilities caps;
    http_t* http = server.connect();
    if (!http) {
        if (error)
            *error = QCoreApplication::translate("JobCapabilities", "The print server cannot be reached: %1")
                         .arg(QString::fromUtf8(cupsLastErrorString()));
        return caps;
    }
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", server.port, "/printers/%s",
                     queue.toUtf8().constData());
    static const char* const wanted[] = {"job-creation-attributes-supported", "page-delivery-supported",
                                         "print-scaling-supported", "number-up-layout-supported",
                                         "job-priority-supported", "job-priority-default",
                                         "job-hold-until-supported", "job-hold-until-default",
                                         "job-sheets-supported", "job-sheets-default"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (!response || ippGetStatusCode(response) > IPP_STATUS_OK_CONFLICTING) {
        if (error)
            *error = QCoreApplication::translate("JobCapabilities", "The job options of \"%1\" are not known: %2")
                         .arg(queue, QString::fromUtf8(cupsLastErrorString()));
        ippDelete(response);
        httpClose(http);
        return caps;
    }
    caps.known = true;
    // What a job may carry at all; a server that does not say is taken at
    // its word for each attribute below.
    const QStringList creation = strings(response, "job-creation-attributes-supported");
    auto creatable = [&creation](const char* name) {
        return creation.isEmpty() || creation.contains(QLatin1String(name));
    };
    const QStringList delivery = strings(response, "page-delivery-supported");
    caps.reverseOrder = delivery.isEmpty() || delivery.contains(QLatin1String("reverse-order"));
    caps.pageSet = true;
    if (creatable("print-scaling"))
        caps.printScaling = strings(response, "print-scaling-supported");
    if (creatable("number-up-layout"))
        caps.numberUpLayouts = strings(response, "number-up-layout-supported");
    if (creatable("job-priority")) {
        caps.priorityMax = std::min(integer(response, "job-priority-supported", 0), 100);
        caps.priorityDefault = std::clamp(integer(response, "job-priority-default", 50), 1, std::max(1, caps.priorityMax));
    }
    if (creatable("job-hold-until")) {
        caps.holdUntil = strings(response, "job-hold-until-supported");
        caps.holdUntilDefault = strings(response, "job-hold-until-default").value(0);
    }
    if (creatable("job-sheets")) {
        caps.jobSheets = strings(response, "job-sheets-supported");
        // "none" first: no cover page is the plain choice.
        if (caps.jobSheets.removeAll(QStringLiteral("none")) > 0 || !caps.jobSheets.isEmpty())
            caps.jobSheets.prepend(QStringLiteral("none"));
        caps.jobSheetsDefault = strings(response, "job-sheets-default");
    }
    caps.billing = true;
    ippDelete(response);
    httpClose(http);
    return caps;
}

QString cupsHoldTime(const QTime& local, const QDateTime& now)
{
    const QDateTime localNow = now.toLocalTime();
    QDateTime at(localNow.date(), QTime(local.hour(), local.minute()), Qt::LocalTime);
    if (at <= localNow)
        at = QDateTime(localNow.date().addDays(1), QTime(local.hour(), local.minute()), Qt::LocalTime);
    return at.toUTC().time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace printpanels::host
