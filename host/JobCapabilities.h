// What a CUPS queue takes besides its PPD's options: the job options the
// dialog's Page Setup and Job pages offer, as the server advertises them
// (IPP Get-Printer-Attributes), and how a time of day reaches CUPS.
#pragma once

#include "CupsServer.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

namespace printpanels::host {

struct JobCapabilities {
    bool known = false;          // a CUPS queue answered; false for a bare PPD
    // Page Setup. outputorder, page-set and fit-to-page are CUPS's own
    // options, which its filters apply to every queue.
    bool reverseOrder = false;   // outputorder=reverse (page-delivery-supported: reverse-order)
    bool pageSet = false;        // page-set=odd|even
    QStringList printScaling;    // print-scaling-supported; empty: fit-to-page instead
    QStringList numberUpLayouts; // number-up-layout-supported
    // Job.
    int priorityMax = 0;         // job-priority-supported; 0: no priorities
    int priorityDefault = 50;    // job-priority-default
    QStringList holdUntil;       // job-hold-until-supported (keywords)
    QString holdUntilDefault;    // job-hold-until-default
    QStringList jobSheets;       // job-sheets-supported, "none" first
    QStringList jobSheetsDefault; // job-sheets-default (before, after)
    bool billing = false;        // job-billing (a CUPS job attribute)
};

// Asks the server for the queue's job options. On failure `known` is false
// and `error` says why.
JobCapabilities queryJobCapabilities(const QString& queue, QString* error = nullptr,
                                     const CupsServer& server = CupsServer());

// The value of job-hold-until for a time of day entered in local time: CUPS
// takes a time of day in UTC ("HH:MM:SS") and holds the job until its next
// occurrence. `now` decides which day the time falls on (today, or tomorrow
// when it has passed), and so the offset from UTC on that day.
QString cupsHoldTime(const QTime& local, const QDateTime& now = QDateTime::currentDateTime());

} // namespace printpanels::host
