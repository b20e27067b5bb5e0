// TfMain: the dialog openers of the picture buttons and the tray menu, and the help file.
#include "app/tfmain.h"

#include "dialogs/tfabout.h"
#include "lang/messages.h"
#include "platform/message_boxes.h"
#include "platform/shell_open.h"

#include <QDialog>
#include <QFileInfo>

void TfMain::OpenDialog(QPointer<QDialog> &dialog, const DialogFactory &factory)
{
    // Created on first use and kept to the end; a dialog that is open already
    // (chosen again from the tray menu) only comes to the front.
    if (!dialog) {
        if (!factory) return;
        dialog = factory(this);
        if (!dialog) return;
    }
    if (!dialog->isVisible()) dialog->exec();
    if (dialog) {
        dialog->raise();
        dialog->activateWindow();
    }
}

void TfMain::Settings()
{
    OpenDialog(fSettings_, deps_.makeSettings);
}

void TfMain::CloseFiles()
{
    OpenDialog(fCloseFiles_, deps_.makeCloseFiles);
}

void TfMain::LogFiles()
{
    OpenDialog(fLogFiles_, deps_.makeLogFiles);
}

void TfMain::About()
{
    if (deps_.makeAbout) {
        OpenDialog(fAbout_, deps_.makeAbout);
        return;
    }
    OpenDialog(fAbout_, [this](QWidget *owner) -> QDialog * {
        return new TfAbout([this] { return Image(0); }, owner);
    });
}

void TfMain::H1Click()
{
    const QString path =
        deps_.programFolder + QStringLiteral("languages/") + CurrentLanguage() + QStringLiteral(".chm");
    if (QFileInfo(path).isFile())
        deps_.shell.Open(path);
    else
        deps_.boxes.Show(this, path + QStringLiteral(" not found!"), kProductName, mb::kOk);
}
