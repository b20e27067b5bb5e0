// TfAbout: the About box with the logo band, the program's name and its version.
#include "dialogs/tfabout.h"

#include "lang/applylanguage.h"
#include "lang/widgets.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

// The logo band: the picture stretched over the whole control.
class StretchedImage : public ImageControl
{
public:
    using ImageControl::ImageControl;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (picture().isNull()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture());
    }
};

} // namespace

const QString TfAbout::kNamePrefix = QStringLiteral("Kestrava        Ver: ");

TfAbout::TfAbout(std::function<QImage()> logo, QWidget *parent, const QString &version)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), logo_(std::move(logo))
{
    setObjectName(QStringLiteral("fAbout"));
    setWindowTitle(QStringLiteral("fAbout"));
    setFixedSize(kClientWidth, kClientHeight);

    imgLogo = new StretchedImage(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(0, 0, kClientWidth, 80);

    appname = new QLabel(QStringLiteral("Appname"), this);
    appname->setObjectName(QStringLiteral("appname"));
    appname->setGeometry(24, 92, kClientWidth - 48, 24);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((kClientWidth - 90) / 2, 128, 90, 28);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(version);
}

void TfAbout::FormCreate(const QString &version)
{
    ApplyLanguage(this);
    if (!version.isEmpty()) appname->setText(version);
    appname->setText(kNamePrefix + appname->text());
    setWindowTitle(windowTitle() + QLatin1Char(' ') + appname->text());
}

void TfAbout::FormActivate()
{
    const QImage picture = logo_ ? logo_() : QImage();
    if (!picture.isNull()) imgLogo->setPicture(picture);
}

void TfAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!centred_) {
        centred_ = true;
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    FormActivate();
}
