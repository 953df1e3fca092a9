// Drawing an item from the image cache, and its hover and press borders.
#include "verticalmenu/model/MenuItem.h"

namespace {
// A border box cut by the clip line loses its bottom side.
constexpr int kFullBorderHeight = MenuGeometry::kIconSize + 4;

QRect toQRect(const MenuGeometry::Rect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}
} // namespace

void MenuItem::setLeft(int left) {
    m_left = left;
    m_right = left + MenuGeometry::kIconSize;
}

void MenuItem::setTop(int top) {
    m_top = top;
    m_bottom = top + MenuGeometry::kIconSize;
}

bool MenuItem::PaintButton(int TopMenuItem, int lIconStart, int lMenuCur, int lClipY) {
    if (m_index < TopMenuItem) {
        m_displayed = false;
        return true;
    }
    if (!m_parent)
        return false;
    Surface& surface = *m_parent;
    const int w = surface.width();
    const int place = MenuGeometry::shownPlace(m_index, TopMenuItem);
    setTop(MenuGeometry::iconTop(place, lMenuCur, m_buttonHeight));
    setLeft(MenuGeometry::iconLeft(w));
    if (m_top > lClipY) {
        m_displayed = false;
        return false;
    }
    m_displayed = true;
    const bool clipped = m_bottom > lClipY;
    const int drawnBottom = clipped ? lClipY : m_bottom;

    m_captionX = MenuGeometry::captionX(w, surface.textWidth(m_caption));
    m_captionY = MenuGeometry::captionY(m_top);
    const int textHeight = surface.textHeight(m_caption);

    m_hitRect = {m_left - 6, m_top - 6, m_right + 6, clipped ? lClipY : m_bottom + textHeight + 5};
    m_borderRect = {m_left - 2, m_top - 2, m_right + 2, clipped ? lClipY : m_bottom + 2};

    if (m_cache)
        surface.blockCopy(m_left, m_top, MenuGeometry::kIconSize, drawnBottom - m_top, *m_cache, 0,
                          MenuGeometry::cacheIconY(lIconStart + place, m_buttonHeight));
    if (clipped)
        return false;

    surface.setTextColour(Surface::Colour::White);
    surface.setTextPosition(m_captionX, m_captionY);
    // Smoothed text printed over its own scrolled copy would thicken; start from background.
    const int textWidth = surface.textWidth(m_caption);
    // A caption starting at or below the clip line has nothing visible; a fill from there up
    // to the line would have a negative height and erase the button beneath.
    if (m_captionY >= lClipY)
        return false;
    if (m_captionY + textHeight >= lClipY) {
        surface.fillRect(QRect(m_captionX, m_captionY, textWidth, lClipY - m_captionY),
                         Surface::Colour::ButtonShadow);
        surface.setClip(QRect(0, m_captionY, w, lClipY - m_captionY));
        surface.print(m_caption);
        surface.resetClip();
        return false;
    }
    surface.fillRect(QRect(m_captionX, m_captionY, textWidth, textHeight), Surface::Colour::ButtonShadow);
    surface.print(m_caption);
    return true;
}

bool MenuItem::HitTest(short kind, int x, int y) {
    if (!m_displayed)
        return false;
    if (m_hitRect.contains(x, y)) {
        if (kind == -1) {
            if (m_state != -1)
                DrawBorder(-1);
            m_pressed = true;
        } else if (kind == 1) {
            if (m_state == -1 || m_state == 0)
                DrawBorder(1);
            m_pressed = false;
        } else if (kind == 0) {
            if (m_state == 0)
                DrawBorder(m_pressed ? -1 : 1);
        }
        return true;
    }
    if (kind == -1 || kind == 1)
        m_pressed = false;
    if (m_state != 0)
        DrawBorder(0);
    return false;
}

void MenuItem::DrawBorder(short state) {
    m_state = state;
    if (!m_displayed || !m_parent)
        return;
    const bool fullBox = m_borderRect.height() == kFullBorderHeight;
    const unsigned sides =
        fullBox ? unsigned(Surface::AllSides) : unsigned(Surface::Left | Surface::Top | Surface::Right);
    const QRect box = toQRect(m_borderRect);
    if (state == -1) {
        m_parent->drawEdge(box, Surface::SunkenInner, sides);
    } else if (state == 1) {
        m_parent->drawEdge(box, Surface::RaisedOuter, sides);
    } else if (state == 0) {
        if (fullBox) {
            m_parent->drawBox(box, Surface::Colour::ButtonShadow);
        } else {
            // The bottom row of a cut-off box belongs to the icon; erase only the sides drawn.
            const MenuGeometry::Rect& r = m_borderRect;
            m_parent->fillRect(QRect(r.left, r.top, r.width(), 1), Surface::Colour::ButtonShadow);
            m_parent->fillRect(QRect(r.left, r.top, 1, r.height()), Surface::Colour::ButtonShadow);
            m_parent->fillRect(QRect(r.right - 1, r.top, 1, r.height()), Surface::Colour::ButtonShadow);
        }
    }
}
