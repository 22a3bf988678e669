#include "util/HelperProcess.h"

#include <QFile>
#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

extern char **environ;

namespace helperprocess {

bool Start(const QString &Program, const QStringList &Args, Channel &C, QString *Error)
{
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        if (Error)
            *Error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    std::vector<QByteArray> bytes {QFile::encodeName(Program)};
    for (const QString &a : Args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    // posix_spawn does not copy the program's address space, so starting a helper from a
    // large, many-threaded program stays cheap; the sockets are close-on-exec everywhere else.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sv[1], 0);
    posix_spawn_file_actions_adddup2(&actions, sv[1], 1);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(sv[1]);
    if (rc != 0) {
        ::close(sv[0]);
        if (Error)
            *Error = QString::fromLocal8Bit(std::strerror(rc));
        return false;
    }
    C.Fd = sv[0];
    C.Pid = pid;
    return true;
}

void Stop(Channel &C)
{
    if (C.Fd >= 0)
        ::close(C.Fd);
    if (C.Pid > 0) {
        ::kill(pid_t(C.Pid), SIGKILL);
        while (::waitpid(pid_t(C.Pid), nullptr, 0) < 0 && errno == EINTR) { }
    }
    C = {};
}

bool Send(const Channel &C, const void *Data, qint64 Size)
{
    auto *p = static_cast<const char *>(Data);
    while (Size > 0) {
        const ssize_t n = ::send(C.Fd, p, size_t(Size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        Size -= n;
    }
    return true;
}

bool Receive(const Channel &C, void *Data, qint64 Size, QDeadlineTimer Deadline)
{
    auto *p = static_cast<char *>(Data);
    while (Size > 0) {
        pollfd pfd {C.Fd, POLLIN, 0};
        const qint64 left = Deadline.remainingTime();
        if (left == 0)
            return false;
        const int r = ::poll(&pfd, 1, left < 0 ? -1 : int(qMin<qint64>(left, 1 << 30)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const ssize_t n = ::read(C.Fd, p, size_t(Size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        Size -= n;
    }
    return true;
}

bool ReadFully(int Fd, void *Data, qint64 Size)
{
    auto *p = static_cast<char *>(Data);
    while (Size > 0) {
        const ssize_t n = ::read(Fd, p, size_t(Size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        Size -= n;
    }
    return true;
}

bool WriteFully(int Fd, const void *Data, qint64 Size)
{
    auto *p = static_cast<const char *>(Data);
    while (Size > 0) {
        const ssize_t n = ::write(Fd, p, size_t(Size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        Size -= n;
    }
    return true;
}

#if defined(Q_OS_LINUX)

namespace {

#if defined(__x86_64__)
    constexpr std::uint32_t NativeArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr std::uint32_t NativeArch = AUDIT_ARCH_AARCH64;
#elif defined(__i386__)
    constexpr std::uint32_t NativeArch = AUDIT_ARCH_I386;
#else
#define KB_NO_SYSCALL_FILTER
#endif

#ifndef KB_NO_SYSCALL_FILTER

    // The low 32 bits of a system call's argument (flags fit in them).
    constexpr std::uint32_t ArgLow(int i)
    {
        return std::uint32_t(offsetof(seccomp_data, args) + 8 * i)
            + (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0 : 4);
    }

    void Deny(std::vector<sock_filter> &f, long nr, int err = EPERM)
    {
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, std::uint32_t(nr), 0, 1));
        f.push_back(
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (std::uint32_t(err) & SECCOMP_RET_DATA)));
    }

    // Allows the call unless its flags argument asks for writing.
    void DenyWriting(std::vector<sock_filter> &f, long nr, int flagsArg)
    {
        constexpr std::uint32_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, std::uint32_t(nr), 0, 4));
        f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgLow(flagsArg)));
        f.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, writing, 0, 1));
        f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
        f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    }

#endif

} // namespace

bool EnterSandbox()
{
#ifdef KB_NO_SYSCALL_FILTER
    return false;
#else
    std::vector<sock_filter> f;
    f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, NativeArch, 1, 0));
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    f.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
#if defined(__x86_64__)
    // The x32 numbering would pass every check below under other numbers.
    f.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
#endif
    const long denied[] = {
#ifdef __NR_socketcall
        __NR_socketcall,
#endif
#ifdef __NR_socket
        __NR_socket, __NR_socketpair, __NR_connect, __NR_bind, __NR_listen, __NR_accept,
        __NR_accept4, __NR_sendto, __NR_sendmsg, __NR_sendmmsg,
#endif
        __NR_execve, __NR_execveat,
#ifdef __NR_creat
        __NR_creat,
#endif
#ifdef __NR_rename
        __NR_rename, __NR_unlink, __NR_mkdir, __NR_rmdir, __NR_link, __NR_symlink, __NR_chmod,
        __NR_chown, __NR_lchown, __NR_mknod,
#endif
        __NR_truncate, __NR_renameat, __NR_renameat2, __NR_unlinkat, __NR_mkdirat, __NR_linkat,
        __NR_symlinkat, __NR_fchmodat, __NR_fchownat, __NR_mknodat, __NR_ptrace,
        __NR_process_vm_writev, __NR_name_to_handle_at, __NR_open_by_handle_at,
#ifdef __NR_io_uring_setup
        __NR_io_uring_setup, // its requests would bypass this filter
#endif
    };
    for (long nr : denied)
        Deny(f, nr);
#ifdef __NR_openat2
    Deny(f, __NR_openat2, ENOSYS); // its flags sit in a structure the filter cannot read
#endif
#ifdef __NR_open
    DenyWriting(f, __NR_open, 1);
#endif
    DenyWriting(f, __NR_openat, 2);
    f.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));

    sock_fprog prog {static_cast<unsigned short>(f.size()), f.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) == 0;
