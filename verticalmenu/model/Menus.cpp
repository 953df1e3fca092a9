// Painting of the whole bar, its animations, and the routing of mouse actions.
#include "verticalmenu/model/Menus.h"

#include "verticalmenu/model/InsertionRule.h"

VMenu* Menus::Add(const QString& caption, int& index, Surface* control) {
    auto menu = std::make_unique<VMenu>();
    menu->setCaption(caption);
    menu->setIndex(index);
    menu->setControl(control);
    menu->setButtonHeight(m_buttonHeight);
    VMenu* added = menu.get();
    insertByRule(m_menus, std::move(menu), index);
    return added;
}

void Menus::Delete(int lIndex) {
    if (lIndex >= 1 && lIndex <= Count())
        m_menus.erase(m_menus.begin() + (lIndex - 1));
}

VMenu* Menus::Item(int lIndex) const {
    if (lIndex < 1 || lIndex > Count())
        return nullptr;
    return m_menus[static_cast<size_t>(lIndex - 1)].get();
}

QString Menus::Caption(int position) const {
    const VMenu* menu = Item(position);
    return menu ? menu->Caption() : QString();
}

void Menus::setCaption(int position, const QString& caption) {
    if (VMenu* menu = Item(position))
        menu->setCaption(caption);
}

int Menus::TotalMenuItems() const {
    int total = 0;
    for (const auto& menu : m_menus)
        total += menu->MenuItemCount();
    return total;
}

int Menus::IsMenuButtonClicked(int x, int y) const {
    for (const auto& menu : m_menus) {
        if (menu->IsMenuSelected(x, y))
            return menu->Index();
    }
    return 0;
}

void Menus::MoveMenu(int, int) {}

void Menus::MoveMenuItem(int, int) {}

void Menus::Paint() {
    if (m_lastPainted == 0)
        m_lastPainted = m_menuCur;
    // After menus were removed the old layout no longer exists; redraw it in place instead.
    if (m_lastPainted != m_menuCur && m_lastPainted <= Count() && m_menuCur <= Count())
        animateMenuChange(m_lastPainted, m_menuCur);
    else
        drawButtonsStatic();
    drawItems();
    m_lastPainted = m_menuCur;
}

void Menus::drawButtonsStatic() {
    if (!m_menu)
        return;
    if (m_menusChanged) {
        m_menu->clear();
        m_menusChanged = false;
    }
    m_menu->setTextColour(Surface::Colour::ButtonText);
    const int w = m_menu->width();
    const int h = m_menu->height();
    const int n = Count();
    if (n == 0 || !m_cache || !m_menu->hasDeviceContext() || !m_cache->hasDeviceContext())
        return;
    const int b = m_buttonHeight;
    const int c = m_menuCur;
    auto drawButton = [&](int i) {
        const int y = MenuGeometry::buttonTop(i, c, n, h, b);
        m_menu->blockCopy(0, y, w, b, *m_cache, 0, 0);
        const QString caption = Caption(i);
        m_menu->setTextPosition(w / 2 - m_menu->textWidth(caption) / 2, y + 2);
        m_menu->print(caption);
    };
    for (int i = 1; i <= c && i <= n; ++i)
        drawButton(i);
    for (int i = n; i >= c + 1; --i)
        drawButton(i);

    // A repaint in place starts from an empty item area, so nothing of a longer caption, a
    // removed item or a hover border is left behind.
    const int top = MenuGeometry::itemAreaTop(c, b);
    const int clip = MenuGeometry::clipY(c, n, h, b);
    if (clip > top)
        m_menu->fillRect(QRect(0, top, w, clip - top), Surface::Colour::ButtonShadow);
    if (VMenu* open = Item(c))
        open->menuItems().forgetBorders();
}

void Menus::drawItems() {
    if (!m_menu)
        return;
    const int n = Count();
    const int h = m_menu->height();
    VMenu* open = Item(m_menuCur);
    if (open) {
        int iconStart = 0;
        for (int i = 1; i < m_menuCur; ++i)
            iconStart += Item(i)->MenuItemCount();
        iconStart += open->TopMenuItem() - 1;
        int c = m_menuCur;
        int max = n;
        open->PaintItems(iconStart, c, MenuGeometry::clipY(m_menuCur, n, h, m_buttonHeight), max);
    }
    setButtonRects();
}

