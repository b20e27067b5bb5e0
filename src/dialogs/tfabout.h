// TfAbout: the About box with the logo band, the program's name and its version.
#pragma once

#include <QDialog>
#include <QImage>

#include <functional>

class ImageControl;
class QLabel;
class QPushButton;

class TfAbout : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 480;
    static constexpr int kClientHeight = 170;
    // What precedes the version in the name label: name, eight blanks, "Ver: ".
    static const QString kNamePrefix;

    // logo gives the main window's image 0 at each opening (an empty picture
    // leaves the band empty); version is the program's file version, empty
    // when it cannot be read (the label then keeps its own text).
    explicit TfAbout(std::function<QImage()> logo, QWidget *parent = nullptr,
                     const QString &version = QStringLiteral(KESTRAVA_VERSION));

    // Runs at every opening.
    void FormActivate();

    ImageControl *imgLogo;
    QLabel *appname;
    QPushButton *Button1;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate(const QString &version);

    std::function<QImage()> logo_;
    bool centred_ = false;
};
