// Logging of the plug-in to the system log, and the exception hooks the
// panels share.
#pragma once

#include <QString>
#include <QStringList>

class QObject;

// "KIND self(OBJECT) MESSAGE" for an object, "KIND MESSAGE" without one.
QString Format(const QObject* object, const QString& kind, const QString& message);

// printf-style; the message is formatted first and then logged as plain text,
// so a '%' in an object's description is never read as a conversion.
void _PDELog(const QObject* object, const char* format, ...) __attribute__((format(printf, 2, 3)));
void _PDEProlog(const QObject* object, const char* format, ...) __attribute__((format(printf, 2, 3)));
void _PDEEpilog(const QObject* object, const char* format, ...) __attribute__((format(printf, 2, 3)));

// An exception as the hooks see it: its description and the return
// addresses of its stack, separated by two spaces (empty when unknown).
struct PDEException {
    QString description;
    QString stackTrace;
};

// The arguments of the symboliser for a stack trace: "--pid PID ADDRESS...".
QStringList stackTraceArguments(qint64 pid, const QString& stackTrace);
// Logs "No stack trace available." and answers false when there is no
// trace; otherwise starts eu-addr2line detached (no shell) and answers
// whether it started.
bool PDEPrintStackTrace(const PDEException& exception);
void PDEReportException(const PDEException& exception);