void Menus::setButtonRects() {
    const int n = Count();
    const int h = m_menu ? m_menu->height() : 0;
    for (int i = 1; i <= n; ++i)
        Item(i)->setButtonTop(MenuGeometry::buttonTop(i, m_menuCur, n, h, m_buttonHeight));
}

void Menus::step(bool scrolling) {
    if (m_animationStep)
        m_animationStep(scrolling);
}

void Menus::copyBand(int fromY, int toY, int height) {
    if (height > 0)
        m_menu->blockCopy(0, toY, m_menu->width(), height, *m_menu, 0, fromY);
}

void Menus::fillLine(int y) {
    m_menu->blockCopy(0, y, m_menu->width(), 1, *m_cache, 0,
                      MenuGeometry::cacheBackgroundRow(m_buttonHeight));
}

void Menus::animateMenuChange(int p, int c) {
    if (!m_menu)
        return;
    m_menu->setTextColour(Surface::Colour::ButtonText);
    const int h = m_menu->height();
    const int n = Count();
    if (n == 0 || !m_cache || !m_menu->hasDeviceContext() || !m_cache->hasDeviceContext())
        return;
    const int b = m_buttonHeight;
    int k = 0;
    if (c > p) {
        // The buttons p + 1 to c rise from the bottom stack; the old items leave upwards.
        const int yA = p * b;
        const int lo = h - (n - p) * b;
        const int ln = h - (n - c) * b;
        do {
            copyBand(yA + 1, yA, k == 0 ? ln - yA - 1 : ln - yA - k);
            if (k == 0)
                fillLine(ln - 1);
            ++k;
            step(false);
        } while (lo - (k + 1) > yA);
        copyBand(lo - k, yA, ln - yA - k);
    } else {
        // The buttons c + 1 to p sink to the bottom stack; the old items leave downwards.
        const int yC = c * b;
        const int yP = p * b;
        const int lo = h - (n - p) * b;
        do {
            if (k == 0) {
                copyBand(yC, yC + 1, lo - yC - 1);
                fillLine(yC);
            } else {
                copyBand(yC + k - 1, yC + k, lo - yC - k);
            }
            ++k;
            step(false);
        } while (yP + k < lo);
        copyBand(yC + k - 1, lo - (p - c) * b - 1, (p - c) * b + 1);
    }
    step(false);
}

void Menus::scroll(VMenu& menu, bool up) {
    if (up) {
        menu.setTopMenuItem(menu.TopMenuItem() - 1);
        menu.HideButton(1);
    } else {
        menu.setTopMenuItem(menu.TopMenuItem() + 1);
        menu.HideButton(-1);
    }
    if (m_menu && m_cache && m_menu->hasDeviceContext() && m_cache->hasDeviceContext()) {
        const int b = m_buttonHeight;
        const int top = MenuGeometry::itemAreaTop(m_menuCur, b);
        const int clip = MenuGeometry::clipY(m_menuCur, Count(), m_menu->height(), b);
        const int height = clip - top;
        constexpr int kStep = 2;
        for (int i = 0; i < MenuGeometry::kItemPitch / kStep && height > kStep; ++i) {
            if (up) {
                copyBand(top, top + kStep, height - kStep);
                for (int line = 0; line < kStep; ++line)
                    fillLine(top + line);
            } else {
                copyBand(top + kStep, top, height - kStep);
                for (int line = 0; line < kStep; ++line)
                    fillLine(clip - kStep + line);
            }
            step(true);
        }
    }
    drawItems();
}

void Menus::MouseProcess(short kind, int x, int y, int& lHitType, int& number) {
    number = 0;
    VMenu* open = Item(m_menuCur);
    const int pressedMenu = kind == -1 ? IsMenuButtonClicked(x, y) : 0;
    if (pressedMenu != 0) {
        lHitType = MenuButtonHit;
        number = pressedMenu;
        // The menu about to open must not take a later release as the end of an old press.
        if (VMenu* target = Item(pressedMenu))
            target->menuItems().forgetPress();
    } else if (open) {
        const int item = open->menuItems().MouseProcess(kind, x, y);
        if (kind == 1 && item > 0) {
            lHitType = ItemClicked;
            number = item;
        }
    }
    if (!open)
        return;
    const int arrows = open->MouseProcessForArrows(kind, x, y);
    if (arrows == -100) {
        lHitType = ScrolledDown;
        scroll(*open, false);
    } else if (arrows == 100) {
        lHitType = ScrolledUp;
        scroll(*open, true);
    }
}
