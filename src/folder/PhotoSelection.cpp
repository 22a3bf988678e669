#include "folder/PhotoSelection.h"

#include <algorithm>

void PhotoSelection::Reset(int Count)
{
    m_order.clear();
    m_flags.assign(size_t(std::max(Count, 0)), 0);
    m_anchor = -1;
}

bool PhotoSelection::IsSelected(int Position) const
{
    return Position >= 0 && Position < GridCount() && m_flags[size_t(Position)];
}

void PhotoSelection::remove(int Position)
{
    m_order.erase(std::find(m_order.begin(), m_order.end(), Position));
    m_flags[size_t(Position)] = 0;
}

PhotoSelection::Change PhotoSelection::Toggle(int Position)
{
    Change change;
    if (Position < 0 || Position >= GridCount())
        return change;
    m_anchor = Position;
    if (m_flags[size_t(Position)]) {
        remove(Position);
        change.Deselected.push_back(Position);
    } else {
        m_flags[size_t(Position)] = 1;
        m_order.push_back(Position);
        change.Selected.push_back(Position);
    }
    return change;
}

PhotoSelection::Change PhotoSelection::SelectRun(int Position)
{
    Change change;
    if (Position < 0 || Position >= GridCount())
        return change;
    if (m_anchor < 0)
        m_anchor = 0;
    const int first = std::min(m_anchor, Position);
    const int last = std::max(m_anchor, Position);
    for (int p : m_order)
        if (p < first || p > last)
            change.Deselected.push_back(p);
    for (int p : change.Deselected)
        m_flags[size_t(p)] = 0;
    m_order.clear();
    for (int p = first; p <= last; ++p) {
        if (!m_flags[size_t(p)]) {
            m_flags[size_t(p)] = 1;
            change.Selected.push_back(p);
        }
        m_order.push_back(p);
    }
    return change;
}

PhotoSelection::Change PhotoSelection::SelectAll()
{
    Change change;
    m_order.clear();
    m_order.reserve(m_flags.size());
    for (int p = 0; p < GridCount(); ++p) {
        if (!m_flags[size_t(p)]) {
            m_flags[size_t(p)] = 1;
            change.Selected.push_back(p);
        }
        m_order.push_back(p);
    }
    return change;
}

PhotoSelection::Change PhotoSelection::Clear()
{
    Change change;
    change.Deselected = std::move(m_order);
    m_order.clear();
    for (int p : change.Deselected)
        m_flags[size_t(p)] = 0;
    return change;
}
