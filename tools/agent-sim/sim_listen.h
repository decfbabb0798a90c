#pragma once

#include <string>

// A listening TCP socket on host:port (port 0: a free one); the descriptor,
// or -1 with a message in error. actualPort receives the port bound.
int ListenOn(const std::string& host, int port, unsigned short& actualPort, std::string& error);
