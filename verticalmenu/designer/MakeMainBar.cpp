// verticalmenu-makebar: draws the main window bar's icons and scroll arrows and writes the
// bar's saved design (MainBar.vmenu) with them, into the given resources folder.
#include "base/Captions.h"
#include "base/Feedback.h"
#include "verticalmenu/VerticalMenu.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

class ConsoleFeedback : public Feedback {
public:
    Answer message(const QString& text, const QString&, Icon, Buttons) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return Answer::Ok;
    }
    void beep() override {}
    std::optional<QString> saveFileName(const FileDialog&) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialog&) override { return std::nullopt; }
    bool print(QPrinter&) override { return false; }
};

const QColor kOutline(28, 30, 34);

QImage canvas(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void setUp(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kOutline, 1.2));
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

void monitor(QPainter& p, const QRectF& body) {
    p.setBrush(vertical(body, QColor(86, 92, 104), QColor(44, 48, 56)));
    p.drawRoundedRect(body, 2, 2);
    const QRectF screen = body.adjusted(2.5, 2.5, -2.5, -2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(screen, QColor(120, 200, 255), QColor(30, 110, 210)));
    p.drawRect(screen);
    p.setBrush(QColor(255, 255, 255, 70));
    QPainterPath glare;
    glare.moveTo(screen.topLeft());
    glare.lineTo(screen.left() + screen.width() * 0.6, screen.top());
    glare.lineTo(screen.left(), screen.top() + screen.height() * 0.7);
    glare.closeSubpath();
    p.drawPath(glare);
    p.setPen(QPen(kOutline, 1.2));
    const double cx = body.center().x();
    p.setBrush(QColor(70, 75, 85));
    QPolygonF stand{{cx - 3, body.bottom()},
                    {cx + 3, body.bottom()},
                    {cx + 4.5, body.bottom() + 4},
                    {cx - 4.5, body.bottom() + 4}};
    p.drawPolygon(stand);
    p.setBrush(QColor(110, 116, 128));
    p.drawRoundedRect(QRectF(cx - 8, body.bottom() + 4, 16, 3), 1.2, 1.2);
}

QImage workstations() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    monitor(p, QRectF(2.5, 3.5, 27, 19));
    return img;
}

QImage reportCriteria() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    const QRectF page(3.5, 5.5, 25, 23);
    p.setBrush(vertical(page, QColor(255, 255, 255), QColor(226, 230, 236)));
    p.drawRoundedRect(page, 2, 2);
    p.setBrush(QColor(214, 48, 49));
    p.drawRoundedRect(QRectF(3.5, 5.5, 25, 6), 2, 2);
    p.setBrush(QColor(200, 204, 210));
    for (double x : {9.0, 23.0})
        p.drawRoundedRect(QRectF(x - 1.5, 2.5, 3, 6), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 156, 168));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.drawRect(QRectF(6.5 + col * 5.2, 14 + row * 4.6, 3, 2.6));
    p.setPen(QPen(QColor(20, 140, 60), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{13, 20}, {17, 25}, {27, 13}});
    return img;
}

QImage generateReport() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    QPainterPath doc;
    doc.moveTo(6.5, 2.5);
    doc.lineTo(20.5, 2.5);
    doc.lineTo(26.5, 8.5);
    doc.lineTo(26.5, 29.5);
    doc.lineTo(6.5, 29.5);
    doc.closeSubpath();
    p.setBrush(vertical(QRectF(6, 2, 21, 28), QColor(255, 255, 255), QColor(224, 228, 234)));
    p.drawPath(doc);
    p.setBrush(QColor(200, 206, 214));
    p.drawPolygon(QPolygonF{{20.5, 2.5}, {20.5, 8.5}, {26.5, 8.5}});
    p.setPen(QPen(kOutline, 1));
    const QColor bars[] = {QColor(40, 120, 220), QColor(30, 170, 90), QColor(240, 150, 20)};
    const double heights[] = {8, 14, 11};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(bars[i]);
        p.drawRect(QRectF(9.5 + i * 5.5, 26.5 - heights[i], 4, heights[i]));
    }
    p.setPen(QPen(QColor(120, 126, 138), 1.2));
    p.drawLine(QPointF(9, 7), QPointF(17, 7));
    p.drawLine(QPointF(9, 10), QPointF(15, 10));
    return img;
}

void appWindow(QPainter& p, const QRectF& r, const QColor& title) {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(QColor(250, 250, 252));
    p.drawRect(r);
    p.setBrush(vertical(r, title.lighter(130), title));
    p.drawRect(QRectF(r.left(), r.top(), r.width(), 4.5));
}

QImage applicationGroups() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    appWindow(p, QRectF(2.5, 2.5, 17, 13), QColor(214, 48, 49));
    appWindow(p, QRectF(8.5, 9.5, 17, 13), QColor(30, 150, 80));
    appWindow(p, QRectF(13.5, 16.5, 16, 12), QColor(40, 110, 220));
    return img;
}

