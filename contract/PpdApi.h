// The one place where the plug-in and the host include libcups's PPD API.
//
// libcups marks its PPD functions as deprecated in favour of the IPP
// destination API, which cannot mark choices, apply UIConstraints or hand a
// print-dialog plug-in a PPD record. The host needs exactly those, so the
// deprecation attributes are switched off here, once, instead of sprinkling
// pragmas over every use.
#pragma once

#include <cups/versioning.h>

#undef _CUPS_DEPRECATED
#undef _CUPS_DEPRECATED_MSG
#undef _CUPS_DEPRECATED_1_2_MSG
#undef _CUPS_DEPRECATED_1_6_MSG
#undef _CUPS_DEPRECATED_1_7_MSG
#undef _CUPS_DEPRECATED_2_2_MSG
#define _CUPS_DEPRECATED _CUPS_PUBLIC
#define _CUPS_DEPRECATED_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_2_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_6_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_1_7_MSG(m) _CUPS_PUBLIC
#define _CUPS_DEPRECATED_2_2_MSG(m) _CUPS_PUBLIC

#include <cups/cups.h>
#include <cups/ppd.h>
