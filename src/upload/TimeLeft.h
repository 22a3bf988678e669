#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// How long an upload still takes: the bytes still to send over the average rate since the
// first byte. Shown once there are two seconds of data, renewed at most twice a second.
class TimeLeft
{
public:
    static constexpr std::int64_t FirstAfterMs = 2000;
    static constexpr std::int64_t EveryMs = 500;
    // A thumbnail's share of the bytes, before it is made: 120 x 105 at quality 100.
    static constexpr std::int64_t ThumbnailBytes = 12 * 1024;

    // TotalBytes: all that the upload will send; the clock starts at the first report.
    void Begin(std::int64_t TotalBytes);
    // Done: bytes sent so far. The text to show now, or nothing when it is not due.
    std::optional<QString> Update(std::int64_t Done, std::int64_t NowMs);

    // "남은 시간 약 45초", "남은 시간 약 3분 20초", "남은 시간 약 1시간 5분".
    static QString Format(std::int64_t Seconds);

private:
    std::int64_t m_total = 0;
    std::int64_t m_startMs = -1;
    std::int64_t m_lastShownMs = -1;
    QString m_lastText;
};
