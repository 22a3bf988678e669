#include "util/SocketProbe.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

bool SocketLooksClosed(std::intptr_t Socket)
{
#ifdef _WIN32
    WSAPOLLFD probe{};
    probe.fd = static_cast<SOCKET>(Socket);
    probe.events = POLLRDNORM;
    if (WSAPoll(&probe, 1, 0) < 0)
        return true;
#else
    pollfd probe{};
    probe.fd = static_cast<int>(Socket);
    probe.events = POLLIN;
    if (poll(&probe, 1, 0) < 0)
        return true;
#endif
    return probe.revents != 0;
}