QImage security() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kOutline, 5.2, Qt::SolidLine, Qt::FlatCap));
    QPainterPath shackle;
    shackle.moveTo(9.5, 15);
    shackle.lineTo(9.5, 10);
    shackle.arcTo(QRectF(9.5, 3, 13, 14), 180, -180);
    shackle.lineTo(22.5, 15);
    p.drawPath(shackle);
    p.setPen(QPen(QColor(200, 206, 216), 2.8, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(shackle);
    p.setPen(QPen(kOutline, 1.2));
    const QRectF body(5.5, 14.5, 21, 15);
    p.setBrush(vertical(body, QColor(255, 214, 90), QColor(214, 146, 0)));
    p.drawRoundedRect(body, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.drawEllipse(QPointF(16, 20.5), 2.4, 2.4);
    p.drawRect(QRectF(15, 21, 2, 5));
    return img;
}

// A shield with a closed eye: what is recorded, and what is kept from view.
QImage privacy() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    QPainterPath shield;
    shield.moveTo(16, 2.5);
    shield.lineTo(27.5, 6.5);
    shield.cubicTo(27.5, 18, 23, 25, 16, 29.5);
    shield.cubicTo(9, 25, 4.5, 18, 4.5, 6.5);
    shield.closeSubpath();
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(vertical(QRectF(4.5, 2.5, 23, 27), QColor(120, 190, 255), QColor(20, 90, 190)));
    p.drawPath(shield);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    QPainterPath lid;
    lid.moveTo(9, 14);
    lid.quadTo(16, 21, 23, 14);
    p.drawPath(lid);
    for (const double x : {11.0, 16.0, 21.0})
        p.drawLine(QPointF(x, 18.2 - (x == 16.0 ? 0.8 : 0)), QPointF(x + (x - 16) * 0.2, 21.5));
    return img;
}

// A ledger page whose lines end in a chain link: the log that proves its own order.
QImage auditLog() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    const QRectF page(5.5, 2.5, 19, 26);
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(vertical(page, QColor(255, 255, 255), QColor(214, 220, 230)));
    p.drawRoundedRect(page, 1.5, 1.5);
    p.setPen(QPen(QColor(70, 90, 120), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (const double y : {8.0, 12.5, 17.0})
        p.drawLine(QPointF(9, y), QPointF(21, y));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kOutline, 3.6));
    p.drawRoundedRect(QRectF(15, 20, 8, 5.5), 2.7, 2.7);
    p.drawRoundedRect(QRectF(20, 23.5, 8, 5.5), 2.7, 2.7);
    p.setPen(QPen(QColor(255, 200, 60), 1.8));
    p.drawRoundedRect(QRectF(15, 20, 8, 5.5), 2.7, 2.7);
    p.drawRoundedRect(QRectF(20, 23.5, 8, 5.5), 2.7, 2.7);
    return img;
}

