// Internal to the SNMP library: its trace lines. They go to standard error,
// and only when the environment holds LEVELWATCH_DEBUG=1; standard output
// belongs to the program that links the library (a report, a device list).
#pragma once

// One trace line (or part of one), printf-style.
void lwTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "prefix: system error text" for the current errno, as perror writes it.
void lwTraceErrno(const char* prefix);