#endif
}

namespace {

    qint64 MappedBytes()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return 0;
        return statm.readLine().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
    }

} // namespace

#else

bool EnterSandbox()
{
    return false;
}

namespace {

    qint64 MappedBytes()
    {
        return 0;
    }

} // namespace

#endif

namespace {

    void SleepBriefly()
    {
        timespec t {0, 200'000};
        ::nanosleep(&t, nullptr);
    }

} // namespace

ChildResult RunLimited(
    const std::function<void(int OutFd)> &Work, const Limits &L, qint64 MaxOutput)
{
    ChildResult result;
    int p[2];
    if (::pipe(p) != 0)
        return result;
    ::fcntl(p[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(p[1], F_SETFD, FD_CLOEXEC);
    // Measured before the fork: the child's own reading could not be trusted after a limit.
    const qint64 mapped = MappedBytes();
    const pid_t server = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(p[0]);
        ::close(p[1]);
        return result;
    }
    if (pid == 0) {
        ::close(p[0]);
#if defined(Q_OS_LINUX)
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        if (::getppid() != server)
            ::_exit(125);
        if (mapped > 0) {
            const rlim_t as = rlim_t(mapped + (L.AddressSpaceHeadroomMB << 20));
            rlimit r {as, as};
            ::setrlimit(RLIMIT_AS, &r);
        }
        // The soft limit sends SIGXCPU, which ends the child; the hard one kills it for sure.
        rlimit cpu {rlim_t(L.CpuSeconds), rlim_t(L.CpuSeconds + 1)};
        ::setrlimit(RLIMIT_CPU, &cpu);
        rlimit core {0, 0}; // a crash leaves no core file in the user's folder
        ::setrlimit(RLIMIT_CORE, &core);
        Work(p[1]);
        ::_exit(0);
    }
    ::close(p[1]);

    QDeadlineTimer deadline(L.WallMs);
    bool killed = false;
    char buffer[65536];
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            result.Result = ChildResult::TimedOut;
            killed = true;
            break;
        }
        pollfd pfd {p[0], POLLIN, 0};
        const int r = ::poll(&pfd, 1, int(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            break;
        if (r == 0)
            continue;
        const ssize_t n = ::read(p[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // end of output: the child is ending
        if (result.Output.size() + n > MaxOutput) {
            result.Result = ChildResult::TooMuchOutput;
            killed = true;
            break;
        }
        result.Output.append(buffer, n);
    }
    ::close(p[0]);

    int status = 0;
    for (;;) {
        if (killed)
            ::kill(pid, SIGKILL);
        const pid_t w = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
        if (w == pid)
            break;
        if (w < 0 && errno != EINTR)
            return result;
        if (!killed && deadline.hasExpired()) {
            // Closed its output but goes on running.
            result.Result = ChildResult::TimedOut;
            killed = true;
            continue;
        }
        if (!killed)
            SleepBriefly();
    }
    if (killed)
        return result;
    if (WIFEXITED(status)) {
        result.Result = ChildResult::Exited;
        result.Detail = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.Result = ChildResult::Signalled;
        result.Detail = WTERMSIG(status);
    }
    return result;
}

} // namespace helperprocess

#else // no POSIX: no helper, so every photo it would decode stays undecoded

namespace helperprocess {

bool Start(const QString &, const QStringList &, Channel &, QString *Error)
{
    if (Error)
        *Error = QStringLiteral("no decoding helper on this system");
    return false;
}
void Stop(Channel &C)
{
    C = {};
}
bool Send(const Channel &, const void *, qint64)
{
    return false;
}
bool Receive(const Channel &, void *, qint64, QDeadlineTimer)
{
    return false;
}
bool EnterSandbox()
{
    return false;
}
bool ReadFully(int, void *, qint64)
{
    return false;
}
bool WriteFully(int, const void *, qint64)
{
    return false;
}
ChildResult RunLimited(const std::function<void(int)> &, const Limits &, qint64)
{
    return {};
}

} // namespace helperprocess

#endif
