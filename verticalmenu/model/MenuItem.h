// One item of a menu: an icon with a caption under it, with hover and press borders.
#pragma once

#include "verticalmenu/model/MenuGeometry.h"
#include "verticalmenu/model/Surface.h"

#include <QString>

class MenuItem {
public:
    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }
    int Index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    const Picture& Button() const { return m_button; }
    void setButton(const Picture& picture) { m_button = picture; }
    const QString& PictureURL() const { return m_pictureUrl; }
    void setPictureURL(const QString& url) { m_pictureUrl = url; }
    const QString& Key() const { return m_key; }
    void setKey(const QString& key) { m_key = key; }
    const QString& Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }
    Surface* Parent() const { return m_parent; }
    void setParent(Surface* parent) { m_parent = parent; }
    Surface* Cache() const { return m_cache; }
    void setCache(Surface* cache) { m_cache = cache; }
    int ButtonHeight() const { return m_buttonHeight; }
    void setButtonHeight(int height) { m_buttonHeight = height; }
    int Left() const { return m_left; }
    void setLeft(int left);
    int Top() const { return m_top; }
    void setTop(int top);
    int Right() const { return m_right; }
    int Bottom() const { return m_bottom; }
    int CaptionX() const { return m_captionX; }
    void setCaptionX(int x) { m_captionX = x; }
    int CaptionY() const { return m_captionY; }
    void setCaptionY(int y) { m_captionY = y; }
    short State() const { return m_state; }
    void setState(short state) { m_state = state; }

    bool displayed() const { return m_displayed; }
    bool pressed() const { return m_pressed; }
    const MenuGeometry::Rect& hitRect() const { return m_hitRect; }
    const MenuGeometry::Rect& borderRect() const { return m_borderRect; }

    // Draws the item at its place for the scroll position; false when it was cut off at lClipY
    // or lies below it, true when drawn completely or when it lies above the scroll position.
    bool PaintButton(int TopMenuItem, int lIconStart, int lMenuCur, int lClipY);
    // Hover and press for one mouse action (-1 press, 0 move, 1 release); true when on the item.
    bool HitTest(short kind, int x, int y);
    // -1 sunken, 1 raised, 0 erased.
    void DrawBorder(short state);

private:
    QString m_caption;
    int m_index = 0;
    Picture m_button;
    QString m_pictureUrl;
    QString m_key;
    QString m_tag;
    Surface* m_parent = nullptr;
    Surface* m_cache = nullptr;
    int m_buttonHeight = MenuGeometry::kButtonHeight;
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    int m_captionX = 0;
    int m_captionY = 0;
    short m_state = 0;
    bool m_displayed = false;
    MenuGeometry::Rect m_hitRect;
    MenuGeometry::Rect m_borderRect;
    bool m_pressed = false;
};
