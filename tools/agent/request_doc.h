#pragma once

#include <string>
#include <vector>

// What a console's request document ('^') asks for: the admin server and its
// credentials, and the attributes it wants of each MBean.
struct DomainRequest
{
    std::string adminAddress;
    std::string adminPort;
    std::string principal;
    std::string password;
    bool wls8 = false; // asks for the WebLogic 8 MBeans, which REST does not have
    std::vector<std::string> serverAttrs;
    std::vector<std::string> jvmAttrs;
    std::vector<std::string> threadAttrs;
    std::vector<std::string> jdbcAttrs;
};

// false with the reason in error when the document is no request document.
bool ParseDomainRequest(const std::string& doc, DomainRequest& out, std::string& error);

// One Server element of a thread-dump document ('a').
struct DumpTarget
{
    std::string name;
    std::string url;
    int count = 1;
};

bool ParseDumpRequest(const std::string& doc, std::vector<DumpTarget>& out, std::string& error);
