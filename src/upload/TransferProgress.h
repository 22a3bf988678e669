#pragma once

#include <QString>

#include <cstdint>

// The progress rule of both transfers: the file gauge follows the bytes of the running
// transfer, and the average speed (KB/s) takes in every report at half the weight of the
// previous ones. It is never reset during an upload, so it runs on from file to file.
class TransferProgress
{
public:
    // Work begin: the start time of the transfer.
    void Begin(std::int64_t NowMs) { m_startMs = NowMs; }
    // A work report. Returns true when the average speed changed (not in the first
    // millisecond of a transfer, where no rate can be had).
    bool Work(std::int64_t Done, std::int64_t NowMs);

    float AverageSpeed = 0.0f;

    // The average speed rounded to a whole number, with thousands separators ("12,345").
    static QString FormatSpeed(float KBPerSecond);

private:
    std::int64_t m_startMs = 0;
};
