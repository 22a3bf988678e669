#pragma once

// The operating-system side of the decoding helper, in one place: starting the helper and
// talking to it (program side), and the decoding child it forks per photo under resource
// limits and a system-call filter (helper side). POSIX; the filter is Linux's seccomp.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <functional>

namespace helperprocess {

// ---- program side ----

struct Channel
{
    int Fd = -1; // a stream socket: the helper's stdin and stdout
    qint64 Pid = -1;
};

// Starts Program with Args; false (and errno's text in *Error) when it cannot be started.
bool Start(const QString &Program, const QStringList &Args, Channel &C, QString *Error);
// Kills and reaps the helper; C is closed afterwards.
void Stop(Channel &C);
// Never raises SIGPIPE: a helper that died makes this return false.
bool Send(const Channel &C, const void *Data, qint64 Size);
// False on end of stream, error or deadline.
bool Receive(const Channel &C, void *Data, qint64 Size, QDeadlineTimer Deadline);

// ---- helper side ----

struct Limits
{
    qint64 AddressSpaceHeadroomMB = 384; // beyond what the helper has mapped when it forks
    int CpuSeconds = 5;
    int WallMs = 10000;
};

// Forbids sockets, opening files for writing, changing the file tree and starting programs,
// for this process and every child. False where the system has no such filter.
bool EnterSandbox();

// Blocking whole reads and writes on a descriptor; false on end of stream or error.
bool ReadFully(int Fd, void *Data, qint64 Size);
bool WriteFully(int Fd, const void *Data, qint64 Size);

struct ChildResult
{
    enum Kind { Exited, Signalled, TimedOut, TooMuchOutput, NotStarted } Result = NotStarted;
    int Detail = 0; // exit code or signal
    QByteArray Output;
};

// Runs Work in a forked child under Limits; Work writes its answer to the descriptor it is
// given. The child's output is kept up to MaxOutput bytes; more, or a child that outlives
// the wall-clock limit, is killed.
ChildResult RunLimited(
    const std::function<void(int OutFd)> &Work, const Limits &L, qint64 MaxOutput);

} // namespace helperprocess