QImage scanWorkstations() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    monitor(p, QRectF(1.5, 2.5, 22, 16));
    p.setPen(QPen(kOutline, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(25, 24), QPointF(29.5, 28.5));
    p.setPen(QPen(QColor(120, 80, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(25, 24), QPointF(29.5, 28.5));
    p.setPen(QPen(kOutline, 1.4));
    p.setBrush(QColor(210, 235, 255, 190));
    p.drawEllipse(QPointF(20.5, 19.5), 6, 6);
    p.setPen(QPen(QColor(220, 225, 232), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(20.5, 19.5), 4.6, 4.6);
    return img;
}

QImage exportData() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    const QRectF side(3.5, 6.5, 17, 20);
    QLinearGradient g(side.topLeft(), side.topRight());
    g.setColorAt(0, QColor(20, 130, 150));
    g.setColorAt(0.45, QColor(90, 210, 220));
    g.setColorAt(1, QColor(16, 110, 128));
    p.setBrush(g);
    QPainterPath can;
    can.moveTo(3.5, 9.5);
    can.lineTo(3.5, 24.5);
    can.arcTo(QRectF(3.5, 21.5, 17, 6), 180, 180);
    can.lineTo(20.5, 9.5);
    can.closeSubpath();
    p.drawPath(can);
    p.setBrush(QColor(150, 230, 236));
    p.drawEllipse(QRectF(3.5, 6.5, 17, 6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 13.5, 17, 6), 180 * 16, 180 * 16);
    p.setBrush(vertical(QRectF(14, 12, 17, 14), QColor(120, 220, 90), QColor(30, 150, 40)));
    p.drawPolygon(QPolygonF{
        {14.5, 16.5}, {21.5, 16.5}, {21.5, 12.5}, {29.5, 19.5}, {21.5, 26.5}, {21.5, 22.5}, {14.5, 22.5}});
    return img;
}

// A monitor showing a pulse: how the workstations are doing.
QImage workstationHealth() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    monitor(p, QRectF(2.5, 3.5, 27, 19));
    p.setBrush(Qt::NoBrush);
    const QPolygonF pulse{{5.5, 14}, {10, 14}, {12, 9.5}, {15, 19}, {18, 7}, {20.5, 14}, {26.5, 14}};
    p.setPen(QPen(QColor(10, 60, 30), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(pulse);
    p.setPen(QPen(QColor(90, 240, 120), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(pulse);
    return img;
}

QImage onlineHelp() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    const QPointF c(16, 16);
    QRadialGradient g(QPointF(12, 11), 16);
    g.setColorAt(0, QColor(140, 210, 255));
    g.setColorAt(1, QColor(20, 90, 190));
    p.setBrush(g);
    p.drawEllipse(c, 13, 13);
    p.setPen(QPen(QColor(230, 245, 255), 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 5.5, 13);
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.drawArc(QRectF(5, 5, 22, 12), 20 * 16, 140 * 16);
    p.drawArc(QRectF(5, 15, 22, 12), 200 * 16, 140 * 16);
    p.setPen(QPen(kOutline, 1.2));
    p.drawEllipse(c, 13, 13);
    return img;
}

QImage contents() {
    QImage img = canvas(32);
    QPainter p(&img);
    setUp(p);
    p.setBrush(QColor(245, 242, 230));
    p.drawRect(QRectF(7.5, 5.5, 21, 23));
    const QRectF cover(4.5, 3.5, 21, 23);
    p.setBrush(vertical(cover, QColor(90, 130, 230), QColor(30, 60, 160)));
    p.drawRoundedRect(cover, 1.5, 1.5);
    p.setBrush(QColor(20, 40, 110));
    p.drawRect(QRectF(4.5, 3.5, 3, 23));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(7, 4, 18, 22), Qt::AlignCenter, QStringLiteral("?"));
    return img;
}

QImage arrow(bool up) {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(236, 236, 236));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 24, 24));
    if (up)
        p.drawPolygon(QPolygonF{{8, 4.5}, {12.5, 10}, {3.5, 10}});
    else
        p.drawPolygon(QPolygonF{{3.5, 6}, {12.5, 6}, {8, 11.5}});
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: verticalmenu-makebar RESOURCES_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(QStringLiteral("icons"));
    dir.mkpath(QStringLiteral("arrows"));
    arrow(true).save(dir.filePath(QStringLiteral("arrows/up.png")));
    arrow(false).save(dir.filePath(QStringLiteral("arrows/down.png")));

    struct Item {
        QString caption;
        QString file;
        QImage icon;
    };
    struct Menu {
        QString caption;
        QList<Item> items;
    };
    const QList<Menu> bar{
        {QStringLiteral("Main"),
         {{QStringLiteral("Workstations"), QStringLiteral("workstations"), workstations()},
          {QStringLiteral("Report Criteria"), QStringLiteral("report-criteria"), reportCriteria()},
          {QStringLiteral("Generate Report"), QStringLiteral("generate-report"), generateReport()}}},
        {QStringLiteral("Options"),
         {{QStringLiteral("Application Groups"), QStringLiteral("application-groups"), applicationGroups()},
          {QStringLiteral("Security"), QStringLiteral("security"), security()},
          {QStringLiteral("Privacy"), QStringLiteral("privacy"), privacy()}}},
        {QStringLiteral("Tools"),
         {{QStringLiteral("Scan Workstations"), QStringLiteral("scan-workstations"), scanWorkstations()},
          {QStringLiteral("Export Data"), QStringLiteral("export-data"), exportData()},
          {QStringLiteral("Workstation Health"), QStringLiteral("workstation-health"), workstationHealth()},
          {QStringLiteral("Audit Log"), QStringLiteral("audit-log"), auditLog()}}},
        {QStringLiteral("Help"),
         {{QStringLiteral("Online Help"), QStringLiteral("online-help"), onlineHelp()},
          {QStringLiteral("Contents"), QStringLiteral("contents"), contents()}}},
    };

    ConsoleFeedback feedback;
    VerticalMenu menu(feedback, Captions::kProduct);
    menu.setMenusMax(static_cast<int>(bar.size()));
    for (int m = 1; m <= bar.size(); ++m) {
        const Menu& wanted = bar[m - 1];
        menu.setMenuCur(m);
        menu.setMenuCaption(wanted.caption);
        menu.setMenuItemsMax(static_cast<int>(wanted.items.size()));
        for (int i = 1; i <= wanted.items.size(); ++i) {
            const Item& item = wanted.items[i - 1];
            item.icon.save(dir.filePath(QStringLiteral("icons/") + item.file + QStringLiteral(".png")));
            menu.setMenuItemCur(i);
            menu.setMenuItemCaption(item.caption);
            menu.setMenuItemIcon(item.icon);
        }
    }
    menu.setMenuCur(1);
    menu.setMenuItemCur(1);
    QString error;
    if (!menu.saveFile(dir.filePath(QStringLiteral("MainBar.vmenu")), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
