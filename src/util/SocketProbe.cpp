#include "util/SocketProbe.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/sockios.h>
#include <sys/ioctl.h>
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

std::int64_t UnacknowledgedBytes(std::intptr_t Socket)
{
#ifdef __linux__
    int bytes = 0; // for TCP: sent or queued, not yet acknowledged
    if (Socket >= 0 && ioctl(static_cast<int>(Socket), SIOCOUTQ, &bytes) == 0 && bytes > 0)
        return bytes;
#else
    (void)Socket;
#endif
    return 0;
}

bool CanCountUnacknowledgedBytes()
{
#ifdef __linux__
    return true;
#else
    return false;
#endif
}

std::intptr_t OpenSocket(int Family, int Type, int Protocol)
{
#ifdef _WIN32
    const SOCKET s = ::socket(Family, Type, Protocol);
    return s == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(s);
#else
    return ::socket(Family, Type, Protocol);
#endif
}

void ShutDownSending(std::intptr_t Socket)
{
#ifdef _WIN32
    ::shutdown(static_cast<SOCKET>(Socket), SD_SEND);
#else
    ::shutdown(static_cast<int>(Socket), SHUT_WR);
#endif
}

int CloseSocket(std::intptr_t Socket)
{
#ifdef _WIN32
    return ::closesocket(static_cast<SOCKET>(Socket));
#else
    return ::close(static_cast<int>(Socket));
#endif
}
