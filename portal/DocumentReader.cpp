#include "DocumentReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <unistd.h>

namespace printpanels::portal {

DocumentKind kindOf(const char* data, size_t size)
{
    const std::string_view head(data, size);
    // PostScript: "%!" at the start, after the ^D some drivers send first,
    // or a DOS EPS binary header.
    if (head.starts_with("%!") || head.starts_with("\x04%!") || head.starts_with("\xC5\xD0\xD3\xC6"))
        return DocumentKind::PostScript;
    if (head.substr(0, kPdfHeaderWindow).find("%PDF-") != std::string_view::npos)
        return DocumentKind::Pdf;
    return DocumentKind::Other;
}

namespace {

QString tr(const char* text) { return QCoreApplication::translate("DocumentReader", text); }

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

ReadResult readDocument(int fd, const QString& target)
{
    ReadResult result;
    const QByteArray path = target.toLocal8Bit();
    const int out = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        result.error = tr("the document cannot be stored: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    char head[kPdfHeaderWindow];
    size_t headSize = 0;
    qint64 total = 0;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 left = kReadTotalMs - clock.elapsed();
        pollfd p{fd, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, int(std::min<qint64>(left, kReadStallMs))) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            result.error = tr("the document did not arrive in time");
            break;
        }
        const ssize_t n = ready < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            result.error = tr("the document cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        if (n == 0) {
            result.kind = kindOf(head, headSize);
            if (result.kind == DocumentKind::Other)
                result.error = tr("the document is neither PDF nor PostScript");
            break;
        }
        total += n;
        if (total > kMaxDocumentBytes) {
            result.error = tr("the document is larger than %1 MiB").arg(kMaxDocumentBytes / (1024 * 1024));
            break;
        }
        const size_t take = std::min(sizeof head - headSize, size_t(n));
        std::memcpy(head + headSize, buffer, take);
        headSize += take;
        // Known to be neither once the header window is full.
        if (headSize == sizeof head && kindOf(head, headSize) == DocumentKind::Other) {
            result.error = tr("the document is neither PDF nor PostScript");
            break;
        }
        if (!writeAll(out, buffer, size_t(n))) {
            result.error = tr("the document cannot be stored: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
    }
    ::close(out);
    if (!result.error.isEmpty())
        ::unlink(path.constData());
    return result;
}

} // namespace printpanels::portal
