#include "upload/TransferProgress.h"

#include <cmath>

bool TransferProgress::Work(std::int64_t Done, std::int64_t NowMs)
{
    const std::int64_t elapsed = NowMs - m_startMs;
    if (elapsed <= 0)
        return false;
    const float rate = static_cast<float>((static_cast<double>(Done) / 1024.0)
        / (static_cast<double>(elapsed) / 1000.0));
    AverageSpeed = AverageSpeed == 0.0f ? rate : (rate + AverageSpeed) / 2.0f;
    return true;
}

QString TransferProgress::FormatSpeed(float KBPerSecond)
{
    const long long whole = std::llround(static_cast<double>(KBPerSecond));
    QString digits = QString::number(whole < 0 ? -whole : whole);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return whole < 0 ? u'-' + digits : digits;
}
