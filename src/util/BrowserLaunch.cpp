#include "util/BrowserLaunch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
extern char **environ;
#else
#include <QProcess>
#endif

LaunchResult LaunchAndWatch(const QString &Program, const QStringList &Arguments, int WatchMs)
{
    LaunchResult result;
#ifdef Q_OS_UNIX
    // Our own child, so its exit status can be read; once we end it is adopted by init and
    // runs on (QProcess would end it with us, and startDetached never tells its exit).
    std::vector<QByteArray> bytes {QFile::encodeName(Program)};
    for (const QString &a : Arguments)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        result.Error
            = QStringLiteral("%1: %2").arg(Program, QString::fromLocal8Bit(std::strerror(rc)));
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                result.Started = true;
            } else {
                result.Error = WIFEXITED(status)
                    ? QStringLiteral("%1: exit code %2").arg(Program).arg(WEXITSTATUS(status))
                    : QStringLiteral("%1: ended by signal %2").arg(Program).arg(WTERMSIG(status));
            }
            return result;
        }
        if (done < 0 && errno != EINTR) {
            result.Started = true; // not ours to watch any more; it was started
            return result;
        }
        if (clock.elapsed() >= WatchMs) {
            result.Started = true; // still running: a browser window is up
            return result;
        }
        QThread::msleep(20);
    }
#else
    result.Started = QProcess::startDetached(Program, Arguments);
    if (!result.Started)
        result.Error = Program;
    return result;
#endif
}
