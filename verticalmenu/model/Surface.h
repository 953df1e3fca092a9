// The drawing surface the navigation bar model paints on; the widget layer backs it with a pixmap.
#pragma once

#include <QRect>
#include <QString>
#include <QVariant>

// A picture the model hands around without looking into it; the widget layer puts a QImage in it.
using Picture = QVariant;

class Surface {
public:
    enum class Colour { ButtonShadow, ButtonText, White };

    // Edge kinds and sides, combinable as the platform's edge drawing takes them.
    enum Edge : unsigned {
        RaisedOuter = 0x1,
        SunkenOuter = 0x2,
        RaisedInner = 0x4,
        SunkenInner = 0x8,
        Raised = RaisedOuter | RaisedInner,
        Sunken = SunkenOuter | SunkenInner,
    };
    enum Sides : unsigned {
        Left = 0x1,
        Top = 0x2,
        Right = 0x4,
        Bottom = 0x8,
        AllSides = 0xF,
        FillMiddle = 0x800,
    };

    virtual ~Surface() = default;

    virtual bool isVisible() const = 0;
    // False while the surface has nothing to draw on (no size yet).
    virtual bool hasDeviceContext() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;

    virtual int textWidth(const QString& text) const = 0;
    virtual int textHeight(const QString& text) const = 0;
    virtual void setTextColour(Colour colour) = 0;
    virtual void setTextPosition(int x, int y) = 0;
    // Prints at the text position: the position is the top-left corner of the text cell.
    virtual void print(const QString& text) = 0;

    // Restricts drawing to a rectangle until resetClip.
    virtual void setClip(const QRect& rect) = 0;
    virtual void resetClip() = 0;

    // Source copy of a w x h block from source (which may be this surface) at (sx, sy) to (dx, dy).
    virtual void blockCopy(int dx, int dy, int w, int h, const Surface& source, int sx, int sy) = 0;
    // The platform's 3-D edge over rect; edge from Edge, sides from Sides.
    virtual void drawEdge(const QRect& rect, unsigned edge, unsigned sides) = 0;
    // Draws a picture at its own size, or scaled to w x h when both are positive.
    virtual void drawPicture(const Picture& picture, int x, int y, int w = -1, int h = -1) = 0;
    virtual void fillRect(const QRect& rect, Colour colour) = 0;
    // One-pixel outline just inside rect.
    virtual void drawBox(const QRect& rect, Colour colour) = 0;
    // Fills everything with the background colour.
    virtual void clear() = 0;
};
