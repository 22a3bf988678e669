#pragma once

#include <cstdint>

// The one place where the core library touches the socket API.

// Whether a connected socket has been closed by its peer (or has unread data, which on an idle
// FTP control connection can only be a parting reply such as "421 Timeout"). Never blocks.
bool SocketLooksClosed(std::intptr_t Socket);

// Bytes written to a TCP socket that its peer has not yet acknowledged: what the socket's
// buffers hold of an upload. 0 where the system does not tell (only Linux does here).
std::int64_t UnacknowledgedBytes(std::intptr_t Socket);

// Whether UnacknowledgedBytes can tell anything on this system.
bool CanCountUnacknowledgedBytes();

// Socket calls for libcurl's open and close callbacks. ShutDownSending sends the end of the
// stream, as closing would, but keeps the socket (and its number) until it is closed.
std::intptr_t OpenSocket(int Family, int Type, int Protocol); // -1 on failure
void ShutDownSending(std::intptr_t Socket);
int CloseSocket(std::intptr_t Socket);
