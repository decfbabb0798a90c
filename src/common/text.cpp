#include "common/text.h"

#include <climits>

int AtoiBytes(const char* p)
{
    if (!p)
        return 0;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int AtoiText(const wxString& text)
{
    // Only ASCII matters for the conversion; anything else ends the number.
    return AtoiBytes(text.utf8_str().data());
}

bool ContainsText(const wxString& haystack, const wxString& needle)
{
    if (haystack.empty())
        return false;
    return haystack.find(needle) != wxString::npos;
}

wxString FromUtf8(const char* bytes, size_t length)
{
    wxString text = wxString::FromUTF8(bytes, length);
    if (text.empty() && length > 0)
    {
        // Not valid UTF-8: keep the bytes readable rather than dropping the text.
        text = wxString(bytes, wxConvISO8859_1, length);
    }
    return text;
}

wxString FromUtf8(const std::string& bytes)
{
    return FromUtf8(bytes.data(), bytes.size());
}

std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer buffer = text.utf8_str();
    return std::string(buffer.data(), buffer.length());
}

std::string CsvField(const wxString& text)
{
    std::string s = text.utf8_str().data();
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string quoted = "\"";
    for (char c : s)
    {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}
