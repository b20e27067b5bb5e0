// Rendered artwork: BMP format of every image-list slot, states, faces, icons, the renderer.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

const QString artworkDir = QStringLiteral(KESTRAVA_BIN_DIR "/../artwork");

QString slotPath(int slot)
{
    return artworkDir + QStringLiteral("/imglst/%1.bmp").arg(slot, 2, 10, QLatin1Char('0'));
}

QImage slotImage(int slot)
{
    QImage image(slotPath(slot));
    if (image.isNull()) ADD_FAILURE() << "cannot load " << qPrintable(slotPath(slot));
    return image.convertToFormat(QImage::Format_RGB32);
}

QSize slotSize(int slot)
{
    if (slot == 0) return {480, 80};
    if (slot == 1) return {784, 538};
    if (slot >= 32) return {320, 122};
    if (slot >= 20) return {136, 136};
    return {100, 100};
}

// The fields of the two BMP headers that a reader depends on.
struct BmpHeader
{
    qint64 fileSize = 0;
    quint32 declaredSize = 0;
    quint32 pixelOffset = 0;
    quint32 infoSize = 0;
    qint32 width = 0;
    qint32 height = 0;
    quint16 planes = 0;
    quint16 bitCount = 0;
    quint32 compression = 0;
    quint32 imageSize = 0;
};

std::optional<BmpHeader> readHeader(const QByteArray &bytes)
{
    if (bytes.size() < 54 || !bytes.startsWith("BM")) return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    BmpHeader h;
    h.fileSize = bytes.size();
    h.declaredSize = qFromLittleEndian<quint32>(p + 2);
    h.pixelOffset = qFromLittleEndian<quint32>(p + 10);
    h.infoSize = qFromLittleEndian<quint32>(p + 14);
    h.width = qFromLittleEndian<qint32>(p + 18);
    h.height = qFromLittleEndian<qint32>(p + 22);
    h.planes = qFromLittleEndian<quint16>(p + 26);
    h.bitCount = qFromLittleEndian<quint16>(p + 28);
    h.compression = qFromLittleEndian<quint32>(p + 30);
    h.imageSize = qFromLittleEndian<quint32>(p + 34);
    return h;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Pixels whose colour differs by more than a faint rendering wobble.
int differingPixels(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += channelDistance(a.pixel(x, y), b.pixel(x, y)) > 24;
    return n;
}

int strongRedPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            n += qRed(c) > 170 && qGreen(c) < 110 && qBlue(c) < 110;
        }
    return n;
}

} // namespace

TEST(ArtworkSlots, EverySlotIsAnExactBottomUpBmpOfItsSlotSize)
{
    for (int slot = 0; slot < 34; ++slot) {
        SCOPED_TRACE(qPrintable(slotPath(slot)));
        const QByteArray bytes = readAll(slotPath(slot));
        const auto h = readHeader(bytes);
        ASSERT_TRUE(h.has_value()) << "missing or not a BMP";
        const QSize size = slotSize(slot);
        // the faces of the warning window are 32-bit, the main window's pictures 24-bit
        const int bits = slot >= 32 ? 32 : 24;
        const qint64 rowBytes = (qint64(size.width()) * bits / 8 + 3) / 4 * 4;
        EXPECT_EQ(h->declaredSize, h->fileSize);
        EXPECT_EQ(h->pixelOffset, 54u);
        EXPECT_EQ(h->infoSize, 40u);
        EXPECT_EQ(h->width, size.width());
        EXPECT_EQ(h->height, size.height()); // positive: rows stored bottom-up
        EXPECT_EQ(h->planes, 1);
        EXPECT_EQ(h->bitCount, bits);
        EXPECT_EQ(h->compression, 0u);
        EXPECT_EQ(h->imageSize, rowBytes * size.height());
        EXPECT_EQ(h->fileSize, 54 + rowBytes * size.height());
        const QImage image = QImage::fromData(bytes, "BMP");
        EXPECT_EQ(image.size(), size);
    }
    EXPECT_FALSE(QFile::exists(slotPath(34))) << "the image list has exactly 34 slots";
}

