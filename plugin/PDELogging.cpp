#include "PDELogging.h"

#include <QCoreApplication>
#include <QObject>
#include <QProcess>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

namespace {

QString describe(const QObject* object)
{
    return QStringLiteral("<%1 0x%2>")
        .arg(QString::fromLatin1(object->metaObject()->className()))
        .arg(reinterpret_cast<quintptr>(object), 0, 16);
}

// The system log, or with PRINTPANELS_LOG_FILE set the end of that file (a
// stand-in for the system log where there is none to read, as in tests).
void writeLine(const QByteArray& line)
{
    const QByteArray file = qgetenv("PRINTPANELS_LOG_FILE");
    if (file.isEmpty()) {
        syslog(LOG_NOTICE, "%s", line.constData());
        return;
    }
    const int fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = line + '\n';
    const ssize_t written = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    (void)written;
    ::close(fd);
}

void logv(const QObject* object, const char* kind, const char* format, va_list args)
{
    char message[1024];
    vsnprintf(message, sizeof message, format, args);
    writeLine(Format(object, QString::fromLatin1(kind), QString::fromUtf8(message)).toUtf8());
}

} // namespace

QString Format(const QObject* object, const QString& kind, const QString& message)
{
    if (object)
        return QStringLiteral("%1 self(%2) %3").arg(kind, describe(object), message);
    return QStringLiteral("%1 %2").arg(kind, message);
}

#define PDE_LOG_FUNCTION(name, kind)                       \
    void name(const QObject* object, const char* format, ...) \
    {                                                      \
        va_list args;                                      \
        va_start(args, format);                            \
        logv(object, kind, format, args);                  \
        va_end(args);                                      \
    }

PDE_LOG_FUNCTION(_PDELog, "LOG")
PDE_LOG_FUNCTION(_PDEProlog, "BEGIN")
PDE_LOG_FUNCTION(_PDEEpilog, "END")

QStringList stackTraceArguments(qint64 pid, const QString& stackTrace)
{
    QStringList arguments{QStringLiteral("--pid"), QString::number(pid)};
    for (const QString& piece : stackTrace.split(QStringLiteral("  "), Qt::SkipEmptyParts))
        arguments << piece.trimmed();
    return arguments;
}

bool PDEPrintStackTrace(const PDEException& exception)
{
    if (exception.stackTrace.trimmed().isEmpty()) {
        _PDELog(nullptr, "No stack trace available.");
        return false;
    }
    return QProcess::startDetached(QStringLiteral("eu-addr2line"),
                                   stackTraceArguments(QCoreApplication::applicationPid(), exception.stackTrace));
}

void PDEReportException(const PDEException& exception)
{
    _PDELog(nullptr, "exception!");
    _PDELog(nullptr, "bummer: %s", exception.description.toUtf8().constData());
}
