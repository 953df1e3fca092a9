// Where the navigation bar places its buttons, items, arrows and cached images, in pixels.
#pragma once

namespace MenuGeometry {

// Icons are square and this many pixels wide and high; items sit one pitch apart.
inline constexpr int kIconSize = 32;
inline constexpr int kItemPitch = 64;
inline constexpr int kArrowSize = 16;
inline constexpr int kButtonHeight = 18;

// A rectangle as the platform's drawing calls take it: the right and bottom edges lie outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Top of menu i's button when menu c is open, n menus, surface height h, button height b.
// Menus up to the open one stack at the top, the later ones at the bottom.
int buttonTop(int i, int c, int n, int h, int b);

// First pixel row of the item area under the open menu's button.
int itemAreaTop(int c, int b);

// Top of the bottom stack; nothing of the items is drawn from here down.
int clipY(int c, int n, int h, int b);

// Place of item j among the shown items, 1 for the first shown.
int shownPlace(int j, int topMenuItem);

int iconTop(int place, int c, int b);
int iconLeft(int w);
int captionX(int w, int textWidth);
int captionY(int iconTop);

int arrowLeft(int w);
// Top of the up arrow under the menusAtTop buttons of the top stack.
int upArrowTop(int menusAtTop, int b);
// Top of the down arrow above the menusAtBottom lowest button slots.
int downArrowTop(int h, int menusAtBottom, int b);

// Row of the image cache that holds the icon numbered k over all menus (k from 1).
int cacheIconY(int k, int b);
// Row of the image cache that holds the plain background line used by the animations.
int cacheBackgroundRow(int b);
// Height the image cache needs for this many items over all menus.
int cacheHeight(int totalItems);

} // namespace MenuGeometry
