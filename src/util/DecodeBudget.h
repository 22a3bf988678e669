#pragma once

#include <QtGlobal>

#include <functional>

// Memory for decoding photos, shared by every thread that decodes: the thumbnail service's
// workers (grid, cards, upload thumbnails), which reserve it for their callers, and the
// trimming preview. Each decode first reserves what it estimates it will allocate; a
// reservation that does not fit beside what others hold waits for room, in the order asked,
// and one larger than the per-decode cap is refused outright. A decode that fits the cap
// always gets its turn once the others finish, because every decode holds its room only for
// its own bounded run and never asks for a second reservation while holding one.

struct DecodeBudgetLimits
{
    qint64 Total = 0; // bytes all decodes may hold at once
    qint64 PerDecode = 0; // bytes one decode may hold; never above Total
};

inline constexpr qint64 DefaultDecodeBudget = qint64(256) << 20;

DecodeBudgetLimits DecodeBudget();
// For tests and benchmarks; PerDecode is clamped to Total. Reservations already held stay.
void SetDecodeBudget(qint64 Total, qint64 PerDecode);

// True when Bytes fits the per-decode cap; a refusal counts as one. For a decode that checks
// its estimate before it asks for room.
bool FitsDecodeCap(qint64 Bytes);

struct DecodeBudgetCounts
{
    qint64 InUse = 0;
    qint64 PeakInUse = 0;
    qint64 LargestGranted = 0;
    quint64 Granted = 0;
    quint64 Waited = 0; // granted after waiting for room
    quint64 Refused = 0; // over the per-decode cap
    quint64 Cancelled = 0; // given up while waiting
};
DecodeBudgetCounts DecodeBudgetStatistics();
// Starts the peaks afresh (benchmarks, tests).
void ResetDecodeBudgetPeaks();

// Asked now and then while a reservation waits; true gives the wait up.
using DecodeCancel = std::function<bool()>;

// Room for one decode, held until destroyed.
class DecodeReservation
{
public:
    enum class Outcome { Granted, TooLarge, Cancelled, Nested };

    DecodeReservation(qint64 Bytes, const DecodeCancel &Cancelled = {});
    ~DecodeReservation();
    DecodeReservation(const DecodeReservation &) = delete;
    DecodeReservation &operator=(const DecodeReservation &) = delete;

    bool Granted() const { return m_outcome == Outcome::Granted; }
    Outcome Result() const { return m_outcome; }
    qint64 Bytes() const { return m_bytes; }

private:
    qint64 m_bytes = 0;
    Outcome m_outcome = Outcome::Cancelled;
};
