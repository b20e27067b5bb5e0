// The message catalogue: the program's own named texts, loaded from the language file.
#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Every text the program shows, logs or mails in its own words (window
// captions aside). Members are named as the keys of section "MESSAGES".
struct MessageCatalogue
{
    QString msgAlreadyRun;
    QString msgMonStart;
    QString msgVCT1;
    QString msgVCT2;
    QString msgVCT3;
    QString msgVCT4;
    QString msgVCT5;
    QString msgOpenCOMFail;
    QString msgMenuShowHide1;
    QString msgMenuShowHide2;
    QString msgConfirmQuit;
    QString msgMonQuit;
    QString msgacsate1;
    QString msgacsate2;
    QString msgbatsate;
    QString msgconstate1;
    QString msgconstate2;
    QString msgUPSShutdown;
    QString msgUSBWriteErr;
    QString msgNoEmailAddress;
    QString msgEmailBodyLine1;
    QString msgEmailBodyLine2;
    QString msgEmailBodyLine3;
    QString msgEmailBodyLine4;
    QString msgEmailBodyLine5;
    QString msgEmailBodyLine6;
    QString msgEmailBodyLine7;
    QString msgEmailBodyLine8;
    QString msgSendMailOK;
    QString msgSendMailErr;
    QString msgTimeElapse;
    QString msgSysShutDown;
    QString msgConfirmDelLog;
    QString msgConfirmDelete;
    QString msgDayName;
};

// The loaded catalogue; the built-in texts until LoadMessages() has run.
const MessageCatalogue &Msg();

// Reads the language name from programFolder + "Kestrava.INI" ([SETTINGS]
// LANG, default "简体中文") and every text from the language file
// programFolder + "languages/" + language + ".INI" ([MESSAGES]), each with its
// built-in default. Missing files, sections or keys are no error.
// programFolder is the folder of the program, ending in "/".
void LoadMessages(const QString &programFolder);

// The language named by the program INI file ("简体中文" until loaded).
const QString &CurrentLanguage();

// The language file LoadMessages() chose (empty until it has run); window
// texts are translated from it.
QString LanguageFilePath();

// The 35 keys with their built-in texts, in catalogue order.
const std::vector<std::pair<const char *, QString>> &CatalogueDefaults();

// Fills a catalogue pattern: each "%s" takes the next argument, "%%" is one
// "%". A translated pattern is not trusted to match its arguments: a "%s"
// without an argument gives the empty text, any other "%" sequence (a lone
// "%", "%d", "%n", ...) stays as written, extra arguments are ignored, and
// inserted arguments are not scanned again.
QString FormatPattern(const QString &pattern, const QStringList &args);
