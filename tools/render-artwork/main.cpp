// render-artwork: renders SVG artwork at its own pixel size into BMP or PNG files.
#include "bmpwriter.h"
#include "contactsheet.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

void usage()
{
    std::fputs("usage: render-artwork [--bpp 24|32] [--size N] IN.svg OUT.{bmp,png} [...]\n"
               "       render-artwork --sheet IMGLST_DIR ICON_DIR OUT.png\n"
               "Options apply to the pair that follows them. A BMP is opaque (24 bits unless\n"
               "--bpp 32); a PNG keeps the alpha channel. --size renders a square of N pixels\n"
               "instead of the SVG's own size.\n",
               stderr);
}

struct Job
{
    QString in;
    QString out;
    int bpp = 24;
    int size = 0;
};

bool render(const Job &job)
{
    QSvgRenderer svg(job.in);
    if (!svg.isValid()) {
        std::fprintf(stderr, "render-artwork: %s: not a valid SVG file\n", qPrintable(job.in));
        return false;
    }
    const QSize size = job.size > 0 ? QSize(job.size, job.size) : svg.defaultSize();
    if (size.isEmpty()) {
        std::fprintf(stderr, "render-artwork: %s: the SVG has no size\n", qPrintable(job.in));
        return false;
    }
    const bool asBmp = QFileInfo(job.out).suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    // a bitmap of the image list is shown without transparency: render it on black
    image.fill(asBmp ? Qt::black : Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    const bool ok = asBmp ? bmp::write(image, job.bpp, job.out) : image.save(job.out, "PNG");
    if (!ok) std::fprintf(stderr, "render-artwork: cannot write %s\n", qPrintable(job.out));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    // rendering needs no display; a build machine usually has none
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    if (!args.isEmpty() && args.first() == QLatin1String("--sheet")) {
        if (args.size() != 4) {
            usage();
            return 2;
        }
        return sheet::write(args.at(1), args.at(2), args.at(3)) ? 0 : 1;
    }

    QList<Job> jobs;
    Job next;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--bpp") || a == QLatin1String("--size")) {
            bool ok = false;
            const int value = i + 1 < args.size() ? args.at(i + 1).toInt(&ok) : 0;
            if (!ok || (a == QLatin1String("--bpp") ? (value != 24 && value != 32) : value <= 0)) {
                usage();
                return 2;
            }
            (a == QLatin1String("--bpp") ? next.bpp : next.size) = value;
            ++i;
        } else if (i + 1 < args.size() && !a.startsWith(QLatin1String("--"))) {
            next.in = a;
            next.out = args.at(i + 1);
            jobs.append(next);
            next = Job();
            ++i;
        } else {
            usage();
            return 2;
        }
    }
    if (jobs.isEmpty()) {
        usage();
        return 2;
    }
    bool ok = true;
    for (const Job &job : jobs)
        ok = render(job) && ok;
    return ok ? 0 : 1;
}
