// Draws the domain and workstation images of the tree at 16 pixels.
#include "discovery/WorkstationIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap canvas() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Three linked screens: the network.
QIcon domainIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(40, 40, 40));
    p.drawLine(8, 5, 8, 10);
    p.drawLine(3, 10, 13, 10);
    p.drawLine(3, 10, 3, 11);
    p.drawLine(13, 10, 13, 11);
    const QRect screens[] = {QRect(5, 1, 6, 4), QRect(0, 11, 6, 4), QRect(10, 11, 6, 4)};
    for (const QRect& r : screens) {
        p.setBrush(QColor(0, 120, 170));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return QIcon(pixmap);
}

// A monitor on a stand.
QIcon pcIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(1, 1, 13, 10);
    p.setBrush(QColor(0, 120, 170));
    p.drawRect(3, 3, 9, 6);
    p.fillRect(6, 12, 4, 2, QColor(80, 80, 80));
    p.fillRect(3, 14, 10, 1, QColor(80, 80, 80));
    return QIcon(pixmap);
}

// The workstation with an amber warning sign over its lower right corner: too far behind.
QIcon behindIcon() {
    QPixmap pixmap = pcIcon().pixmap(16, 16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 60, 0), 1));
    p.setBrush(QColor(255, 176, 0));
    p.drawPolygon(QPolygonF{{11.5, 6.5}, {15.5, 15.5}, {7.5, 15.5}});
    p.setPen(QPen(QColor(40, 20, 0), 1.4));
    p.drawLine(QPointF(11.5, 9.5), QPointF(11.5, 12.5));
    p.drawPoint(QPointF(11.5, 14.2));
    return QIcon(pixmap);
}

} // namespace

QMap<QString, QIcon> workstationImageList() {
    return {{QStringLiteral("root"), domainIcon()},
            {QStringLiteral("pc"), pcIcon()},
            {QStringLiteral("pc-behind"), behindIcon()}};
}