TEST(ArtworkSlots, ControlPicturesJoinTheBackgroundWithoutASeam)
{
    // each picture is opaque and covers the background at its control's place,
    // so its outermost pixels must be the background's own
    struct Place
    {
        int slot;
        int left;
        int top;
    };
    const Place places[] = {
        {0, 0, 0},      {2, 670, 50},   {3, 670, 50},   {4, 674, 170},  {5, 674, 170},  {6, 633, 291},
        {7, 633, 291},  {8, 627, 410},  {9, 627, 410},  {10, 464, 405}, {12, 551, 152}, {13, 551, 152},
        {14, 551, 152}, {15, 551, 152}, {16, 490, 267}, {17, 490, 267}, {18, 490, 267}, {19, 490, 267},
        {20, 31, 364},  {24, 31, 364},  {25, 31, 364},  {26, 31, 364},  {27, 31, 364},  {28, 31, 364},
        {29, 31, 364},  {30, 31, 364},  {31, 31, 364},
    };
    const QImage background = slotImage(1);
    ASSERT_FALSE(background.isNull());
    for (const Place &p : places) {
        SCOPED_TRACE(p.slot);
        const QImage tile = slotImage(p.slot);
        ASSERT_FALSE(tile.isNull());
        int worst = 0;
        for (int y = 0; y < tile.height(); ++y)
            for (int x = 0; x < tile.width(); ++x) {
                if (x != 0 && y != 0 && x != tile.width() - 1 && y != tile.height() - 1) continue;
                worst = std::max(worst,
                                 channelDistance(tile.pixel(x, y), background.pixel(p.left + x, p.top + y)));
            }
        EXPECT_LE(worst, 3);
    }
}

TEST(ArtworkSlots, AlarmStatesAreRedAndTheirBlinkFramesClearlyDiffer)
{
    struct State
    {
        int unknown;
        int normal;
        int alarm1;
        int alarm2;
    };
    for (const State s : {State{12, 13, 14, 15}, State{16, 17, 18, 19}}) {
        SCOPED_TRACE(s.unknown);
        const QImage unknown = slotImage(s.unknown), normal = slotImage(s.normal);
        const QImage on = slotImage(s.alarm1), off = slotImage(s.alarm2);
        // the lit blink frame is unmistakably red, the quiet states are not red at all
        EXPECT_GT(strongRedPixels(on), 1500);
        EXPECT_LT(strongRedPixels(normal), 20);
        EXPECT_LT(strongRedPixels(unknown), 20);
        // the two frames differ over a large area, not in a few pixels
        EXPECT_GT(differingPixels(on, off), 1500);
        EXPECT_GT(differingPixels(unknown, normal), 500);
    }
}

TEST(ArtworkSlots, PictureButtonsChangeVisiblyUnderThePointer)
{
    for (const int normal : {2, 4, 6, 8}) {
        SCOPED_TRACE(normal);
        EXPECT_GT(differingPixels(slotImage(normal), slotImage(normal + 1)), 300);
    }
    // and the four buttons are four different pictures
    for (const int a : {2, 4, 6})
        for (int b = a + 2; b <= 8; b += 2)
            EXPECT_GT(differingPixels(slotImage(a), slotImage(b)), 300) << a << " and " << b;
}

TEST(ArtworkSlots, LinkAnimationFramesArePairwiseDifferent)
{
    QList<QImage> frames;
    for (int slot = 24; slot < 32; ++slot)
        frames.append(slotImage(slot));
    const QImage down = slotImage(20);
    for (int i = 0; i < frames.size(); ++i) {
        EXPECT_GT(differingPixels(frames[i], down), 500)
            << "frame " << i << " looks like the link-down picture";
        for (int j = i + 1; j < frames.size(); ++j)
            EXPECT_GT(differingPixels(frames[i], frames[j]), 50) << "frames " << i << " and " << j;
    }
}

TEST(ArtworkSlots, WarningFacesCarryPlatesUnderTheLabelsAndACalmTextArea)
{
    const auto isSilver = [](QRgb c) {
        return qRed(c) > 170 &&
               std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)}) < 30;
    };
    const auto isOrange = [](QRgb c) {
        return qRed(c) > 200 && qGreen(c) > 90 && qGreen(c) < 200 && qBlue(c) < 100;
    };
    const auto isBlue = [](QRgb c) {
        return qBlue(c) > qRed(c) + 40 && qBlue(c) > qGreen(c) + 20 && qRed(c) < 120;
    };
    const QImage plain = slotImage(32), countdown = slotImage(33);
    // centres of the label places: cancel at left 75, OK at 112 (plain) or 188, all 95 x 18 at top 88
    EXPECT_TRUE(isSilver(plain.pixel(112 + 47, 97)));
    // the plain look has no plate where the cancel label and the moved OK label would be
    EXPECT_FALSE(isOrange(plain.pixel(75 + 10, 97)) || isSilver(plain.pixel(75 + 10, 97)));
    EXPECT_FALSE(isSilver(plain.pixel(188 + 80, 97)));
    EXPECT_TRUE(isOrange(countdown.pixel(75 + 47, 97)));
    EXPECT_TRUE(isSilver(countdown.pixel(188 + 47, 97)));
    // the plates fill their label boxes: check each box's corners inset by the rounding
    for (const int x : {112 + 10, 112 + 85})
        EXPECT_TRUE(isSilver(plain.pixel(x, 97))) << x;
    for (const int x : {75 + 10, 75 + 85})
        EXPECT_TRUE(isOrange(countdown.pixel(x, 97))) << x;
    // white bold text goes at left 76, top 22-76: keep it a plain blue field
    for (const QImage *face : {&plain, &countdown})
        for (int y = 22; y < 76; ++y)
            for (int x = 76; x < 316; ++x)
                ASSERT_TRUE(isBlue(face->pixel(x, y))) << x << "," << y;
}

