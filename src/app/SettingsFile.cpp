#include "app/SettingsFile.h"

#include "util/Cp949.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <optional>
#include <vector>

namespace {

const char *const FileName = "Kestrun.cfg";

QString fileError(const QString &What, const QString &Path, const QString &Reason)
{
    return QStringLiteral("%1 %2: %3").arg(What, QDir::toNativeSeparators(Path), Reason);
}

// The file's lines without their ends; nullopt when it does not exist.
std::optional<std::vector<QByteArray>> readLines(const QString &Path)
{
    QFile file(Path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw SettingsFileError(
            fileError(QStringLiteral("Cannot open file"), Path, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw SettingsFileError(
            fileError(QStringLiteral("Cannot read file"), Path, file.errorString()));

    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.push_back(data.mid(start, i - start));
        if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        lines.push_back(data.mid(start));
    return lines;
}

// The name is plain ASCII, so the comparison is too: no Unicode folding ("ſ" is not "s" here).
bool isUserIDLine(const QByteArray &Line)
{
    const qsizetype eq = Line.indexOf('=');
    if (eq < 0)
        return false;
    return Line.left(eq).compare("UserID", Qt::CaseInsensitive) == 0;
}

// UTF-8, as the program writes it; a value that is not valid UTF-8 comes from a file written
// in CP949 (by an older version, or carried over from a Korean Windows system).
QString decodeValue(const QByteArray &Value)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(Value);
    return utf8.hasError() ? fromCp949(Value) : text;
}

} // namespace

bool IsSystemProgramFolder(const QString &Folder)
{
    // An installed program shares its folder with every other program (root can write there,
    // but settings do not belong in /usr/bin): it keeps them in the user's folder instead.
    const QString clean = QDir::cleanPath(Folder);
    for (const char *prefix : {"/usr", "/bin", "/sbin", "/opt", "/snap"}) {
        const QString p = QString::fromLatin1(prefix);
        if (clean == p || clean.startsWith(p + u'/'))
            return true;
    }
    return false;
}

QString ConfigPath()
{
    const QString overridden = qEnvironmentVariable("KESTRUN_CONFIG");
    if (!overridden.isEmpty())
        return overridden;
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty() && QFileInfo(programFolder).isWritable()
        && !IsSystemProgramFolder(programFolder))
        return QDir(programFolder).filePath(QString::fromLatin1(FileName));
    const QString configFolder
        = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return QDir(configFolder).filePath(QString::fromLatin1(FileName));
}

QString ReadSavedUserID(const QString &Path)
{
    const auto lines = readLines(Path);
    if (!lines)
        return QString();
    for (const QByteArray &line : *lines) {
        if (isUserIDLine(line))
            return decodeValue(line.mid(line.indexOf('=') + 1));
    }
    return QString();
}

void SaveUserID(const QString &Path, const QString &Id)
{
    const QByteArray newLine = "UserID=" + Id.toUtf8();
    std::vector<QByteArray> lines = readLines(Path).value_or(std::vector<QByteArray>());
    bool replaced = false;
    for (QByteArray &line : lines) {
        if (isUserIDLine(line)) {
            line = newLine;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        lines.push_back(newLine);

    QByteArray data;
    for (const QByteArray &line : lines)
        data += line + "\r\n";

    QDir().mkpath(QFileInfo(Path).absolutePath());
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        throw SettingsFileError(
            fileError(QStringLiteral("Cannot create file"), Path, file.errorString()));
    file.write(data);
    if (!file.commit())
        throw SettingsFileError(
            fileError(QStringLiteral("Cannot write file"), Path, file.errorString()));
}
