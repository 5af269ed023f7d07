// Reads the document an application hands the print portal (an untrusted
// file descriptor) into a private file, bounded in size and time, and takes
// it only when its content is PDF or PostScript.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

namespace printpanels::portal {

// The largest document taken, and how long reading may wait for more bytes
// (a pipe that the sender never closes) and take in all.
inline constexpr qint64 kMaxDocumentBytes = 512LL * 1024 * 1024;
inline constexpr int kReadStallMs = 30000;
inline constexpr int kReadTotalMs = 300000;
// How far into the file a PDF header may start (bytes before it are junk
// that PDF readers skip).
inline constexpr size_t kPdfHeaderWindow = 1024;

enum class DocumentKind { Pdf, PostScript, Other };

// The kind of a document by its first bytes.
DocumentKind kindOf(const char* data, size_t size);

struct ReadResult {
    DocumentKind kind = DocumentKind::Other;
    QString error; // empty when the whole document was read and is PDF or PostScript
};

// Copies everything readable from `fd` (not closed) into `target` (created
// with mode 0600). Blocks: run it off the user-interface thread.
ReadResult readDocument(int fd, const QString& target);

} // namespace printpanels::portal
