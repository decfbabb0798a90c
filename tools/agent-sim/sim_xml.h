#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

// Appends XML to one growing string without any intermediate objects: a large
// domain's report is built in a few milliseconds.
class XmlOut
{
public:
    explicit XmlOut(std::string& out) : m_out(out) {}

    void Raw(std::string_view text) { m_out.append(text); }

    // name="value" with a leading blank; the value is escaped.
    void Attr(const char* name, std::string_view value)
    {
        Open(name);
        if (value.find_first_of("&<>\"") == std::string_view::npos)
        {
            m_out.append(value);
            m_out += '"';
            return;
        }
        for (const char c : value)
        {
            switch (c)
            {
            case '&': m_out += "&amp;"; break;
            case '<': m_out += "&lt;"; break;
            case '>': m_out += "&gt;"; break;
            case '"': m_out += "&quot;"; break;
            default: m_out += c;
            }
        }
        m_out += '"';
    }

    void Attr(const char* name, long long value)
    {
        Open(name);
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, value);
        m_out.append(digits, r.ptr);
        m_out += '"';
    }
    void Attr(const char* name, int value) { Attr(name, static_cast<long long>(value)); }
    void Attr(const char* name, std::uint64_t value) { Attr(name, static_cast<long long>(value)); }

private:
    void Open(const char* name)
    {
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
    }
    std::string& m_out;
};

// "%Y-%m-%d %H:%M:%S" in the machine's zone, as an agent stamps its reports.
std::string FormatStamp(long long unixSeconds);
