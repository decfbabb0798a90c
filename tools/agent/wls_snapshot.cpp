#include "wls_snapshot.h"

#include "sim_xml.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace
{
enum class Kind
{
    Text,
    Number,
    Flag,
    Health,
    Address,
    Time,
};

Kind KindOf(const std::string& attr)
{
    static const std::map<std::string, Kind> kinds = {
        {"ListenPort", Kind::Number},
        {"OpenSocketsCurrentCount", Kind::Number},
        {"HeapFreeCurrent", Kind::Number},
        {"HeapSizeCurrent", Kind::Number},
        {"HeapSizeMax", Kind::Number},
        {"HeapFreePercent", Kind::Number},
        {"ExecuteThreadIdleCount", Kind::Number},
        {"CompletedRequestCount", Kind::Number},
        {"ExecuteThreadTotalCount", Kind::Number},
        {"PendingUserRequestCount", Kind::Number},
        {"QueueLength", Kind::Number},
        {"StandbyThreadCount", Kind::Number},
        {"Throughput", Kind::Number},
        {"ActiveConnectionsCurrentCount", Kind::Number},
        {"ActiveConnectionsHighCount", Kind::Number},
        {"CurrCapacity", Kind::Number},
        {"LeakedConnectionCount", Kind::Number},
        {"ProductionModeEnabled", Kind::Flag},
        {"HealthState", Kind::Health},
        {"ListenAddress", Kind::Address},
        {"ActivationTime", Kind::Time},
    };
    const auto found = kinds.find(attr);
    return found == kinds.end() ? Kind::Text : found->second;
}

// Report text holds no control characters: a NUL would make the console
// refuse the whole reply, and line breaks have no place in an attribute.
std::string Clean(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

std::string NumberText(const nlohmann::json& value)
{
    if (value.is_number_integer())
        return std::to_string(value.get<long long>());
    if (value.is_number_unsigned())
        return std::to_string(value.get<unsigned long long>());
    const double d = value.get<double>();
    if (std::isfinite(d) && std::fabs(d) < 1e15 && d == std::floor(d))
        return std::to_string(static_cast<long long>(d));
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", d);
    std::string out = text;
    while (out.size() > 1 && out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out;
}

// The value as report text; false when it is of the wrong type.
bool Convert(Kind kind, const nlohmann::json& value, std::string& text)
{
    switch (kind)
    {
    case Kind::Number:
        if (!value.is_number())
            return false;
        text = NumberText(value);
        return true;
    case Kind::Time:
        if (!value.is_number())
            return false;
        text = FormatStamp(static_cast<long long>(value.get<double>() / 1000.0));
        return true;
    case Kind::Flag:
        if (!value.is_boolean())
            return false;
        text = value.get<bool>() ? "true" : "false";
        return true;
    case Kind::Health:
        if (!value.is_object() || !value.contains("state") || !value["state"].is_string())
            return false;
        text = HealthToken(value["state"].get<std::string>());
        return true;
    case Kind::Address:
        if (!value.is_string())
            return false;
        text = NormaliseListenAddress(value.get<std::string>());
        return true;
    case Kind::Text:
        if (!value.is_string())
            return false;
        text = value.get<std::string>();
        return true;
    }
    return false;
}
} // namespace

std::string RestField(const std::string& attr)
{
    if (attr.size() > 1 && std::isupper(static_cast<unsigned char>(attr[0])) &&
        std::isupper(static_cast<unsigned char>(attr[1])))
        return attr;
    std::string field = attr;
    if (!field.empty())
        field[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(field[0])));
    return field;
}

std::string NormaliseListenAddress(const std::string& address)
{
    const std::size_t slash = address.find('/');
    if (slash == std::string::npos)
        return address;
    const std::string ip = address.substr(slash + 1);
    return ip.empty() ? address.substr(0, slash) : ip;
}

std::string HealthToken(const std::string& state)
{
    std::string upper;
    for (const char c : state)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.rfind("HEALTH_", 0) != 0)
        upper = "HEALTH_" + upper;
    return Clean(upper);
}

std::string MapFields(const nlohmann::json& object, const std::vector<std::string>& attrs,
                      ReportElement& out)
{
    std::string missing;
    std::string wrong;
    for (const std::string& attr : attrs)
    {
        const std::string field = RestField(attr);
        const auto found = object.find(field);
        if (found == object.end())
        {
            missing += (missing.empty() ? "" : ", ") + field;
            continue;
        }
        if (found->is_null())
            continue; // unset in WebLogic: the console shows N/A
        std::string text;
        if (!Convert(KindOf(attr), *found, text))
        {
            wrong += (wrong.empty() ? "" : ", ") + field;
            continue;
        }
        out.Add(attr, Clean(text));
    }
    std::string problem;
    if (!missing.empty())
        problem = "missing " + missing;
    if (!wrong.empty())
        problem += (problem.empty() ? "" : "; ") + std::string("wrong type of ") + wrong;
    return problem;
}

std::string DomainSnapshot::ErrMsg() const
{
    // One cause once, with the places it was seen: a wrong password fails
    // every request alike.
    std::vector<std::pair<std::string, std::vector<std::string>>> causes;
    for (const auto& [where, why] : problems)
    {
        auto it = causes.begin();
        while (it != causes.end() && it->first != why)
            ++it;
        if (it == causes.end())
            causes.push_back({why, {where}});
        else
            it->second.push_back(where);
    }
    std::string text;
    constexpr std::size_t ShownPlaces = 4;
    for (const auto& [why, places] : causes)
    {
        if (!text.empty())
            text += "; ";
        text += why + " (";
        for (std::size_t i = 0; i < places.size() && i < ShownPlaces; ++i)
            text += (i ? ", " : "") + places[i];
        if (places.size() > ShownPlaces)
            text += " and " + std::to_string(places.size() - ShownPlaces) + " more";
        text += ")";
    }
    return Clean(text);
}

std::string BuildMonitorReport(const DomainSnapshot& snapshot, long long now)
{
    std::string out;
    XmlOut x(out);
    x.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MONITOR");
    x.Attr("Date", FormatStamp(now));
    x.Raw(">\n");
    auto element = [&](const ReportElement& e)
    {
        x.Raw("<");
        x.Raw(e.name);
        for (const auto& [name, value] : e.attrs)
            x.Attr(name.c_str(), value);
        x.Raw("/>\n");
    };
    if (!snapshot.initbuf.attrs.empty())
        element(snapshot.initbuf);
    x.Raw("<SYSTEM");
    x.Attr("errMsg", snapshot.ErrMsg());
    x.Raw("/>\n");
    for (const ReportElement& e : snapshot.elements)
        element(e);
    x.Raw("</MONITOR>\n");
    return out;
}

std::string MessageReport(const std::string& errMsg, long long now)
{
    std::string out;
    XmlOut x(out);
    x.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MONITOR");
    x.Attr("Date", FormatStamp(now));
    x.Raw(">\n<SYSTEM");
    x.Attr("errMsg", Clean(errMsg));
    x.Raw("/>\n</MONITOR>\n");
    return out;
}
