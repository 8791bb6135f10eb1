// Draws Tarnwick's toolbar and navigation images into PNG files (48 and 24 pixels), so that they
// share one palette and one stroke width. Run it again after changing a drawing:
//   make -C build make_icons && build/resources/icons/make_icons resources/icons
// With --application FOLDER it draws the program's own icon instead, as FOLDER/tarnwick-N.png for
// each size a desktop's icon theme looks for; the build does that itself.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

const QColor kInk(44, 74, 112);      // outlines
const QColor kPaper(250, 251, 253);  // page fill
const QColor kBlue(59, 110, 165);
const QColor kGreen(46, 158, 68);
const QColor kAmber(232, 160, 36);

using Drawing = std::function<void(QPainter&)>;

QPen Outline() {
    QPen pen(kInk, 2.2);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void Page(QPainter& p) {
    QPainterPath page;
    page.moveTo(11, 5);
    page.lineTo(29, 5);
    page.lineTo(37, 13);
    page.lineTo(37, 43);
    page.lineTo(11, 43);
    page.closeSubpath();
    p.setPen(Outline());
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawLine(QPointF(29, 5), QPointF(29, 13));
    p.drawLine(QPointF(29, 13), QPointF(37, 13));
}

void Badge(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(35, 35), 9, 9);
}

void Folder(QPainter& p) {
    QPainterPath back;
    back.moveTo(5, 13);
    back.lineTo(17, 13);
    back.lineTo(21, 17);
    back.lineTo(43, 17);
    back.lineTo(43, 39);
    back.lineTo(5, 39);
    back.closeSubpath();
    p.setPen(Outline());
    p.setBrush(kAmber);
    p.drawPath(back);
    p.setBrush(kAmber.lighter(125));
    p.drawRect(QRectF(5, 21, 38, 18));
}

void Box(QPainter& p) {
    p.setPen(Outline());
    p.setBrush(kBlue.lighter(170));
    p.drawRoundedRect(QRectF(8, 26, 32, 17), 2, 2);
    p.drawLine(QPointF(17, 32), QPointF(31, 32));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    QPen pen(colour, 4.5);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(from, to);
    const QPointF direction = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF side(-direction.y(), direction.x());
    p.drawLine(to, to - direction * 7 + side * 7);
    p.drawLine(to, to - direction * 7 - side * 7);
}

const std::vector<std::pair<const char*, Drawing>> kIcons = {
    {"new",
     [](QPainter& p) {
         Page(p);
         Badge(p, kGreen);
         p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
         p.drawLine(QPointF(35, 30), QPointF(35, 40));
         p.drawLine(QPointF(30, 35), QPointF(40, 35));
     }},
    {"open", [](QPainter& p) { Folder(p); }},
    {"backup",
     [](QPainter& p) {
         Box(p);
         Arrow(p, QPointF(24, 4), QPointF(24, 24), kGreen);
     }},
    {"restore",
     [](QPainter& p) {
         Box(p);
         Arrow(p, QPointF(24, 24), QPointF(24, 4), kBlue);
     }},
    {"refresh",
     [](QPainter& p) {
         QPen pen(kBlue, 4.5, Qt::SolidLine, Qt::RoundCap);
         p.setPen(pen);
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(9, 9, 30, 30), 60 * 16, 250 * 16);
         const QPointF tip(33.5, 11);
         p.drawLine(tip, tip + QPointF(-8, -1));
         p.drawLine(tip, tip + QPointF(-1, 8));
     }},
    {"help",
     [](QPainter& p) {
         p.setPen(Outline());
         p.setBrush(kBlue);
         p.drawEllipse(QPointF(24, 24), 18, 18);
         QFont font(QStringLiteral("DejaVu Sans"));
         font.setPixelSize(26);
         font.setBold(true);
         p.setFont(font);
         p.setPen(Qt::white);
         p.drawText(QRectF(6, 6, 36, 36), Qt::AlignCenter, QStringLiteral("?"));
     }},
    {"folders", [](QPainter& p) { Folder(p); }},
    {"calendar",
     [](QPainter& p) {
         p.setPen(Outline());
         p.setBrush(kPaper);
         p.drawRoundedRect(QRectF(6, 9, 36, 33), 3, 3);
         p.setBrush(kBlue);
         p.drawRect(QRectF(6, 9, 36, 9));
         p.setPen(Qt::NoPen);
         p.setBrush(kInk);
         for (int row = 0; row < 3; ++row) {
             for (int column = 0; column < 4; ++column) {
                 p.drawRect(QRectF(11 + column * 8, 22 + row * 6, 4, 3));
             }
         }
     }},
};

// The program's icon: the archive box taking in a file, on a tile that stays readable at 16 pixels.
void Application(QPainter& p) {
    QLinearGradient tile(0, 2, 0, 46);
    tile.setColorAt(0, kBlue.lighter(115));
    tile.setColorAt(1, kInk);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    QPen edge(kInk.darker(130), 2.4);
    edge.setJoinStyle(Qt::RoundJoin);
    p.setPen(edge);
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(9, 25, 30, 15), 2, 2);
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(7, 20, 34, 7), 2, 2);
    p.drawLine(QPointF(19, 32), QPointF(29, 32));
    Arrow(p, QPointF(24, 5), QPointF(24, 19), kGreen.lighter(125));
}

bool Save(const QString& folder, const char* name, int size, const Drawing& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);
    draw(painter);
    painter.end();
    return image.save(folder + u'/' + QString::fromLatin1(name) + u'-' + QString::number(size) +
                      QStringLiteral(".png"));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--application")) {
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            if (!Save(arguments[2], "tarnwick", size, Application)) {
                return 1;
            }
        }
        return 0;
    }
    const QString folder = arguments.size() > 1 ? arguments[1] : QStringLiteral(".");
    for (const auto& [name, draw] : kIcons) {
        for (const int size : {48, 24}) {
            if (!Save(folder, name, size, draw)) {
                return 1;
            }
        }
    }
    return 0;
}
