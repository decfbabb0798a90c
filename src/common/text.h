#pragma once

#include <wx/string.h>

#include <string>

// Numbers from the agent and from operator fields are converted the way C's
// atoi does: leading blanks, an optional sign, digits up to the first
// non-digit; anything else is 0. Values beyond int saturate instead of
// overflowing.
int AtoiText(const wxString& text);
int AtoiBytes(const char* text);

// Substring test used by rules and filters. An empty haystack contains nothing,
// so an empty rule field watches nothing.
bool ContainsText(const wxString& haystack, const wxString& needle);

// Agent replies and wire payloads are UTF-8 bytes.
wxString FromUtf8(const std::string& bytes);
wxString FromUtf8(const char* bytes, size_t length);
std::string ToUtf8(const wxString& text);

// One CSV field (RFC 4180): as UTF-8, quoted with inner quotes doubled when
// it holds a comma, a quote or a line break.
std::string CsvField(const wxString& text);
