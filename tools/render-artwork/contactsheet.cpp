// Contact sheet: every rendered image plus mock-ups of the windows built from them.
#include "contactsheet.h"

#include <QDir>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>

#include <cstdio>

namespace {

constexpr int imageCount = 34;
constexpr int margin = 24;
const QColor paper(0xEC, 0xEE, 0xF1);
const QColor ink(0x30, 0x36, 0x40);

// One main-window picture control: its image slot and place in the client area.
struct Control
{
    int slot;
    int x;
    int y;
};

// The pictures shown by the main window in one situation.
struct MainLook
{
    QString title;
    QList<Control> controls;
    QString clockText;
    QColor clockColour;
    QStringList lines;
};

void label(QPainter &p, int x, int y, const QString &text, int px = 13, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QPoint(x, y), text);
}

void drawMainWindow(QPainter &p, const QList<QImage> &img, QPoint at, const MainLook &look)
{
    label(p, at.x(), at.y() - 8, look.title, 15, true);
    p.save();
    p.translate(at);
    p.setClipRect(0, 0, 784, 532); // the client area hides the background's last rows
    p.drawImage(0, 0, img[1]);
    for (const Control &c : look.controls)
        p.drawImage(c.x, c.y, img[c.slot]);
    // the text display, drawn by the program itself
    p.fillRect(160, 107, 254, 163, Qt::black);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(13);
    p.setFont(mono);
    p.setPen(Qt::white);
    for (int i = 0; i < look.lines.size(); ++i)
        p.drawText(QPoint(163, 107 + 16 + i * 17), look.lines.at(i));
    // the small indicator label beside the display
    p.fillRect(400, 275, 13, 13, QColor(0x80, 0x80, 0x80));
    // the clock label
    QFont clock(QStringLiteral("DejaVu Sans"));
    clock.setPixelSize(14);
    clock.setBold(true);
    p.setFont(clock);
    p.setPen(look.clockColour);
    p.drawText(QRect(464, 405 + 81, 100, 17), Qt::AlignCenter, look.clockText);
    p.restore();
    p.setPen(QPen(ink, 1));
    p.drawRect(QRect(at, QSize(784, 532)).adjusted(-1, -1, 0, 0));
}

void drawFace(QPainter &p, const QImage &face, QPoint at, bool countdown)
{
    p.save();
    p.translate(at);
    p.drawImage(0, 0, face);
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(17);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QPoint(76, (countdown ? 22 : 30) + 17), QStringLiteral("Mains power failed!"));
    if (countdown) p.drawText(QPoint(76, 54 + 17), QStringLiteral("Shutdown in 00:09:58"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(13);
    small.setBold(true);
    p.setFont(small);
    p.setPen(QColor(0, 0, 128));
    if (countdown) p.drawText(QRect(75, 88, 95, 18), Qt::AlignCenter, QStringLiteral("Cancel"));
    p.drawText(QRect(countdown ? 188 : 112, 88, 95, 18), Qt::AlignCenter, QStringLiteral("OK"));
    p.restore();
}

} // namespace

