#pragma once

#include <cstddef>
#include <vector>

// The selection of the photo grid: grid positions in the order they were selected, with a
// membership flag per position so that asking about one photo costs nothing. Every change
// returns the positions it selected and deselected, so the grid can raise its events and
// repaint just those thumbnails.
class PhotoSelection
{
public:
    struct Change
    {
        std::vector<int> Selected; // positions that became selected
        std::vector<int> Deselected; // positions that stopped being selected
    };

    // A new grid of Count photos: nothing selected, no anchor.
    void Reset(int Count);

    int Count() const { return int(m_order.size()); }
    int GridCount() const { return int(m_flags.size()); }
    bool IsSelected(int Position) const;
    // The position of the k-th selected photo (0-based), in selection order.
    int At(int K) const { return m_order[std::size_t(K)]; }
    const std::vector<int> &Positions() const { return m_order; }
    // The position a Shift run starts from: the last photo clicked or toggled; -1 for none.
    int Anchor() const { return m_anchor; }

    // Adds Position, or removes it when it is selected; it becomes the anchor.
    Change Toggle(int Position);
    // The run from the anchor to Position (the first photo when there is no anchor), in grid
    // order, replaces the selection. The anchor stays.
    Change SelectRun(int Position);
    // Every photo, in grid order.
    Change SelectAll();
    Change Clear();
    // Where a Shift run starts when nothing was clicked yet (the keyboard's current photo).
    void SetAnchor(int Position) { m_anchor = Position; }

private:
    void remove(int Position);

    std::vector<int> m_order;
    std::vector<unsigned char> m_flags;
    int m_anchor = -1;
};
