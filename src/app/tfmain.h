// TfMain: the skinned main window, its tray icon and menu, the clock, the status display and the dialog
// openers.
#pragma once

#include "alerts/shutdownhost.h"
#include "app/monitorparts.h"
#include "dialogs/settingshost.h"
#include "monitor/statusview.h"
#include "store/appdatabase.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class Clock;
class ImageControl;
class MessageBoxes;
class QAction;
class QLabel;
class QMenu;
class QTextEdit;
class ShellOpen;
class SingleInstance;
class TrayIcon;

// Creates a dialog owned by the main window, the first time it is opened.
using DialogFactory = std::function<QDialog *(QWidget *owner)>;

// The product name: every message box's caption, the tray tip, the title of
// the application.
inline const QString kProductName = QStringLiteral("Kestrava");

struct MainWindowDeps
{
    // The program's folder, ending in '/': the database and the help files.
    QString programFolder;
    MessageBoxes &boxes;
    TrayIcon &tray;
    ShellOpen &shell;
    const Clock &clock;
    QIcon programIcon{};
    QIcon linkDownIcon{};
    // Empty: a window without links (states stay Unknown).
    MonitorFactory makeMonitor{};
    // Empty: the opener does nothing. The About box has a built-in default.
    DialogFactory makeSettings{};
    DialogFactory makeCloseFiles{};
    DialogFactory makeLogFiles{};
    DialogFactory makeAbout{};
    // The first tick's import of the auto-save program's record; may be empty.
    std::function<void(TfMain &)> importShutdownFiles{};
    // Ends the program once the quit question is answered Yes; empty: the
    // application's event loop is left.
    std::function<void()> endProgram{};
};

// Created hidden; the first clock tick shows it when PendingShow is set. A
// window whose database could not be opened says so (StartFailed) and is
// never shown; the caller ends the program.
class TfMain : public QWidget, public StatusView, public ShutdownHost, public SettingsHost
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 784;
    static constexpr int kClientHeight = 532;
    static constexpr int kDisplayLines = 9;
    // Window-menu commands as the minimise and close actions arrive.
    static constexpr int SC_MINIMIZE = 0xF020;
    static constexpr int SC_CLOSE = 0xF060;

    explicit TfMain(MainWindowDeps deps, QWidget *parent = nullptr);
    ~TfMain() override;

    bool StartFailed() const { return startFailed_; }
    bool PendingShow() const { return pendingShow_; }
    void SetPendingShow(bool on) { pendingShow_ = on; }
    int ClockOnceMarker() const { return clockOnceMarker_; }
    MonitorParts *Parts() const { return parts_.get(); }
    uint8_t LinkState() const;

    // Image n of the image list, or an empty picture past its end (a table
    // with fewer rows than the window addresses shows nothing there).
    QImage Image(int index) const;
    QString DisplayLine(int line) const;

    // Start-up and way out.
    void ApplyDisplaySettings() override;
    // Link selection again (the settings dialog after OK).
    void SelectLink() override;
    void tmSecTimer();
    void Quit();

    // Tray, menu and window commands.
    void AddIconToTray();
    void pmShowHideClick();
    void ShowRequestHandler();
    void SysCommandHandler(int command);
    void TaryPopMenuPopup();
    void ConnectShowRequests(SingleInstance &instance);

    // Openers and pictures.
    void Settings();
    void CloseFiles();
    void LogFiles();
    void About();
    void H1Click();
    void ImgMouseEnter(ImageControl *image);
    void ImgMouseLeave(ImageControl *image);
    QDialog *SettingsDialog() const { return fSettings_; }
    QDialog *CloseFilesDialog() const { return fCloseFiles_; }
    QDialog *LogFilesDialog() const { return fLogFiles_; }
    QDialog *AboutDialog() const { return fAbout_; }

    // StatusView
    void SetDisplayLine(int line, const QString &text) override;
    void SetStateImage(StateImage which, int index) override;
    void SetStateHint(StateImage which, const QString &hint) override;
    void RefreshTrayIcon() override;

    // ShutdownHost
    void SetClockText(const QString &text) override;
    void HideMainWindow() override;
    void StopClockAndRemoveTray() override;
    void PowerOffUps(const QString &scope) override;

    // Owned for the whole run; declared before the parts that read it.
    AppDatabase db;
    QList<QImage> imgLst;

    ImageControl *imgBackground;
    QLabel *lDP;
    ImageControl *iconx;
    ImageControl *imgLogo;
    ImageControl *imgSettings;
    ImageControl *imgCloseFiles;
    ImageControl *imgLogFiles;
    ImageControl *imgAbout;
    ImageControl *imgClock;
    QLabel *lDigClk;
    ImageControl *imgBat;
    ImageControl *imgAC;
    ImageControl *imgCon;
    QTextEdit *display;
    QMenu *TaryPopMenu;
    QAction *N2;
    QAction *N3;
    QAction *N4;
    QAction *A1;
    QAction *N5;
    QAction *pmShowHide;
    QAction *N1;
    QAction *pmExit;
    QAction *H1;
    QTimer tmSec;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void FormShow();
    void StartMonitor();
    void CreateControls();
    void CreateTrayMenu();
    void LoadArtwork();
    void SetStayOnTop(bool on);
    void SetWindowFlagKeepingVisibility(Qt::WindowType flag, bool on);
    ImageControl *StateImageControl(StateImage which) const;
    void OpenDialog(QPointer<QDialog> &dialog, const DialogFactory &factory);
    // The framework's standard error report: a box, and the program goes on.
    void ReportError(const std::exception &error);
    void Guarded(const std::function<void()> &handler);

    MainWindowDeps deps_;
    std::unique_ptr<MonitorParts> parts_;
    bool startFailed_ = false;
    bool pendingShow_ = false;
    bool centred_ = false;
    int clockOnceMarker_ = 0;
    QPointer<QDialog> fSettings_;
    QPointer<QDialog> fCloseFiles_;
    QPointer<QDialog> fLogFiles_;
    QPointer<QDialog> fAbout_;
};
