// Item list operations and the list's share of mouse handling.
#include "verticalmenu/model/MenuItems.h"

#include "verticalmenu/model/InsertionRule.h"

MenuItem* MenuItems::Add(const QString& sCaption, int& lIndex, int& ButtonHeight, const Picture& picIcon) {
    auto item = std::make_unique<MenuItem>();
    item->setCaption(sCaption);
    item->setIndex(lIndex);
    item->setButtonHeight(ButtonHeight);
    item->setButton(picIcon);
    MenuItem* added = item.get();
    insertByRule(m_items, std::move(item), lIndex);
    return added;
}

void MenuItems::Delete(int lIndex) {
    if (lIndex >= 1 && lIndex <= Count())
        m_items.erase(m_items.begin() + (lIndex - 1));
}

MenuItem* MenuItems::Item(int lIndex) const {
    if (lIndex < 1 || lIndex > Count())
        return nullptr;
    return m_items[static_cast<size_t>(lIndex - 1)].get();
}

bool MenuItems::Paint(int& TopMenuItem, int lIconStart, int& lMenuCur, int lClipY) {
    bool complete = true;
    for (const auto& item : m_items)
        complete = item->PaintButton(TopMenuItem, lIconStart, lMenuCur, lClipY);
    return complete;
}

int MenuItems::MouseProcess(short kind, int x, int y) {
    // A press that lands on no item must not let a later release count as a click of the item
    // pressed some time before.
    if (kind == -1)
        m_lastPressed = 0;
    int result = 0;
    for (const auto& item : m_items) {
        if (!item->HitTest(kind, x, y))
            continue;
        const int number = item->Index();
        if (kind == 1) {
            if (number == m_lastPressed)
                result = number;
        } else {
            result = number;
        }
        if (kind == -1)
            m_lastPressed = number;
    }
    return result;
}

void MenuItems::forgetBorders() {
    for (const auto& item : m_items)
        item->setState(0);
}
