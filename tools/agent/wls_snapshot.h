#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

// One element of the console's report: its name and its attributes, in order.
struct ReportElement
{
    std::string name;
    std::vector<std::pair<std::string, std::string>> attrs;
    void Add(const std::string& attr, const std::string& value) { attrs.emplace_back(attr, value); }
};

// What one poll found, in the console's terms: the INITBUF summary, the
// elements in report order, and what went wrong where.
struct DomainSnapshot
{
    ReportElement initbuf{"INITBUF", {}};
    std::vector<ReportElement> elements;
    // (where, why): grouped by cause in ErrMsg.
    std::vector<std::pair<std::string, std::string>> problems;

    void Problem(const std::string& where, const std::string& why) { problems.emplace_back(where, why); }
    // One line for the SYSTEM element's errMsg; empty when nothing went wrong.
    std::string ErrMsg() const;
};

// The MONITOR document of the WebLogic 9/10 layout: Date, INITBUF (when it
// has anything), SYSTEM with errMsg, then the elements.
std::string BuildMonitorReport(const DomainSnapshot& snapshot, long long now);
// A report that carries only a message.
std::string MessageReport(const std::string& errMsg, long long now);

// The REST field of a console attribute name, by the JavaBeans rule REST
// follows: HeapFreeCurrent -> heapFreeCurrent, OSName stays OSName.
std::string RestField(const std::string& attr);

// "host/10.0.0.5" (how a runtime may give its listen address) -> "10.0.0.5".
std::string NormaliseListenAddress(const std::string& address);

// A healthState object's state ("ok", "HEALTH_WARN" ...) as the console's token.
std::string HealthToken(const std::string& state);

// Adds to out the value of each attribute's REST field of object, converted
// to report text; a field missing or of the wrong type is left out and named
// in the returned text (empty when all were there).
std::string MapFields(const nlohmann::json& object, const std::vector<std::string>& attrs,
                      ReportElement& out);
