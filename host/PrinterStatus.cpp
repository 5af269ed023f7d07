#include "PrinterStatus.h"

#include "PpdApi.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>

namespace printpanels::host {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("PrinterStatus", text); }

// "media-empty-error" -> "media empty".
QString reasonText(QString reason)
{
    for (const char* suffix : {"-error", "-warning", "-report"})
        if (reason.endsWith(QLatin1String(suffix))) {
            reason.chop(int(std::strlen(suffix)));
            break;
        }
    return reason.replace(QLatin1Char('-'), QLatin1Char(' '));
}

QStringList reasonsOf(const QString& commaList)
{
    QStringList out;
    for (const QString& r : commaList.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (r.trimmed() != QLatin1String("none"))
            out << r.trimmed();
    return out;
}

QStringList strings(ipp_t* response, const char* name)
{
    QStringList out;
    if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO))
        for (int i = 0; i < ippGetCount(a); ++i)
            out << QString::fromUtf8(ippGetString(a, i, nullptr));
    return out;
}

QList<int> integers(ipp_t* response, const char* name)
{
    QList<int> out;
    if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_INTEGER))
        for (int i = 0; i < ippGetCount(a); ++i)
            out << ippGetInteger(a, i);
    return out;
}

} // namespace

QString Supply::levelText() const
{
    if (known())
        return tr("%1%").arg(level);
    return level == -3 ? tr("some left") : tr("unknown");
}

QString PrinterStatus::stateText() const
{
    switch (state) {
    case 3: return tr("Idle");
    case 4: return tr("Printing");
    case 5: return tr("Stopped");
    default: return tr("Unknown");
    }
}

QString PrinterStatus::summary() const
{
    QString text = stateText();
    QStringList why;
    for (const QString& r : reasons)
        why << reasonText(r);
    if (!why.isEmpty())
        text += QStringLiteral(" (") + why.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!accepting)
        text += tr("; not accepting jobs");
    return text;
}

QList<PrinterStatus> listPrinters(QString* error)
{
    QList<PrinterStatus> out;
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    if (n == 0 && cupsLastError() > IPP_STATUS_OK_CONFLICTING && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
        if (error)
            *error = tr("The printers cannot be listed: %1").arg(QString::fromUtf8(cupsLastErrorString()));
        return out;
    }
    for (int i = 0; i < n; ++i) {
        const cups_dest_t& d = dests[i];
        if (d.instance)
            continue;
        auto option = [&](const char* name) {
            const char* v = cupsGetOption(name, d.num_options, d.options);
            return v ? QString::fromUtf8(v) : QString();
        };
        PrinterStatus p;
        p.name = QString::fromUtf8(d.name);
        p.isDefault = d.is_default;
        p.uri = option("printer-uri-supported");
        p.info = option("printer-info");
        p.location = option("printer-location");
        p.state = option("printer-state").toInt();
        p.reasons = reasonsOf(option("printer-state-reasons"));
        p.accepting = option("printer-is-accepting-jobs") != QLatin1String("false");
        out << p;
    }
    cupsFreeDests(n, dests);
    std::stable_sort(out.begin(), out.end(), [](const PrinterStatus& a, const PrinterStatus& b) {
        if (a.isDefault != b.isDefault)
            return a.isDefault;
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return out;
}

bool queryPrinter(PrinterStatus& status, QString* error, const CupsServer& server)
{
    http_t* http = server.connect();
    if (!http) {
        if (error)
            *error = tr("The print server cannot be reached: %1").arg(QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    QByteArray uri = status.uri.toUtf8();
    if (uri.isEmpty()) {
        char buf[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, buf, sizeof buf, "ipp", nullptr, "localhost", server.port, "/printers/%s",
                         status.name.toUtf8().constData());
        uri = buf;
    }
    static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-state-message",
                                         "printer-is-accepting-jobs", "marker-colors", "marker-levels",
                                         "marker-low-levels", "marker-high-levels", "marker-names", "marker-types"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    const bool ok = response && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    if (!ok) {
        if (error)
            *error = tr("The state of \"%1\" is not known: %2")
                         .arg(status.name, QString::fromUtf8(cupsLastErrorString()));
    } else {
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
            status.state = ippGetInteger(a, 0);
        status.reasons = reasonsOf(strings(response, "printer-state-reasons").join(QLatin1Char(',')));
        status.message = strings(response, "printer-state-message").value(0);
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
            status.accepting = ippGetBoolean(a, 0);
        const QStringList names = strings(response, "marker-names");
        const QStringList colors = strings(response, "marker-colors");
        const QStringList types = strings(response, "marker-types");
        const QList<int> levels = integers(response, "marker-levels");
        const QList<int> lows = integers(response, "marker-low-levels");
        const QList<int> highs = integers(response, "marker-high-levels");
        status.supplies.clear();
        for (int i = 0; i < names.size(); ++i) {
            Supply s;
            s.name = names[i];
            s.type = types.value(i);
            // "#RRGGBB", several for a supply of more than one colour, or "none".
            const QString colour = colors.value(i);
            if (colour.startsWith(QLatin1Char('#')) && colour.size() >= 7)
                s.color = QColor(colour.left(7));
            s.level = i < levels.size() ? levels[i] : -2;
            if (s.level > 100)
                s.level = -2; // not a percentage: not known
            s.low = lows.value(i, -1);
            s.high = highs.value(i, -1);
            status.supplies << s;
        }
    }
    ippDelete(response);
    httpClose(http);
    return ok;
}

} // namespace printpanels::host
