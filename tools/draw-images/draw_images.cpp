// Draws the pictures of the image lists into resources/images as PNG files.
// Run once after changing a picture (tools/draw-images.sh) and commit the
// PNGs; the program itself only loads them.
//
// Every picture is laid out on a 16-unit grid and drawn at 16 px (one unit
// per pixel) and at 32 px (two), with rectangles on whole units so that
// edges stay sharp at both sizes. Outlines are one real pixel wide.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

struct Pen {
    QPainter &p;
    double u;

    QRectF r(double x, double y, double w, double h) const { return {x * u, y * u, w * u, h * u}; }
    // The nearest unit position that falls on a whole pixel at this size.
    double snap(double v) const { return std::floor(v * u) / u; }

    void fill(double x, double y, double w, double h, const QColor &c) const { p.fillRect(r(x, y, w, h), c); }

    // A filled box with a one-pixel outline inside its area.
    void box(double x, double y, double w, double h, const QColor &fillColour, const QColor &line) const
    {
        fill(x, y, w, h, line);
        const QRectF o = r(x, y, w, h);
        p.fillRect(o.adjusted(1, 1, -1, -1), fillColour);
    }

    void ellipse(double x, double y, double w, double h, const QColor &fillColour, const QColor &line) const
    {
        p.setPen(line.isValid() ? QPen(line, 1) : Qt::NoPen);
        p.setBrush(fillColour);
        p.drawEllipse(r(x, y, w, h).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

const QColor Outline(40, 40, 48);
const QColor White(255, 255, 255);

// The frame colours tell the four terminal kinds apart.
struct Kind {
    QColor frame;
    QColor frameDark;
};
const Kind KindStandard{QColor(196, 196, 188), QColor(120, 120, 112)};
const Kind KindBlue{QColor(86, 140, 232), QColor(30, 70, 150)};
const Kind KindOrange{QColor(240, 150, 40), QColor(150, 80, 10)};
const Kind KindPurple{QColor(176, 104, 216), QColor(96, 40, 130)};

enum class Screen { LoggedIn, LoggedOut, Unconfirmed, Resting, Error, LoggedInBlue, LoggedInCheck, LoggedInWarm,
                    LoggedOutFaded, Watched };

void person(const Pen &d, double cx, double top, const QColor &c)
{
    // Head and shoulders, centred on cx.
    d.fill(cx - 1, top, 2, 2, c);
    d.fill(cx - 2, top + 2.5, 4, 2.5, c);
    d.fill(cx - 1.5, top + 2, 3, 0.5, c);
}

void question(const Pen &d, double x, double y, const QColor &c)
{
    // A question mark on a 3 x 5 grid.
    d.fill(x, y, 3, 1, c);
    d.fill(x + 2, y + 1, 1, 1, c);
    d.fill(x + 1, y + 2, 1, 1, c);
    d.fill(x + 1, y + 4, 1, 1, c);
}

void badge(const Pen &d, double x, double y, const QColor &fillColour)
{
    d.ellipse(x, y, 7, 7, fillColour, Outline);
}

void cross(const Pen &d, double x, double y)
{
    // A white X inside a 7-unit badge at (x, y).
    d.p.setPen(QPen(White, d.u * 1.3, Qt::SolidLine, Qt::SquareCap));
    d.p.drawLine(QPointF((x + 2.2) * d.u, (y + 2.2) * d.u), QPointF((x + 4.8) * d.u, (y + 4.8) * d.u));
    d.p.drawLine(QPointF((x + 4.8) * d.u, (y + 2.2) * d.u), QPointF((x + 2.2) * d.u, (y + 4.8) * d.u));
}

void check(const Pen &d, double x, double y, const QColor &c, double width)
{
    d.p.setPen(QPen(c, d.u * width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    d.p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo((x + 0) * d.u, (y + 2) * d.u);
    path.lineTo((x + 1.6) * d.u, (y + 3.6) * d.u);
    path.lineTo((x + 4.5) * d.u, (y + 0.5) * d.u);
    d.p.drawPath(path);
}

// A terminal: a monitor on a stand, its frame in the kind's colour, its
// screen telling the state.
void monitor(const Pen &d, const Kind &kind, Screen screen)
{
    QColor frame = kind.frame;
    QColor frameDark = kind.frameDark;
    d.fill(7, 11, 2, 2, frameDark);                 // neck
    d.box(3, 12.5, 10, 2.5, frame, Outline);        // foot
    d.box(0, 1, 16, 11, frame, Outline);            // frame

    const double sx = 2, sy = 3, sw = 12, sh = 7;
    // A dark bezel keeps the screen apart from a frame of the same tone;
    // at 16 px the frame has no pixel to spare for it.
    if (d.u >= 2)
        d.p.fillRect(d.r(sx, sy, sw, sh).adjusted(-1, -1, 1, 1), frameDark);
    switch (screen) {
    case Screen::LoggedIn:
        d.fill(sx, sy, sw, sh, QColor(40, 200, 70));
        person(d, 8, sy + 1, White);
        break;
    case Screen::LoggedInBlue:
        d.fill(sx, sy, sw, sh, QColor(40, 170, 240));
        person(d, 8, sy + 1, White);
        break;
    case Screen::LoggedInWarm:
        d.fill(sx, sy, sw, sh, QColor(255, 200, 40));
        person(d, 8, sy + 1, QColor(120, 60, 0));
        break;
    case Screen::LoggedInCheck:
        d.fill(sx, sy, sw, sh, QColor(40, 200, 70));
        check(d, 5.5, sy + 1.5, White, 1.6);
        break;
    case Screen::LoggedOut:
        d.fill(sx, sy, sw, sh, QColor(36, 40, 48));
        break;
    case Screen::LoggedOutFaded:
        d.fill(sx, sy, sw, sh, QColor(36, 40, 48));
        person(d, 8, sy + 1, QColor(100, 106, 118));
        break;
    case Screen::Unconfirmed:
        d.fill(sx, sy, sw, sh, QColor(214, 218, 226));
        question(d, d.snap(6.5), sy + 1, QColor(20, 40, 140));
        break;
    case Screen::Resting: {
        d.fill(sx, sy, sw, sh, QColor(30, 40, 110));
        // A crescent moon: a disc with a second, screen-coloured disc over it.
        d.ellipse(5, sy + 1, 5, 5, QColor(255, 220, 60), QColor());
        d.ellipse(6.6, sy + 0.3, 5, 5, QColor(30, 40, 110), QColor());
        d.fill(11, sy + 1, 1, 1, QColor(255, 220, 60));
        break;
    }
    case Screen::Error:
        d.fill(sx, sy, sw, sh, QColor(150, 156, 164));
        break;
    case Screen::Watched:
        d.fill(sx, sy, sw, sh, QColor(150, 156, 164));
        break;
    }
    if (screen == Screen::Error) {
        badge(d, d.snap(8.5), d.snap(6.5), QColor(220, 30, 30));
        cross(d, d.snap(8.5), d.snap(6.5));
    } else if (screen == Screen::Watched) {
        badge(d, d.snap(8.5), d.snap(6.5), QColor(30, 160, 60));
        check(d, d.snap(8.5) + 1.3, d.snap(6.5) + 1.5, White, 1.3);
    }
}

void separator(const Pen &d)
{
    // A sunken rule across the whole cell, with a dash pattern.
    d.fill(0, 7, 16, 1, QColor(110, 110, 110));
    d.fill(0, 8, 16, 1, White);
    for (int x = 1; x < 16; x += 4)
        d.fill(x, 7, 2, 1, QColor(50, 50, 50));
}

void workgroup(const Pen &d)
{
    // Three small computers on one cable.
    const QColor cable(0, 110, 110);
    d.fill(1, 14, 14, 1, cable);
    for (int i = 0; i < 3; ++i) {
        const double x = i * 5.5;
        const double y = i == 1 ? 0 : 4;
        d.fill(x + 2, y + 5, 1, 14 - (y + 5), cable);
        d.box(x, y, 5, 5, QColor(200, 236, 236), QColor(0, 90, 90));
        d.fill(x + 1, y + 1, 3, 2, QColor(0, 170, 170));
    }
}

void globe(const Pen &d)
{
    d.ellipse(0.5, 0.5, 15, 15, QColor(50, 120, 220), Outline);
    // Land.
    d.p.setPen(Qt::NoPen);
    d.p.setBrush(QColor(70, 190, 80));
    d.p.drawEllipse(d.r(3, 3, 5, 4));
    d.p.drawEllipse(d.r(8, 8, 5, 5));
    d.p.drawEllipse(d.r(9, 3, 3, 2));
    // Meridian and parallels.
    d.p.setBrush(Qt::NoBrush);
    d.p.setPen(QPen(QColor(230, 240, 255), 1));
    d.p.drawEllipse(d.r(5, 0.5, 6, 15));
    d.p.drawLine(QPointF(1 * d.u, 8 * d.u), QPointF(15 * d.u, 8 * d.u));
}

// The program's own mark: a watch dial with a sweep, on a dark tile.
void logo(const Pen &d, const QColor &tile, const QColor &sweep, bool busy)
{
    d.p.setPen(QPen(Outline, 1));
    d.p.setBrush(tile);
    d.p.drawRoundedRect(d.r(0.5, 0.5, 15, 15).adjusted(0, 0, -0.5, -0.5), 2 * d.u, 2 * d.u);
    d.ellipse(2, 2, 12, 12, QColor(10, 30, 30), QColor(140, 230, 200));
    d.ellipse(5, 5, 6, 6, QColor(), QColor(80, 170, 140));
    // The sweep: a quarter sector from twelve o'clock.
    d.p.setPen(Qt::NoPen);
    QColor fan = sweep;
    fan.setAlpha(150);
    d.p.setBrush(fan);
    d.p.drawPie(d.r(2.5, 2.5, 11, 11), 90 * 16, busy ? -140 * 16 : -60 * 16);
    d.p.setPen(QPen(sweep, d.u));
    d.p.drawLine(QPointF(8 * d.u, 8 * d.u), QPointF(8 * d.u, 2.5 * d.u));
    // A blip: a terminal found.
    d.ellipse(9.5, 9.5, 2, 2, QColor(255, 240, 80), QColor());
}

void alert(const Pen &d)
{
    d.p.setPen(QPen(Outline, 1));
    d.p.setBrush(QColor(220, 30, 30));
    d.p.drawRoundedRect(d.r(0.5, 0.5, 15, 15).adjusted(0, 0, -0.5, -0.5), 2 * d.u, 2 * d.u);
    QPainterPath tri;
    tri.moveTo(8 * d.u, 2 * d.u);
    tri.lineTo(14.5 * d.u, 14 * d.u);
    tri.lineTo(1.5 * d.u, 14 * d.u);
    tri.closeSubpath();
    d.p.setPen(QPen(Outline, 1));
    d.p.setBrush(QColor(255, 220, 40));
    d.p.drawPath(tri);
    d.fill(7, 6, 2, 4.5, Outline);
    d.fill(7, 11.5, 2, 1.5, Outline);
}

void folder(const Pen &d)
{
    // A shared folder: a folder on a network cable.
    d.fill(7, 12, 2, 2, QColor(0, 90, 170));
    d.fill(2, 14, 12, 1.5, QColor(0, 90, 170));
    d.box(0.5, 2, 6, 3, QColor(240, 190, 50), QColor(140, 90, 0));
    d.box(0.5, 4, 15, 8.5, QColor(255, 214, 90), QColor(140, 90, 0));
}

void file(const Pen &d)
{
    d.box(2.5, 0.5, 11, 15, White, Outline);
    d.fill(10.5, 0.5, 3, 3, QColor(200, 200, 200));
    for (int y = 5; y <= 12; y += 2)
        d.fill(5, y, 6, 1, QColor(100, 120, 180));
}

void logoBusy(const Pen &d) { logo(d, QColor(30, 60, 110), QColor(255, 230, 60), true); }
void logoNormal(const Pen &d) { logo(d, QColor(30, 60, 110), QColor(120, 255, 170), false); }

bool save(const QString &dir, const QString &name, int size, const std::function<void(const Pen &)> &draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const Pen d{p, size / 16.0};
        draw(d);
    }
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_images OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    using Draw = std::function<void(const Pen &)>;
    auto mon = [](const Kind &k, Screen s) { return Draw([=](const Pen &d) { monitor(d, k, s); }); };

    // The list images in index order (index + 1 is the number in the name).
    const std::vector<Draw> list = {
        mon(KindStandard, Screen::LoggedIn),       // 0
        mon(KindStandard, Screen::LoggedOut),      // 1
        mon(KindStandard, Screen::Unconfirmed),    // 2
        mon(KindStandard, Screen::Resting),        // 3
        mon(KindStandard, Screen::Error),          // 4
        workgroup,                                 // 5
        logoNormal,                                // 6 the version box
        globe,                                     // 7
        separator,                                 // 8
        mon(KindBlue, Screen::LoggedIn),           // 9
        mon(KindBlue, Screen::LoggedOut),          // 10
        mon(KindBlue, Screen::Unconfirmed),        // 11
        mon(KindOrange, Screen::LoggedIn),         // 12
        mon(KindOrange, Screen::LoggedOut),        // 13
        mon(KindOrange, Screen::Unconfirmed),      // 14
        mon(KindPurple, Screen::LoggedIn),         // 15
        mon(KindPurple, Screen::LoggedOut),        // 16
        mon(KindPurple, Screen::Unconfirmed),      // 17
        mon(KindStandard, Screen::Watched),        // 18, small only
    };
    bool ok = true;
    for (size_t i = 0; i < list.size(); ++i) {
        const QString number = QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        ok &= save(dir, QStringLiteral("SMALL") + number, 16, list[i]);
        if (i < 18)
            ok &= save(dir, QStringLiteral("LARGE") + number, 32, list[i]);
    }
    const std::vector<std::pair<QString, Draw>> variants = {
        {QStringLiteral("01A"), mon(KindStandard, Screen::LoggedInBlue)},
        {QStringLiteral("01B"), mon(KindStandard, Screen::LoggedInCheck)},
        {QStringLiteral("01C"), mon(KindStandard, Screen::LoggedInWarm)},
        {QStringLiteral("02A"), mon(KindStandard, Screen::LoggedOutFaded)},
    };
    for (const auto &[suffix, draw] : variants) {
        ok &= save(dir, QStringLiteral("SMALL") + suffix, 16, draw);
        ok &= save(dir, QStringLiteral("LARGE") + suffix, 32, draw);
    }
    ok &= save(dir, QStringLiteral("BITMAP1"), 32, logoNormal);
    ok &= save(dir, QStringLiteral("BITMAP2"), 32, logoBusy);
    ok &= save(dir, QStringLiteral("BITMAP3"), 32, alert);
    ok &= save(dir, QStringLiteral("FOLDER"), 16, folder);
    ok &= save(dir, QStringLiteral("FILE"), 16, file);
    return ok ? 0 : 1;
}
