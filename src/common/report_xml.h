#pragma once

// What the Tuxedo and the WebLogic report readers share: which documents
// count as one report, and the log line for one that does not. Header only,
// so that each reader keeps the pugixml it links.

#include <wx/log.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>

// Parse options of both readers: the fragment mode keeps text outside the
// root, so that it can be refused (pugixml drops it otherwise).
constexpr unsigned int kReportParseOptions = pugi::parse_default | pugi::parse_fragment;

// "XML parsing error: '<what>' at line <n>", n counted up to offset in data.
inline void LogReportError(const char* what, const char* data, std::size_t size,
                           std::ptrdiff_t offset)
{
    const std::size_t end = std::min<std::size_t>(size, offset > 0 ? offset : 0);
    wxLogError("XML parsing error: '%s' at line %zu", what,
               1 + static_cast<std::size_t>(std::count(data, data + end, '\n')));
}

// A NUL byte is never part of XML: the reader would stop short at it and,
// depending on what follows, take the text before it for the whole report.
inline bool RefuseNulByte(const char* data, std::size_t size)
{
    const void* nul = size ? std::memchr(data, '\0', size) : nullptr;
    if (nul)
        LogReportError("NUL byte in the document", data, size, static_cast<const char*>(nul) - data);
    return nul != nullptr;
}

// One report is one document: well formed, exactly one root element and no
// text beside it (two replies run together are no report). Logs and returns
// false otherwise; data is the text the document was read from.
inline bool IsOneReport(const pugi::xml_document& doc, const pugi::xml_parse_result& loaded,
                        const char* data, std::size_t size)
{
    if (!loaded)
    {
        LogReportError(loaded.description(), data, size, loaded.offset);
        return false;
    }
    bool root = false;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
    {
        const pugi::xml_node_type type = n.type();
        const char* refused = type == pugi::node_pcdata || type == pugi::node_cdata
                                  ? "Text outside the root element"
                              : type == pugi::node_element && root ? "More than one root element"
                                                                   : nullptr;
        if (refused)
        {
            // Text is told from where its first non-blank character stands.
            std::ptrdiff_t at = n.offset_debug();
            while (type == pugi::node_pcdata && at >= 0 && static_cast<std::size_t>(at) < size &&
                   std::isspace(static_cast<unsigned char>(data[at])))
                ++at;
            LogReportError(refused, data, size, at);
            return false;
        }
        root = root || type == pugi::node_element;
    }
    if (!root)
        LogReportError("No document element found", data, size, 0);
    return root;
}
