#pragma once

#include <cstdint>

// Whether a connected socket has been closed by its peer (or has unread data, which on an idle
// FTP control connection can only be a parting reply such as "421 Timeout"). Never blocks.
// The one place where the core library touches the socket API.
bool SocketLooksClosed(std::intptr_t Socket);
