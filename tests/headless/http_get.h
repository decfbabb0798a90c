#pragma once

#include <functional>
#include <string>

// GET of an http://HOST:PORT/PATH address on loopback (HTTP/1.0, no
// redirects): the body of a 200 answer, or "" on anything else.
std::string HttpGet(const std::string& url, int timeoutMs = 5000);

// Asks done() every 100 ms until it is true or timeoutMs has passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
