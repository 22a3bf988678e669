#include "util/DecodeBudget.h"

#include <QDebug>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

struct Budget
{
    std::mutex mutex;
    std::condition_variable room;
    DecodeBudgetLimits limits {DefaultDecodeBudget, DefaultDecodeBudget};
    DecodeBudgetCounts counts;
    // Tickets of the waiting reservations, oldest first: room goes to the oldest, so a large
    // decode is not starved by a stream of small ones.
    std::deque<quint64> queue;
    quint64 nextTicket = 0;
};

Budget &TheBudget()
{
    static Budget *budget = [] {
#if defined(__GLIBC__)
        // glibc raises its mmap threshold to the largest block freed so far, so after one
        // large decode the next ones come from per-thread arenas that keep the memory when
        // it is freed: eight decoding threads would then hold eight decodes' worth for good.
        // A fixed threshold hands every large decode buffer back as soon as it is freed.
        mallopt(M_MMAP_THRESHOLD, 2 << 20);
#endif
        return new Budget;
    }();
    return *budget;
}

// A thread that holds room and asks again could wait for itself.
thread_local bool t_holding = false;

// How often a waiting reservation asks whether it is still wanted.
constexpr auto CancelPoll = std::chrono::milliseconds(20);

} // namespace

DecodeBudgetLimits DecodeBudget()
{
    Budget &b = TheBudget();
    std::lock_guard lock(b.mutex);
    return b.limits;
}

void SetDecodeBudget(qint64 Total, qint64 PerDecode)
{
    Budget &b = TheBudget();
    {
        std::lock_guard lock(b.mutex);
        b.limits.Total = qMax<qint64>(0, Total);
        b.limits.PerDecode = qBound<qint64>(0, PerDecode, b.limits.Total);
    }
    b.room.notify_all();
}

DecodeBudgetCounts DecodeBudgetStatistics()
{
    Budget &b = TheBudget();
    std::lock_guard lock(b.mutex);
    return b.counts;
}

bool FitsDecodeCap(qint64 Bytes)
{
    Budget &b = TheBudget();
    std::lock_guard lock(b.mutex);
    if (Bytes <= b.limits.PerDecode)
        return true;
    ++b.counts.Refused;
    return false;
}

void ResetDecodeBudgetPeaks()
{
    Budget &b = TheBudget();
    std::lock_guard lock(b.mutex);
    b.counts.PeakInUse = b.counts.InUse;
    b.counts.LargestGranted = 0;
}

DecodeReservation::DecodeReservation(qint64 Bytes, const DecodeCancel &Cancelled)
    : m_bytes(qMax<qint64>(0, Bytes))
{
    if (t_holding) {
        qWarning("decode budget: a thread asked for room while holding some; refused");
        m_outcome = Outcome::Nested;
        return;
    }
    Budget &b = TheBudget();
    std::unique_lock lock(b.mutex);
    const auto tooLarge = [&] { return m_bytes > b.limits.PerDecode; };
    const auto fits = [&] { return b.counts.InUse + m_bytes <= b.limits.Total; };
    if (tooLarge()) {
        ++b.counts.Refused;
        m_outcome = Outcome::TooLarge;
        return;
    }
    if (!b.queue.empty() || !fits()) {
        const quint64 ticket = b.nextTicket++;
        b.queue.push_back(ticket);
        ++b.counts.Waited;
        const auto leave = [&](Outcome outcome) {
            std::erase(b.queue, ticket);
            m_outcome = outcome;
            lock.unlock();
            // The next in line may fit now that this one has stepped aside.
            b.room.notify_all();
        };
        for (;;) {
            if (tooLarge()) { // the limits were lowered meanwhile
                ++b.counts.Refused;
                leave(Outcome::TooLarge);
                return;
            }
            if (b.queue.front() == ticket && fits())
                break;
            if (Cancelled) {
                if (Cancelled()) {
                    ++b.counts.Cancelled;
                    leave(Outcome::Cancelled);
                    return;
                }
                b.room.wait_for(lock, CancelPoll);
            } else {
                b.room.wait(lock);
            }
        }
        b.queue.pop_front();
    }
    b.counts.InUse += m_bytes;
    b.counts.PeakInUse = qMax(b.counts.PeakInUse, b.counts.InUse);
    b.counts.LargestGranted = qMax(b.counts.LargestGranted, m_bytes);
    ++b.counts.Granted;
    m_outcome = Outcome::Granted;
    t_holding = true;
    const bool others = !b.queue.empty();
    lock.unlock();
    if (others)
        b.room.notify_all();
}

DecodeReservation::~DecodeReservation()
{
    if (m_outcome != Outcome::Granted)
        return;
    t_holding = false;
    Budget &b = TheBudget();
    {
        std::lock_guard lock(b.mutex);
        b.counts.InUse -= m_bytes;
    }
    b.room.notify_all();
}
