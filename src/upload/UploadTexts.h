#pragma once

#include <QString>

// The upload window's own texts, exactly as the customer sees them.
namespace UploadTexts {

inline const QString Connecting = QStringLiteral("서버에 연결 중 입니다.");
inline const QString Sending = QStringLiteral("전송중 : ");
inline const QString Done = QStringLiteral("이미지 전송 완료. 장바구니로 이동합니다.");
inline const QString Reconnecting = QStringLiteral("서버와의 연결을 다시 설정합니다.");
inline const QString FtpErrorPrefix = QStringLiteral("FTP Error : ");
inline const QString HttpErrorPrefix = QStringLiteral("HTTP Error : ");
inline const QString ConfirmCaption = QStringLiteral("Confirm");
// Lines joined by LF CR, in that order.
inline const QString WebRouteQuestion = QStringLiteral(
    "FTP전송이 불가능하여 웹으로 전송합니다\n\r"
    "웹전송은 장바구니에서 썸네일이 제공되지 않으며,\n\r"
    "전송중에는 [취소]할 수 없습니다. 계속하시겠습니까?\n\r"
    "\n\r"
    "자세한 사항은 케스트런 고객센터에 문의하시기 바랍니다.");
// When the server time cannot be had after a few tries.
inline const QString NoServerTime
    = QStringLiteral("서버 시간을 받지 못했습니다. 잠시 후 다시 주문해 주십시오.");
// An order needs the id it is filed under; without one nothing is sent.
inline const QString NoUserID
    = QStringLiteral("아이디가 비어 있어 주문을 보낼 수 없습니다. 다시 로그인해 주십시오.");

inline QString Progress(int Number, int Count)
{
    return QStringLiteral("이미지 전송중...  (%1 / %2)").arg(Number).arg(Count);
}

inline QString Reconnected(int Count)
{
    return QStringLiteral("Reconnected (%1)").arg(Count);
}

} // namespace UploadTexts
