// The supply-levels report: an XML property list with the printer MIB's
// marker-supplies table for the four toners.
#pragma once

#include "snmp/TesselCmd.h"

#include <string>

// The report for the four level bytes of `status` (black, cyan, magenta,
// yellow; each reported as its low seven bits) and the four descriptions in
// the same order, which are escaped for XML ("&", "<", ">"). One line without
// a line break at its end.
std::string SupplyReport(const PRINTER_STATUS& status, const std::string descriptions[4]);

// The descriptions from the string table for the user's locale.
void SupplyDescriptions(std::string descriptions[4]);

// Writes the report to standard output, whole.
bool PrintSupplyReport(const PRINTER_STATUS& status);
