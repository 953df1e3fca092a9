// A navigation bar drawing surface backed by an image: the visible bar or its image cache.
#pragma once

#include "verticalmenu/model/Surface.h"

#include <functional>
#include <optional>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>

class ImageSurface : public Surface {
public:
    // The colours of the platform's 3-D look, taken from a palette.
    struct Colours {
        QColor face;       // button face
        QColor highlight;  // lit outer edge
        QColor light;      // lit inner edge
        QColor shadow;     // button shadow: also the bar's background
        QColor darkShadow; // the darkest edge
        QColor buttonText;

        static Colours fromPalette(const QPalette& palette);
    };

    ImageSurface();

    void setColours(const Colours& colours) { m_colours = colours; }
    const Colours& colours() const { return m_colours; }
    void setFont(const QFont& font) { m_font = font; }
    // Defaults to always visible; the widget answers for the bar it shows.
    void setVisibleProbe(std::function<bool()> probe) { m_visible = std::move(probe); }

    // Resizes, keeping the overlapping part and filling the rest with the background.
    void resize(int width, int height);
    const QImage& image() const { return m_image; }

    bool isVisible() const override;
    bool hasDeviceContext() const override { return !m_image.isNull(); }
    int width() const override { return m_image.width(); }
    int height() const override { return m_image.height(); }
    int textWidth(const QString& text) const override;
    int textHeight(const QString& text) const override;
    void setTextColour(Colour colour) override { m_textColour = colour; }
    void setTextPosition(int x, int y) override;
    void print(const QString& text) override;
    void setClip(const QRect& rect) override { m_clip = rect; }
    void resetClip() override { m_clip.reset(); }
    void blockCopy(int dx, int dy, int w, int h, const Surface& source, int sx, int sy) override;
    void drawEdge(const QRect& rect, unsigned edge, unsigned sides) override;
    void drawPicture(const Picture& picture, int x, int y, int w = -1, int h = -1) override;
    void fillRect(const QRect& rect, Colour colour) override;
    void drawBox(const QRect& rect, Colour colour) override;
    void clear() override;

    QColor colour(Colour colour) const;

private:
    QImage m_image;
    Colours m_colours;
    QFont m_font;
    Colour m_textColour = Colour::ButtonText;
    int m_textX = 0;
    int m_textY = 0;
    std::optional<QRect> m_clip;
    std::function<bool()> m_visible;
};
