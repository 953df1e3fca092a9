// The ordered items of one menu, and which of them the mouse button last went down on.
#pragma once

#include "verticalmenu/model/MenuItem.h"

#include <memory>
#include <vector>

class MenuItems {
public:
    // Inserts by the collection rule (append, put first, or after item lIndex - 1).
    MenuItem* Add(const QString& sCaption, int& lIndex, int& ButtonHeight, const Picture& picIcon);
    void Delete(int lIndex);
    // The item at a position from 1, or nothing.
    MenuItem* Item(int lIndex) const;
    int Count() const { return static_cast<int>(m_items.size()); }

    // Paints every item in order; true when the last item was drawn completely.
    bool Paint(int& TopMenuItem, int lIconStart, int& lMenuCur, int lClipY);
    // The item clicked (released on after a press on it), hovered or pressed; 0 for none.
    int MouseProcess(short kind, int x, int y);

    int lastPressed() const { return m_lastPressed; }
    void forgetPress() { m_lastPressed = 0; }
    // Marks every border as not drawn, after the surface under them was cleared.
    void forgetBorders();

private:
    std::vector<std::unique_ptr<MenuItem>> m_items;
    int m_lastPressed = 0;
};
