// The toner levels as CUPS takes them from a filter: "ATTR:" lines with the
// marker attributes of the four toners and "STATE:" lines with the printer
// state reasons they imply (see filter(7)).
#pragma once

#include "snmp/TesselCmd.h"

#include <string>

namespace levels {

// The Printer MIB's code for a level that is not known. (Its other code, -3
// "some remaining", is never sent: a byte out of range says nothing about
// what is left.)
inline constexpr int kLevelUnknown = -2;

// A toner at or below this level (percent) is low; at 0 it is empty.
inline constexpr int kLowLevel = 10;
inline constexpr int kHighLevel = 100;

// The level of one toner from its status byte: the low seven bits, 0..100
// as they are; 101..127 cannot be a percentage of a maximum of 100 and are
// reported as kLevelUnknown, never as a made-up percentage.
int MarkerLevel(unsigned char statusByte);

// A marker name as the "marker-names" list can carry it: control
// characters, commas, quotes and backslashes become spaces (a comma would
// split the name in two), surrounding spaces are dropped; at most 127 bytes,
// never cutting a UTF-8 sequence. An empty result becomes `fallback`.
std::string MarkerName(const std::string& text, const std::string& fallback);

// The lines for the status block's four toners (black, cyan, magenta,
// yellow) with the given names, each line ending in "\n":
//   ATTR: marker-colors=#000000,#00FFFF,#FF00FF,#FFFF00
//   ATTR: marker-high-levels=100,100,100,100
//   ATTR: marker-levels=K,C,M,Y
//   ATTR: marker-low-levels=10,10,10,10
//   ATTR: marker-names="...","...","...","..."
//   ATTR: marker-types=toner,toner,toner,toner
//   STATE: +toner-empty-warning   (a known level at 0; "-" otherwise)
//   STATE: +toner-low-report      (a known level from 1 to 10; "-" otherwise)
// The names are passed through MarkerName first.
std::string MarkerLines(const PRINTER_STATUS& status, const std::string names[4]);

} // namespace levels
