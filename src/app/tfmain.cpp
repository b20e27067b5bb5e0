// TfMain: creation and destruction, the controls at their fixed places, the image list and the status
// display.
#include "app/tfmain.h"

#include "devices/serialport.h"
#include "lang/applylanguage.h"
#include "lang/widgets.h"
#include "monitor/powerstates.h"
#include "platform/tray_icon.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {

const char *const kTag = "tag";

// The display's lines are a fixed 17 px apart, so all nine fit its 163 px
// whatever the metrics of the faces that stand in for Courier and for the
// Chinese glyphs (a plain-text edit would ignore a fixed line height).
constexpr int kDisplayLineHeight = 17;

QString BuiltInDisplayText()
{
    const QStringList lines{
        QStringLiteral("    Kestrava ver 1.9"),
        QString(31, QLatin1Char('=')),
        QString(),
        QStringLiteral("> 监控端口:COM1"),
        QStringLiteral("> UPS设备未联接"),
        QStringLiteral("> "),
        QString(),
        QString(31, QLatin1Char('-')),
        QString(), // the features line
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TfMain::TfMain(MainWindowDeps deps, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      deps_(std::move(deps))
{
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("fMain"));
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls();
    CreateTrayMenu();
    tmSec.setObjectName(QStringLiteral("tmSec"));
    tmSec.setInterval(1000);
    connect(&tmSec, &QTimer::timeout, this, [this] { Guarded([this] { tmSecTimer(); }); });
    Guarded([this] { FormCreate(); });
}

TfMain::~TfMain()
{
    FormDestroy();
    // The links, alerts and states go before the database and the controls
    // they refer to.
    parts_.reset();
}

void TfMain::FormCreate()
{
    ApplyLanguage(this);
    pendingShow_ = false;
    StartMonitor();
}

void TfMain::FormDestroy()
{
    tmSec.stop();
    SerialPort *port = parts_ ? parts_->Port() : nullptr;
    if (port && port->Connected()) {
        try {
            port->SetConnected(false);
        } catch (const std::exception &) {
            // the port is going away with the program; nothing is left to tell
        }
    }
    deps_.tray.Remove();
}

void TfMain::CreateControls()
{
    auto image = [this](const char *name, QRect geometry, int tag, Qt::CursorShape cursor,
                        const QString &hint) {
        auto *control = new ImageControl(this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(geometry);
        control->setProperty(kTag, tag);
        control->setCursor(cursor);
        control->setToolTip(hint);
        return control;
    };

    // Created first, so it lies under all the others.
    imgBackground = image("imgBackground", QRect(0, 0, 784, 538), -1, Qt::ArrowCursor, QString());

    lDP = new QLabel(QStringLiteral("8"), this);
    lDP->setObjectName(QStringLiteral("lDP"));
    lDP->setGeometry(400, 275, 13, 13);
    QFont dpFont(QStringLiteral("Wingdings 2"));
    dpFont.setPixelSize(11);
    lDP->setFont(dpFont);
    lDP->setAutoFillBackground(true);
    QPalette dpPalette = lDP->palette();
    dpPalette.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    dpPalette.setColor(QPalette::Window, palette().color(QPalette::Dark));
    lDP->setPalette(dpPalette);
    // releasing the mouse here does nothing (EggsInto)

    iconx = image("iconx", QRect(48, 144, 32, 32), -1, Qt::ArrowCursor, QString());
    iconx->setPicture(deps_.linkDownIcon.pixmap(32, 32).toImage());
    iconx->hide();

    imgLogo = image("imgLogo", QRect(0, 0, 480, 80), -1, Qt::ArrowCursor, QString());
    imgSettings =
        image("imgSettings", QRect(670, 50, 100, 100), 2, Qt::PointingHandCursor, QStringLiteral("设置"));
    imgCloseFiles = image("imgCloseFiles", QRect(674, 170, 100, 100), 4, Qt::PointingHandCursor,
                          QStringLiteral("关机日志"));
    imgLogFiles = image("imgLogFiles", QRect(633, 291, 100, 100), 6, Qt::PointingHandCursor,
                        QStringLiteral("UPS工作事件日志"));
    imgAbout =
        image("imgAbout", QRect(627, 410, 100, 100), 8, Qt::PointingHandCursor, QStringLiteral("关于"));
    imgClock = image("imgClock", QRect(464, 405, 100, 100), 10, Qt::CrossCursor, QStringLiteral("时间显示"));

    lDigClk = new QLabel(QStringLiteral("1 day 12:12"), imgClock);
    lDigClk->setObjectName(QStringLiteral("lDigClk"));
    lDigClk->setGeometry(0, 81, 100, 17);
    lDigClk->setAlignment(Qt::AlignCenter);
    lDigClk->setAttribute(Qt::WA_TranslucentBackground);
    lDigClk->setAutoFillBackground(false);
    QFont clockFont(QStringLiteral("Verdana"));
    clockFont.setPixelSize(14);
    clockFont.setBold(true);
    lDigClk->setFont(clockFont);

    imgBat = image("imgBat", QRect(551, 152, 100, 100), 12, Qt::CrossCursor, QStringLiteral("UPS电池状态"));
    imgAC = image("imgAC", QRect(490, 267, 100, 100), 16, Qt::CrossCursor, QStringLiteral("市电输入状态"));
    imgCon = image("imgCon", QRect(31, 364, 136, 136), 20, Qt::CrossCursor, QStringLiteral("设备未连接!"));

    display = new QTextEdit(this);
    display->setObjectName(QStringLiteral("display"));
    display->setGeometry(160, 107, 254, 163);
    display->setReadOnly(true);
    display->setLineWrapMode(QTextEdit::NoWrap);
    display->setAcceptRichText(false);
    display->setFrameShape(QFrame::NoFrame);
    display->setFocusPolicy(Qt::ClickFocus);
    display->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    display->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    display->viewport()->setCursor(Qt::IBeamCursor);
    QFont mono;
    mono.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("Noto Sans Mono CJK SC")});
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(16);
    display->setFont(mono);
    QPalette displayPalette = display->palette();
    displayPalette.setColor(QPalette::Base, Qt::black);
    displayPalette.setColor(QPalette::Text, Qt::white);
    display->setPalette(displayPalette);
    display->document()->setDocumentMargin(2);
    display->setPlainText(BuiltInDisplayText());
    QTextCursor all(display->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat spacing;
    spacing.setLineHeight(kDisplayLineHeight, QTextBlockFormat::FixedHeight);
    all.mergeBlockFormat(spacing);

    for (ImageControl *button : {imgSettings, imgCloseFiles, imgLogFiles, imgAbout}) {
        connect(button, &ImageControl::mouseEntered, this, [this, button] { ImgMouseEnter(button); });
        connect(button, &ImageControl::mouseLeft, this, [this, button] { ImgMouseLeave(button); });
    }
    connect(imgSettings, &ImageControl::clicked, this, [this] { Guarded([this] { Settings(); }); });
    connect(imgCloseFiles, &ImageControl::clicked, this, [this] { Guarded([this] { CloseFiles(); }); });
    connect(imgLogFiles, &ImageControl::clicked, this, [this] { Guarded([this] { LogFiles(); }); });
    connect(imgAbout, &ImageControl::clicked, this, [this] { Guarded([this] { About(); }); });
}

void TfMain::LoadArtwork()
{
    // Row n (in ascending IMGID order) is image n; a row that does not decode
    // stays in the list as an empty picture, so the later rows keep their index.
    imgLst.clear();
    RecordSet &rows = db.tImgLst;
    rows.first();
    QByteArray buffer;
    while (!rows.eof()) {
        buffer = rows.asBytes(QStringLiteral("imgdat"));
        QImage picture;
        picture.loadFromData(buffer, "BMP");
        imgLst.append(picture);
        rows.next();
    }

    imgLogo->setPicture(Image(0));
    imgBackground->setPicture(Image(1));
    for (ImageControl *control :
         {imgSettings, imgCloseFiles, imgLogFiles, imgAbout, imgClock, imgBat, imgAC, imgCon})
        control->setPicture(Image(control->property(kTag).toInt()));
}

QImage TfMain::Image(int index) const
{
    if (index < 0 || index >= imgLst.size()) return QImage();
    return imgLst.at(index);
}

QString TfMain::DisplayLine(int line) const
{
    const QTextBlock block = display->document()->findBlockByNumber(line);
    return block.isValid() ? block.text() : QString();
}

void TfMain::SetDisplayLine(int line, const QString &text)
{
    if (line < 0 || line >= kDisplayLines) return;
    const QTextBlock block = display->document()->findBlockByNumber(line);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    // One line stays one line: a line break in the text would shift the rest.
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    cursor.insertText(flat);
}

ImageControl *TfMain::StateImageControl(StateImage which) const
{
    switch (which) {
    case StateImage::Mains:
        return imgAC;
    case StateImage::Battery:
        return imgBat;
    case StateImage::Link:
        return imgCon;
    }
    return nullptr;
}

void TfMain::SetStateImage(StateImage which, int index)
{
    if (ImageControl *control = StateImageControl(which)) control->setPicture(Image(index));
}

void TfMain::SetStateHint(StateImage which, const QString &hint)
{
    if (ImageControl *control = StateImageControl(which)) control->setToolTip(hint);
}

void TfMain::ImgMouseEnter(ImageControl *image)
{
    image->setPicture(Image(image->property(kTag).toInt() + 1));
}

void TfMain::ImgMouseLeave(ImageControl *image)
{
    image->setPicture(Image(image->property(kTag).toInt()));
}

uint8_t TfMain::LinkState() const
{
    PowerStates *states = parts_ ? parts_->States() : nullptr;
    return states ? states->LinkState() : UpsState::Unknown;
}