namespace sheet {

bool write(const QString &imglstDir, const QString &iconDir, const QString &outPath)
{
    QList<QImage> img;
    for (int i = 0; i < imageCount; ++i) {
        const QString path =
            QDir(imglstDir).filePath(QStringLiteral("%1.bmp").arg(i, 2, 10, QLatin1Char('0')));
        QImage image(path);
        if (image.isNull()) {
            std::fprintf(stderr, "render-artwork: cannot read %s\n", qPrintable(path));
            return false;
        }
        img.append(image);
    }

    const int width = margin * 3 + 784 * 2;
    const int height = 1900;
    QImage out(width, height, QImage::Format_RGB32);
    out.fill(paper);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QStringList normalLines = {QStringLiteral("    Kestrava ver 1.9"),
                                     QString(31, QLatin1Char('=')),
                                     QString(),
                                     QStringLiteral("> Port: USB"),
                                     QStringLiteral("> UPS connected"),
                                     QStringLiteral("> Mains normal"),
                                     QString(),
                                     QString(31, QLatin1Char('-')),
                                     QStringLiteral("Mail on, shutdown on")};
    QStringList alarmLines = normalLines;
    alarmLines[4] = QStringLiteral("> UPS not connected");
    alarmLines[5] = QStringLiteral("> Mains failed!");

    const MainLook normal{QStringLiteral("Main window: link connected, mains and battery normal"),
                          {{0, 0, 0},
                           {2, 670, 50},
                           {4, 674, 170},
                           {6, 633, 291},
                           {8, 627, 410},
                           {10, 464, 405},
                           {13, 551, 152},
                           {17, 490, 267},
                           {24, 31, 364}},
                          QStringLiteral("12:34:56"),
                          QColor(0, 128, 0),
                          normalLines};
    const MainLook alarm{
        QStringLiteral("Main window: mains failed, battery low, link lost, pointer on settings"),
        {{0, 0, 0},
         {3, 670, 50},
         {4, 674, 170},
         {6, 633, 291},
         {8, 627, 410},
         {10, 464, 405},
         {14, 551, 152},
         {18, 490, 267},
         {20, 31, 364}},
        QStringLiteral("00:09:58"),
        QColor(255, 0, 0),
        alarmLines};
    drawMainWindow(p, img, QPoint(margin, 40), normal);
    drawMainWindow(p, img, QPoint(margin * 2 + 784, 40), alarm);

    // every slot of the image list at 1:1 (the background halved), labelled with its index
    int y = 40 + 532 + 50;
    label(p, margin, y - 14, QStringLiteral("Image list, slots 0-33 (background at 50 %)"), 15, true);
    int x = margin;
    int rowHeight = 0;
    for (int i = 0; i < imageCount; ++i) {
        QImage shown =
            i == 1 ? img[i].scaled(img[i].size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation) : img[i];
        if (x + shown.width() > width - margin) {
            x = margin;
            y += rowHeight + 26;
            rowHeight = 0;
        }
        p.drawImage(x, y, shown);
        label(p, x, y + shown.height() + 14, QString::number(i));
        x += shown.width() + 12;
        rowHeight = qMax(rowHeight, shown.height());
    }
    y += rowHeight + 50;

    label(p, margin, y - 14, QStringLiteral("Warning window with its texts"), 15, true);
    drawFace(p, img[32], QPoint(margin, y), false);
    drawFace(p, img[33], QPoint(margin + 340, y), true);

    // both icons at the sizes a panel, a tray and a menu use, on a dark and on a light ground
    label(p, margin + 700, y - 14, QStringLiteral("Icons (program, link down)"), 15, true);
    const QString stems[] = {QStringLiteral("kestrava"), QStringLiteral("kestrava-link-down")};
    for (int row = 0; row < 2; ++row) {
        int ix = margin + 700;
        for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
            const QString path =
                QDir(iconDir).filePath(QStringLiteral("%1-%2.png").arg(stems[row]).arg(size));
            const QImage icon(path);
            if (icon.isNull()) {
                std::fprintf(stderr, "render-artwork: cannot read %s\n", qPrintable(path));
                return false;
            }
            const int iy = y + row * 150 + (128 - size) / 2;
            p.fillRect(ix - 4, iy - 4, size + 8, size + 8, QColor(0x2E, 0x33, 0x3B));
            p.drawImage(ix, iy, icon);
            p.drawImage(ix + size + 12, iy, icon);
            ix += size * 2 + 36;
        }
    }
    y += 150 * 2;
    p.end();
    out = out.copy(0, 0, width, qMin(height, y));
    if (!out.save(outPath, "PNG")) {
        std::fprintf(stderr, "render-artwork: cannot write %s\n", qPrintable(outPath));
        return false;
    }
    return true;
}

} // namespace sheet
