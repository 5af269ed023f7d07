// What CUPS knows of its destinations: the list the dialog offers, and one
// printer's state and supply levels (the marker-* attributes that a backend
// or filter reports).
#pragma once

#include "CupsServer.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace printpanels::host {

// One supply as CUPS reports it. Levels are percent, or negative when not
// known (-1 unavailable, -2 unknown, -3 unknown but not empty).
struct Supply {
    QString name;
    QString type;  // "toner", "ink", ...
    QColor color;  // invalid when CUPS gives none
    int level = -2;
    int low = -1;  // marker-low-levels, -1 when not given
    int high = -1; // marker-high-levels, -1 when not given

    bool known() const { return level >= 0 && level <= 100; }
    // "40%", "unknown", "some left".
    QString levelText() const;
};

struct PrinterStatus {
    QString name;
    QString uri;      // printer-uri-supported, for later queries
    QString info;     // printer-info
    QString location; // printer-location
    bool isDefault = false;
    int state = 0;      // IPP printer-state: 3 idle, 4 processing, 5 stopped; 0 not known
    QStringList reasons; // printer-state-reasons other than "none"
    QString message;     // printer-state-message
    bool accepting = true;
    QList<Supply> supplies;

    // "Idle", "Printing", "Stopped", "Unknown".
    QString stateText() const;
    // The state with its reasons and whether jobs are taken, in one line:
    // "Stopped (paused); not accepting jobs".
    QString summary() const;
};

// Every CUPS destination (instances aside), the default first, then by
// name; an empty list with `error` set when CUPS cannot be asked.
QList<PrinterStatus> listPrinters(QString* error);

// The state and supplies of one destination, asked on a connection of its
// own (so any thread may ask); `status.name` and, when known, `status.uri`
// say which. False with `error` set when CUPS does not answer.
bool queryPrinter(PrinterStatus& status, QString* error, const CupsServer& server = {});

} // namespace printpanels::host
