#include "request_doc.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace
{
bool LoadWlsAgent(const std::string& doc, pugi::xml_document& xml, std::string& error)
{
    if (!xml.load_buffer(doc.data(), doc.size()))
    {
        error = "the request document is not well-formed XML";
        return false;
    }
    if (std::strcmp(xml.document_element().name(), "wlsagent") != 0)
    {
        error = "the request document has no wlsagent element";
        return false;
    }
    return true;
}
} // namespace

bool ParseDomainRequest(const std::string& doc, DomainRequest& out, std::string& error)
{
    pugi::xml_document xml;
    if (!LoadWlsAgent(doc, xml, error))
        return false;
    const pugi::xml_node root = xml.document_element();
    const pugi::xml_node domain = root.child("Domain");
    if (!domain)
    {
        error = "the request document has no Domain element";
        return false;
    }
    out = DomainRequest();
    out.adminAddress = domain.attribute("adminAddress").value();
    out.adminPort = domain.attribute("adminPort").value();
    out.principal = domain.attribute("principal").value();
    out.password = domain.attribute("password").value();
    for (pugi::xml_node mbean : root.children("MBean"))
    {
        const std::string name = mbean.attribute("name").value();
        std::vector<std::string>* list = nullptr;
        if (name == "ServerRuntime")
            list = &out.serverAttrs;
        else if (name == "JVMRuntime")
            list = &out.jvmAttrs;
        else if (name == "ThreadPoolRuntime")
            list = &out.threadAttrs;
        else if (name == "JDBCServiceRuntime.JDBCDataSourceRuntimeMBeans")
            list = &out.jdbcAttrs;
        else if (name == "ExecuteQueueRuntime" || name == "JDBCConnectionPoolRuntime")
            out.wls8 = true;
        if (!list)
            continue;
        for (pugi::xml_node attribute : mbean.children("attribute"))
        {
            const std::string attr = attribute.text().get();
            if (!attr.empty() && std::find(list->begin(), list->end(), attr) == list->end())
                list->push_back(attr);
        }
    }
    return true;
}

bool ParseDumpRequest(const std::string& doc, std::vector<DumpTarget>& out, std::string& error)
{
    pugi::xml_document xml;
    if (!LoadWlsAgent(doc, xml, error))
        return false;
    out.clear();
    for (pugi::xml_node server : xml.document_element().children("Server"))
    {
        DumpTarget target;
        target.name = server.attribute("name").value();
        target.url = server.attribute("url").value();
        target.count = std::clamp(server.attribute("dumpCount").as_int(1), 1, 5);
        if (!target.name.empty())
            out.push_back(target);
    }
    return true;
}
