// The toner levels of our printers for Prometheus: its text exposition format
// (version 0.0.4), as node_exporter's textfile collector and Prometheus itself
// read it. One run gives one text, with these families (all gauges):
//
//   levelwatch_printer_up{address}                 1 answered, 0 asked and silent
//   levelwatch_printer_info{address,name,firmware,mcu_firmware,snmp}   always 1
//   levelwatch_toner_level_ratio{address,name,color}   0 (empty) to 1 (full)
//   levelwatch_toner_low{address,name,color}       1 at or below the CUPS filter's low level
//   levelwatch_toner_empty{address,name,color}     1 at 0
//   levelwatch_scan_duration_seconds               how long the run took
//   levelwatch_scan_left_out{reason,bound}         what the run ignored or a bound left out
//                                                  (only when there is any)
//
// A level the printer does not know gives no toner sample at all, never a
// guess. Label values are the printer's bytes made safe: valid UTF-8 (a
// byte that is not part of a valid sequence becomes the Latin-1 character
// of its number, see Utf8.h), control
// characters as spaces, and backslash, double quote and line feed escaped as
// the format requires.
#pragma once

#include "Discover.h"

#include <string>
#include <vector>

namespace metrics {

// The exposition of one run: the printers that answered (as DiscoverPrinters
// gives them; a level outside 0..100 counts as unknown), the addresses that
// were asked and gave no printer, and the run's duration. A printer or
// address listed twice is written once; the run's notes (DiscoverSummary)
// give levelwatch_scan_left_out. Ends with a line feed.
std::string PrometheusText(const std::vector<FoundPrinter>& printers,
                           const std::vector<std::string>& silentAddresses, double scanSeconds,
                           const std::vector<DiscoverNote>& leftOut = {});

// The asked hosts (addresses or names) for which no printer answered: a host
// answered when a printer's address is the host itself or one of the
// addresses it resolves to. In the order asked, each once.
std::vector<std::string> SilentHosts(const std::vector<std::string>& asked,
                                     const std::vector<FoundPrinter>& printers);

// Bytes as a label value between the double quotes (see above).
std::string LabelValue(const std::string& bytes);

// The exposition of one probe of levelwatch-exporter: as PrometheusText, with
// levelwatch_probe_duration_seconds, how long asking the printer took, in
// place of the scan's duration.
std::string ProbeText(const std::vector<FoundPrinter>& printers, const std::vector<std::string>& silentAddresses,
                      double probeSeconds);

} // namespace metrics
