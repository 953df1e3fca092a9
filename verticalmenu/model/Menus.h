// The navigation bar's menus and bar-wide state: paints the bar and classifies mouse actions.
#pragma once

#include "verticalmenu/model/VMenu.h"

#include <functional>
#include <memory>
#include <vector>

class Menus {
public:
    enum HitType { MenuButtonHit = 1, ItemClicked = 2, ScrolledUp = 3, ScrolledDown = 4 };

    // Inserts by the collection rule; the new menu gets the bar's button height.
    VMenu* Add(const QString& caption, int& index, Surface* control);
    void Delete(int lIndex);
    // The menu at a position from 1, or nothing (also for 0).
    VMenu* Item(int lIndex) const;
    int Count() const { return static_cast<int>(m_menus.size()); }

    QString Caption(int position) const;
    void setCaption(int position, const QString& caption);
    int ButtonHeight() const { return m_buttonHeight; }
    void setButtonHeight(int height) { m_buttonHeight = height; }
    void setMenu(Surface* surface) { m_menu = surface; }
    void setCache(Surface* cache) { m_cache = cache; }
    int MenuCur() const { return m_menuCur; }
    void setMenuCur(int menu) { m_menuCur = menu; }
    void NumberOfMenusChanged(bool bNewValue) { m_menusChanged = bNewValue; }
    int lastPaintedMenu() const { return m_lastPainted; }

    int TotalMenuItems() const;
    int IsMenuButtonClicked(int x, int y) const;
    // Reordering is not offered: both accept their arguments and change nothing.
    void MoveMenu(int lCurIndex, int lNewIndex);
    void MoveMenuItem(int lCurIndex, int lNewIndex);

    // Draws the whole bar for MenuCur, animating from the menu painted last time.
    void Paint();
    // One mouse action: kind -1 press, 0 move, 1 release. Sets lHitType (left alone when nothing
    // happened) and number (0 when nothing happened).
    void MouseProcess(short kind, int x, int y, int& lHitType, int& number);

    // Called after every animation step (scrolling true for the scroll animation) with the
    // surface holding the step's picture, so the widget can show it. Without a hook the
    // animations still run, only unseen.
    void setAnimationStep(std::function<void(bool scrolling)> step) { m_animationStep = std::move(step); }
    // The next paint draws in place instead of animating from the menu painted last.
    void forgetLastPainted() { m_lastPainted = 0; }

private:
    void drawButtonsStatic();
    void drawItems();
    void setButtonRects();
    void animateMenuChange(int from, int to);
    void scroll(VMenu& menu, bool up);
    void step(bool scrolling);
    void copyBand(int fromY, int toY, int height);
    void fillLine(int y);

    Surface* m_menu = nullptr;
    Surface* m_cache = nullptr;
    std::vector<std::unique_ptr<VMenu>> m_menus;
    int m_buttonHeight = MenuGeometry::kButtonHeight;
    int m_lastPainted = 0;
    int m_menuCur = 0;
    bool m_menusChanged = false;
    std::function<void(bool)> m_animationStep;
};
