// The navigation bar's placement rules as plain arithmetic, so they are checked without painting.
#include "verticalmenu/model/MenuGeometry.h"

namespace MenuGeometry {

int buttonTop(int i, int c, int n, int h, int b) {
    if (i <= c)
        return (i - 1) * b;
    return h - (n - i + 1) * b;
}

int itemAreaTop(int c, int b) {
    return c * b;
}

int clipY(int c, int n, int h, int b) {
    return h - (n - c) * b;
}

int shownPlace(int j, int topMenuItem) {
    return j - topMenuItem + 1;
}

int iconTop(int place, int c, int b) {
    return kItemPitch * place - kIconSize + (c - 1) * b;
}

int iconLeft(int w) {
    return w / 2 - kIconSize / 2;
}

int captionX(int w, int textWidth) {
    return w / 2 - textWidth / 2;
}

int captionY(int top) {
    return top + 36;
}

int arrowLeft(int w) {
    return w - 22;
}

int upArrowTop(int menusAtTop, int b) {
    return menusAtTop * b + 6;
}

int downArrowTop(int h, int menusAtBottom, int b) {
    return (h - 6) - b * menusAtBottom;
}

int cacheIconY(int k, int b) {
    return 2 * b + kIconSize * k;
}

int cacheBackgroundRow(int b) {
    return b + 3;
}

int cacheHeight(int totalItems) {
    return (totalItems + 1) * kIconSize + 36;
}

} // namespace MenuGeometry
