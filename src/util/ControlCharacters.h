#pragma once

#include <QByteArray>
#include <QString>

// Texts the program does not control (a user id from the command line or the settings file,
// a photo's file name, an answer of the server) end up on the FTP command line and in
// addresses. A control character there is never part of a name: a CR LF would end the command
// and start another on the host. Such a text is refused before anything is sent.

// C0 controls, DEL and C1 controls.
bool HasControlCharacter(const QString &Text);
// Bytes below 0x20 and 0x7F: what would break a command line (CP949 letters never hold them).
bool HasControlByte(const QByteArray &Bytes);
// The text with each control character shown as "?", for a message.
QString ShowControlCharacters(QString Text);

namespace ControlTexts {

inline const QString UserIDRefused
    = QStringLiteral("아이디에 사용할 수 없는 문자(제어 문자)가 들어 있습니다.");

inline QString FileNameRefused(const QString &FileName)
{
    return QStringLiteral("파일 이름에 사용할 수 없는 문자(제어 문자)가 들어 있어 전송할 수 "
                          "없습니다 : ")
        + ShowControlCharacters(FileName);
}

inline const QString FtpCommandRefused
    = QStringLiteral("FTP 명령에 사용할 수 없는 문자(제어 문자)가 들어 있어 보내지 않았습니다.");

} // namespace ControlTexts
