#pragma once

#include <cstdio>

// libcups exports its localized status-line printers without a public
// header. Both print "PREFIX: text" lines; the message is looked up in the
// CUPS message catalog first. _cupsLangPrintError appends the text of errno.
extern "C" {
int _cupsLangPrintFilter(FILE* fp, const char* prefix, const char* message, ...);
int _cupsLangPrintError(const char* prefix, const char* message);
}
