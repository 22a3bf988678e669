#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_settings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString pathWith(const QByteArray &Content, const char *Name = "Kestrun.cfg")
    {
        const QString path = m_dir.filePath(QString::fromLatin1(Name));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(Content);
        return path;
    }

    static QByteArray contents(const QString &Path)
    {
        QFile file(Path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("UserID=kim") << QByteArray("UserID=kim\r\n") << "kim";
        QTest::newRow("userid=kim, any case") << QByteArray("userid=kim\r\n") << "kim";
        QTest::newRow("other lines first, LF ends")
            << QByteArray("Skin=blue\nUSERID=lee\n") << "lee";
        QTest::newRow("CR ends") << QByteArray("A=1\rUserID=park\rB=2") << "park";
        QTest::newRow("no line end at all") << QByteArray("UserID=kim") << "kim";
        QTest::newRow("value untrimmed, after the first =")
            << QByteArray("UserID= a=b \r\n") << " a=b ";
        QTest::newRow("first of two") << QByteArray("UserID=one\r\nUserID=two\r\n") << "one";
        QTest::newRow("UTF-8 value")
            << QByteArray("UserID=\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99\r\n") << "홍길동";
        QTest::newRow("not UTF-8: a CP949 value")
            << QByteArray("UserID=\xC8\xAB\xB1\xE6\xB5\xBF\r\n") << "홍길동";
        QTest::newRow("CP949 with a letter only CP949 has")
            << QByteArray("UserID=\x8C\x63\r\n") << "똠";
        QTest::newRow("name with blank is another name") << QByteArray("UserID =kim\r\n") << "";
        QTest::newRow("long s does not fold to s") << QByteArray("U\xC5\xBF"
                                                                 "erID=kim\r\n")
                                                   << "";
        QTest::newRow("no UserID line") << QByteArray("Other=1\r\n") << "";
        QTest::newRow("empty file") << QByteArray() << "";
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QCOMPARE(ReadSavedUserID(pathWith(content)), expected);
    }

    void readMissingFile() { QCOMPARE(ReadSavedUserID(m_dir.filePath("absent.cfg")), QString()); }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before"); // "<none>": no file
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file, one line")
            << QByteArray("<none>") << "kim" << QByteArray("UserID=kim\r\n");
        QTest::newRow("replaced in place, others kept") << QByteArray(
            "A=1\nuserid=kim\nB=2\n") << "lee" << QByteArray("A=1\r\nUserID=lee\r\nB=2\r\n");
        QTest::newRow("appended after the last line")
            << QByteArray("A=1\r\nB=2") << "lee" << QByteArray("A=1\r\nB=2\r\nUserID=lee\r\n");
        QTest::newRow("only the first UserID replaced") << QByteArray(
            "UserID=a\r\nUserID=b\r\n") << "c" << QByteArray("UserID=c\r\nUserID=b\r\n");
        QTest::newRow("other lines kept byte for byte (UTF-8, blanks)")
            << QByteArray("Note=\xEC\x82\xAC\xEC\xA7\x84  \r\nUserID=x\r\n") << "kim"
            << QByteArray("Note=\xEC\x82\xAC\xEC\xA7\x84  \r\nUserID=kim\r\n");
        QTest::newRow("Hangul id in UTF-8") << QByteArray(
            "<none>") << "홍길동" << QByteArray("UserID=\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99\r\n");
        QTest::newRow("a CP949 file becomes UTF-8 when the id is saved again")
            << QByteArray("UserID=\xC8\xAB\xB1\xE6\xB5\xBF\r\nNote=\xC8\xAB\r\n") << "홍길동"
            << QByteArray("UserID=\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99\r\nNote=\xC8\xAB\r\n");
    }

    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, id);
        QFETCH(QByteArray, after);
        QString path = m_dir.filePath(QStringLiteral("save.cfg"));
        QFile::remove(path);
        if (before != "<none>")
            path = pathWith(before, "save.cfg");
        SaveUserID(path, id);
        QCOMPARE(contents(path), after);
        QCOMPARE(ReadSavedUserID(path), id);
    }

    void unreadableFile()
    {
        // A folder where the file should be: it exists and cannot be read, even as root.
        const QString path = m_dir.filePath(QStringLiteral("folder.cfg"));
        QVERIFY(QDir().mkpath(path));
        QVERIFY_THROWS_EXCEPTION(SettingsFileError, ReadSavedUserID(path));
        QVERIFY_THROWS_EXCEPTION(SettingsFileError, SaveUserID(path, QStringLiteral("kim")));
    }

    void unwritableFile()
    {
        // Under a plain file no folder can be made, even as root.
        const QString blocker = pathWith("x", "blocker");
        const QString path = blocker + QStringLiteral("/Kestrun.cfg");
        QVERIFY_THROWS_EXCEPTION(SettingsFileError, SaveUserID(path, QStringLiteral("kim")));
        QCOMPARE(contents(blocker), QByteArray("x"));
    }

    void systemProgramFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("system");
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
        QTest::newRow("/opt/app/bin") << "/opt/app/bin" << true;
        QTest::newRow("/bin") << "/bin" << true;
        QTest::newRow("a home folder") << "/home/kim/KestrunBrimvale" << false;
        QTest::newRow("a prefix of a word") << "/usrdata/app" << false;
        QTest::newRow("not clean") << "/home/../usr/bin" << true;
    }

    void systemProgramFolders()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QCOMPARE(IsSystemProgramFolder(folder), system);
    }

    void configPathFromEnvironment()
    {
        const QByteArray old = qgetenv("KESTRUN_CONFIG");
        qputenv("KESTRUN_CONFIG", "/somewhere/else.cfg");
        QCOMPARE(ConfigPath(), QStringLiteral("/somewhere/else.cfg"));
        qunsetenv("KESTRUN_CONFIG");
        // Beside the program when its folder is writable (the build folder is).
        QCOMPARE(
            ConfigPath(), QDir(QCoreApplication::applicationDirPath()).filePath("Kestrun.cfg"));
        if (!old.isNull())
            qputenv("KESTRUN_CONFIG", old);
    }
};

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