TEST(ArtworkIcons, ProgramAndLinkDownIconsAreTransparentCornerAndDiffer)
{
    for (const int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage up(artworkDir + QStringLiteral("/icons/kestrava-%1.png").arg(size));
        const QImage down(artworkDir + QStringLiteral("/icons/kestrava-link-down-%1.png").arg(size));
        ASSERT_EQ(up.size(), QSize(size, size));
        ASSERT_EQ(down.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(up.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(up.pixel(size / 2, size / 2)), 255);
        const QImage a = up.convertToFormat(QImage::Format_ARGB32),
                     b = down.convertToFormat(QImage::Format_ARGB32);
        EXPECT_GT(differingPixels(a, b), size * size / 10);
    }
}

class RenderArtwork : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // runs the renderer; its exit code, or -1 when it did not run
    int run(const QStringList &args)
    {
        QProcess p;
        p.start(artworkDir + QStringLiteral("/render-artwork"), args);
        if (!p.waitForFinished(15000)) return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString writeSvg(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }

    QTemporaryDir dir;
};

TEST_F(RenderArtwork, WritesRowsBottomUpInBgrOrderPaddedToFourBytes)
{
    // 3 x 2: a red top row over a blue bottom row; 3 pixels of 3 bytes need 3 bytes of padding
    const QString svg =
        writeSvg(QStringLiteral("rows.svg"),
                 "<svg xmlns='http://www.w3.org/2000/svg' width='3' height='2' viewBox='0 0 3 2'>"
                 "<rect width='3' height='1' fill='#ff0000'/>"
                 "<rect y='1' width='3' height='1' fill='#0000ff'/></svg>");
    ASSERT_EQ(run({svg, dir.filePath("rows24.bmp"), "--bpp", "32", svg, dir.filePath("rows32.bmp")}), 0);

    const QByteArray b24 = readAll(dir.filePath("rows24.bmp"));
    ASSERT_EQ(b24.size(), 54 + 2 * 12);
    const QByteArray blue24("\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\x00\x00\x00", 12);
    const QByteArray red24("\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\x00", 12);
    EXPECT_EQ(b24.mid(54, 12), blue24);
    EXPECT_EQ(b24.mid(66, 12), red24);
    EXPECT_EQ(readHeader(b24)->bitCount, 24);

    const QByteArray b32 = readAll(dir.filePath("rows32.bmp"));
    ASSERT_EQ(b32.size(), 54 + 2 * 12);
    EXPECT_EQ(readHeader(b32)->bitCount, 32);
    EXPECT_EQ(b32.mid(54, 4), QByteArray("\xFF\x00\x00\xFF", 4));
    EXPECT_EQ(b32.mid(66, 4), QByteArray("\x00\x00\xFF\xFF", 4));

    // and Qt's own reader agrees about which row is on top
    const QImage back(dir.filePath("rows24.bmp"));
    EXPECT_EQ(back.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(back.pixel(1, 1), qRgb(0, 0, 255));
}

TEST_F(RenderArtwork, FailsWithoutOutputOnBadInput)
{
    const QString broken = writeSvg(QStringLiteral("broken.svg"), "<svg xmlns='http://www.w3.org/2000/svg'");
    EXPECT_NE(run({broken, dir.filePath("broken.bmp")}), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("broken.bmp")));
    EXPECT_NE(run({dir.filePath("absent.svg"), dir.filePath("absent.bmp")}), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("absent.bmp")));
    const QString fine =
        writeSvg(QStringLiteral("fine.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='2' "
                                             "height='2'><rect width='2' height='2'/></svg>");
    EXPECT_EQ(run({"--bpp", "16", fine, dir.filePath("fine.bmp")}), 2) << "only 24 and 32 bits are written";
    EXPECT_EQ(run({fine}), 2);
}
