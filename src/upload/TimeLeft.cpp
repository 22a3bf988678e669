#include "upload/TimeLeft.h"

void TimeLeft::Begin(std::int64_t TotalBytes)
{
    m_total = TotalBytes;
    m_startMs = -1;
    m_lastShownMs = -1;
    m_lastText.clear();
}

std::optional<QString> TimeLeft::Update(std::int64_t Done, std::int64_t NowMs)
{
    if (m_startMs < 0) {
        m_startMs = NowMs;
        return std::nullopt;
    }
    const std::int64_t elapsed = NowMs - m_startMs;
    if (elapsed < FirstAfterMs || Done <= 0)
        return std::nullopt;
    if (m_lastShownMs >= 0 && NowMs - m_lastShownMs < EveryMs)
        return std::nullopt;
    m_lastShownMs = NowMs;
    const std::int64_t left = m_total > Done ? m_total - Done : 0;
    const double seconds = double(left) * double(elapsed) / double(Done) / 1000.0;
    const QString text = Format(std::int64_t(seconds + 0.5));
    if (text == m_lastText)
        return std::nullopt;
    m_lastText = text;
    return text;
}

QString TimeLeft::Format(std::int64_t Seconds)
{
    if (Seconds < 60)
        return QStringLiteral("남은 시간 약 %1초").arg(qMax<std::int64_t>(Seconds, 1));
    if (Seconds < 3600) {
        // Ten-second steps: a figure that flickers each second reads as noise.
        const std::int64_t s = (Seconds % 60) / 10 * 10;
        return s ? QStringLiteral("남은 시간 약 %1분 %2초").arg(Seconds / 60).arg(s)
                 : QStringLiteral("남은 시간 약 %1분").arg(Seconds / 60);
    }
    return QStringLiteral("남은 시간 약 %1시간 %2분").arg(Seconds / 3600).arg(Seconds % 3600 / 60);
}
