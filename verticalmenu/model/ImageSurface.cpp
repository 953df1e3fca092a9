// Drawing on an image with QPainter, with the platform's raised and sunken edges.
#include "verticalmenu/model/ImageSurface.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
// White captions need a background at least this dark to stay legible; some palettes have a
// light button shadow.
constexpr int kMaxShadowLightness = 128;
constexpr int kMaxDarkShadowLightness = 64;

QColor notLighterThan(QColor colour, int lightness) {
    if (colour.lightness() <= lightness)
        return colour;
    const QColor hsl = colour.toHsl();
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
}
} // namespace

ImageSurface::Colours ImageSurface::Colours::fromPalette(const QPalette& palette) {
    Colours c;
    c.face = palette.color(QPalette::Active, QPalette::Button);
    c.highlight = palette.color(QPalette::Active, QPalette::Light);
    c.light = c.face;
    c.shadow = notLighterThan(palette.color(QPalette::Active, QPalette::Dark), kMaxShadowLightness);
    c.darkShadow = notLighterThan(palette.color(QPalette::Active, QPalette::Shadow), kMaxDarkShadowLightness);
    c.buttonText = palette.color(QPalette::Active, QPalette::ButtonText);
    return c;
}

ImageSurface::ImageSurface() : m_colours(Colours::fromPalette(QPalette())) {
    m_font.setPixelSize(11);
}

bool ImageSurface::isVisible() const {
    return m_visible ? m_visible() : true;
}

QColor ImageSurface::colour(Colour which) const {
    switch (which) {
    case Colour::ButtonShadow:
        return m_colours.shadow;
    case Colour::ButtonText:
        return m_colours.buttonText;
    case Colour::White:
        return Qt::white;
    }
    return m_colours.shadow;
}

void ImageSurface::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_image.width() && height == m_image.height())
        return;
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(m_colours.shadow);
    if (!m_image.isNull() && width > 0 && height > 0) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, m_image);
    }
    m_image = resized;
}

int ImageSurface::textWidth(const QString& text) const {
    return QFontMetrics(m_font).horizontalAdvance(text);
}

int ImageSurface::textHeight(const QString&) const {
    return QFontMetrics(m_font).height();
}

void ImageSurface::setTextPosition(int x, int y) {
    m_textX = x;
    m_textY = y;
}

void ImageSurface::print(const QString& text) {
    if (m_image.isNull())
        return;
    QPainter painter(&m_image);
    if (m_clip)
        painter.setClipRect(*m_clip);
    painter.setFont(m_font);
    painter.setPen(colour(m_textColour));
    painter.drawText(m_textX, m_textY + QFontMetrics(m_font).ascent(), text);
    // The next print continues on the next line, as the platform's print does.
    m_textY += textHeight(text);
}

void ImageSurface::blockCopy(int dx, int dy, int w, int h, const Surface& source, int sx, int sy) {
    if (m_image.isNull() || w <= 0 || h <= 0)
        return;
    const auto* from = dynamic_cast<const ImageSurface*>(&source);
    if (!from || from->m_image.isNull())
        return;
    // Copying through a detached piece makes overlapping copies within one surface safe.
    const QImage piece = from->m_image.copy(sx, sy, w, h);
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dx, dy, piece);
}

void ImageSurface::drawEdge(const QRect& rect, unsigned edge, unsigned sides) {
    if (m_image.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    QPainter painter(&m_image);
    QRect r = rect;
    // One ring per edge part: outer first, then inner one pixel further in.
    auto ring = [&](const QColor& topLeft, const QColor& bottomRight) {
        const int left = r.left();
        const int top = r.top();
        const int right = r.left() + r.width() - 1;
        const int bottom = r.top() + r.height() - 1;
        if (sides & Top)
            painter.fillRect(QRect(left, top, r.width(), 1), topLeft);
        if (sides & Left)
            painter.fillRect(QRect(left, top, 1, r.height()), topLeft);
        if (sides & Bottom)
            painter.fillRect(QRect(left, bottom, r.width(), 1), bottomRight);
        if (sides & Right)
            painter.fillRect(QRect(right, top, 1, r.height()), bottomRight);
        r = QRect(left + ((sides & Left) ? 1 : 0), top + ((sides & Top) ? 1 : 0),
                  r.width() - ((sides & Left) ? 1 : 0) - ((sides & Right) ? 1 : 0),
                  r.height() - ((sides & Top) ? 1 : 0) - ((sides & Bottom) ? 1 : 0));
    };
    const Colours& c = m_colours;
    if (edge & RaisedOuter)
        ring(c.light, c.darkShadow);
    else if (edge & SunkenOuter)
        ring(c.shadow, c.highlight);
    if (edge & RaisedInner)
        ring(c.highlight, c.shadow);
    else if (edge & SunkenInner)
        ring(c.darkShadow, c.light);
    if ((sides & FillMiddle) && r.isValid())
        painter.fillRect(r, c.face);
}

void ImageSurface::drawPicture(const Picture& picture, int x, int y, int w, int h) {
    if (m_image.isNull() || !picture.canConvert<QImage>())
        return;
    const QImage image = picture.value<QImage>();
    if (image.isNull())
        return;
    QPainter painter(&m_image);
    if (m_clip)
        painter.setClipRect(*m_clip);
    if (w > 0 && h > 0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(x, y, w, h), image);
    } else {
        painter.drawImage(x, y, image);
    }
}

void ImageSurface::fillRect(const QRect& rect, Colour which) {
    if (m_image.isNull())
        return;
    QPainter painter(&m_image);
    painter.fillRect(rect, colour(which));
}

void ImageSurface::drawBox(const QRect& rect, Colour which) {
    if (m_image.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    QPainter painter(&m_image);
    const QColor c = colour(which);
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), c);
    painter.fillRect(QRect(rect.left(), rect.top() + rect.height() - 1, rect.width(), 1), c);
    painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), c);
    painter.fillRect(QRect(rect.left() + rect.width() - 1, rect.top(), 1, rect.height()), c);
}

void ImageSurface::clear() {
    if (!m_image.isNull())
        m_image.fill(m_colours.shadow);
}
