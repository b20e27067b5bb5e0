// Message catalogue: built-in texts, loading from the INI files, pattern filling.
#include "inifiles.h"
#include "lang/messages.h"

#include <set>

namespace {

struct Expected
{
    const char *key;
    QString MessageCatalogue::*member;
    const char *gb2312Hex;
};

// The built-in texts as GB2312 bytes, taken from the program's text table.
const Expected kExpected[] = {
    {"msgAlreadyRun", &MessageCatalogue::msgAlreadyRun, "b3ccd0f2d2d1d4dad4cbd0d0d6d021"},
    {"msgMonStart", &MessageCatalogue::msgMonStart, "bce0bfd8cfb5cdb3c6f4b6af2e"},
    {"msgVCT1", &MessageCatalogue::msgVCT1, "d2d1bfaac6f4a3ba"},
    {"msgVCT2", &MessageCatalogue::msgVCT2, "beafb1a82e"},
    {"msgVCT3", &MessageCatalogue::msgVCT3, "d3cabcfecda8d6aa2e"},
    {"msgVCT4", &MessageCatalogue::msgVCT4, "d7d4b6afb9d8bbfa"},
    {"msgVCT5", &MessageCatalogue::msgVCT5, "bce0bfd8b6cbbfda3a"},
    {"msgOpenCOMFail", &MessageCatalogue::msgOpenCOMFail, "b4f2bfaab4aebfda2573caa7b0dc"},
    {"msgMenuShowHide1", &MessageCatalogue::msgMenuShowHide1, "b9d8b1d52fd2feb2d8d6f7b4b0bfda28264329"},
    {"msgMenuShowHide2", &MessageCatalogue::msgMenuShowHide2, "b4f2bfaa2fcfd4cabed6f7b4b0bfda28264f29"},
    {"msgConfirmQuit", &MessageCatalogue::msgConfirmQuit, "d5e6b5c4d2aacdcbb3f62573c2f03f"},
    {"msgMonQuit", &MessageCatalogue::msgMonQuit, "bce0bfd8cfb5cdb3cdcbb3f6"},
    {"msgacsate1", &MessageCatalogue::msgacsate1, "cad0b5e7cae4c8eb"},
    {"msgacsate2", &MessageCatalogue::msgacsate2, "cad0b5e7d5fdb3a3"},
    {"msgbatsate", &MessageCatalogue::msgbatsate, "b5e7b3d8b5e7d1b9"},
    {"msgconstate1", &MessageCatalogue::msgconstate1, "c1acbdd30955505309d5fdb3a3"},
    {"msgconstate2", &MessageCatalogue::msgconstate2, "55505309c1acbdd3b6cfbfaa"},
    {"msgUPSShutdown", &MessageCatalogue::msgUPSShutdown, "555053c7bfd6c6b9d8b1d5"},
    {"msgUSBWriteErr", &MessageCatalogue::msgUSBWriteErr, "d0b4cafdbeddb5bd555342c9e8b1b8b4edcef3"},
    {"msgNoEmailAddress", &MessageCatalogue::msgNoEmailAddress, "beafb1a82573cedecdb6b5ddd3cacfe4b5d8d6b721"},
    {"msgEmailBodyLine1", &MessageCatalogue::msgEmailBodyLine1, "c7d7b0aeb5c425733a3c62723e"},
    {"msgEmailBodyLine2", &MessageCatalogue::msgEmailBodyLine2, "a1a1a1a1c4fabac3213c62723e"},
    {"msgEmailBodyLine3", &MessageCatalogue::msgEmailBodyLine3,
     "a1a1a1a13c623e25733c2f623ecff2c4fab1a8b8e6d2bbb8f6bdf4bcb1cac2bcfea3ba3c62723e"},
    {"msgEmailBodyLine4", &MessageCatalogue::msgEmailBodyLine4, "3c62723e"},
    {"msgEmailBodyLine5", &MessageCatalogue::msgEmailBodyLine5,
     "a1a1a1a13c666f6e7409636f6c6f723d236666303030303e3c623e25733c2f623e3c2f666f6e743e3c62723e"},
    {"msgEmailBodyLine6", &MessageCatalogue::msgEmailBodyLine6, "3c62723e"},
    {"msgEmailBodyLine7", &MessageCatalogue::msgEmailBodyLine7,
     "a1a1a1a1b7a2c9facab1bce4a3ba3c623e25733c2f623e3c62723e"},
    {"msgEmailBodyLine8", &MessageCatalogue::msgEmailBodyLine8,
     "a1a1a1a13c666f6e7409636f6c6f723d233730373037303ed5e2cac7cfb5cdb3d7d4b6afb7a2cbcdb5c4d3cabcfea3acc7ebc9f"
     "7d6d8a3a13c2f666f6e743e3c62723e"},
    {"msgSendMailOK", &MessageCatalogue::msgSendMailOK, "d3cabcfeb7a2cbcdb3c9b9a6a3a1"},
    {"msgSendMailErr", &MessageCatalogue::msgSendMailErr, "d3cabcfeb7a2cbcdcaa7b0dca3a1"},
    {"msgTimeElapse", &MessageCatalogue::msgTimeElapse, "b9d8bbfab5b9bcc6cab1092573"},
    {"msgSysShutDown", &MessageCatalogue::msgSysShutDown, "cfb5cdb3c7bfd6c6b9d8b1d5"},
    {"msgConfirmDelLog", &MessageCatalogue::msgConfirmDelLog,
     "c4fad5e6b5c4d2aac9beb3fdcbf9c1d0cac2cef1c8d5d6bed0c5cfa2c2f03f"},
    {"msgConfirmDelete", &MessageCatalogue::msgConfirmDelete, "d5e6b5c4d2aac9beb3fdc2f03f"},
    {"msgDayName", &MessageCatalogue::msgDayName, "ccec"},
};

QString expectedText(const Expected &e)
{
    return gb::decode(QByteArray::fromHex(e.gb2312Hex));
}

void expectAllDefaults(const char *why)
{
    for (const Expected &e : kExpected)
        EXPECT_EQ(Msg().*e.member, expectedText(e)) << why << ": " << e.key;
}

} // namespace

TEST(MessageCatalogue, BuiltInTextsAreExactBytes)
{
    const auto &defaults = CatalogueDefaults();
    ASSERT_EQ(defaults.size(), std::size(kExpected));
    std::set<std::string> keys;
    for (size_t i = 0; i < defaults.size(); ++i) {
        const Expected &e = kExpected[i];
        EXPECT_STREQ(defaults[i].first, e.key);
        EXPECT_EQ(gb::encode(defaults[i].second).toHex(), QByteArray(e.gb2312Hex)) << e.key;
        EXPECT_TRUE(gb::representable(defaults[i].second)) << e.key;
        keys.insert(defaults[i].first);
    }
    EXPECT_EQ(keys.size(), defaults.size()) << "keys are unique";
}

TEST(MessageCatalogue, NoIniFilesGiveTheDefaultLanguageAndTexts)
{
    IniFolder dir;
    LoadMessages(dir.folder());
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("简体中文"));
    EXPECT_EQ(LanguageFilePath(), dir.folder() + QStringLiteral("languages/简体中文.INI"));
    expectAllDefaults("no files");
}

TEST(MessageCatalogue, EveryKeyFillsItsOwnMember)
{
    IniFolder dir;
    QString file = QStringLiteral("[MESSAGES]\n");
    for (const Expected &e : kExpected)
        file += QString::fromLatin1(e.key) + QStringLiteral("=T-") + QString::fromLatin1(e.key) + u'\n';
    dir.write(QStringLiteral("languages/简体中文.INI"), file);
    LoadMessages(dir.folder());
    for (const Expected &e : kExpected)
        EXPECT_EQ(Msg().*e.member, QStringLiteral("T-") + QString::fromLatin1(e.key));
}

TEST(MessageCatalogue, LanguageFileSetsSomeKeys)
{
    IniFolder dir;
    // lower-case section headers in both files; GB2312 language name
    dir.write(QStringLiteral("Kestrava.INI"),
              QStringLiteral("[settings]\r\nShutDownUPS=1\r\nlang = 繁体 \r\n"));
    dir.write(QStringLiteral("languages/繁体.INI"), QStringLiteral("[other]\nmsgDayName=wrong\n"
                                                                   "[messages]\n"
                                                                   "MSGMONSTART = \"监控开始\" \n"
                                                                   "msgVCT2=\n"
                                                                   "msgSendMailOK='ok!'\n"));
    LoadMessages(dir.folder());
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("繁体"));
    EXPECT_EQ(LanguageFilePath(), dir.folder() + QStringLiteral("languages/繁体.INI"));
    EXPECT_EQ(Msg().msgMonStart, QStringLiteral("监控开始"));
    EXPECT_EQ(Msg().msgVCT2, QString()) << "present and empty is not the default";
    EXPECT_EQ(Msg().msgSendMailOK, QStringLiteral("ok!"));
    for (const Expected &e : kExpected) {
        const std::string k = e.key;
        if (k != "msgMonStart" && k != "msgVCT2" && k != "msgSendMailOK") {
            EXPECT_EQ(Msg().*e.member, expectedText(e)) << e.key;
        }
    }
}

TEST(MessageCatalogue, LanguageWithoutAFileKeepsTheDefaults)
{
    IniFolder dir;
    dir.write(QStringLiteral("Kestrava.INI"), QStringLiteral("[SETTINGS]\nLANG=English\n"));
    dir.write(QStringLiteral("languages/简体中文.INI"),
              QStringLiteral("[MESSAGES]\nmsgMonStart=not this one\n"));
    LoadMessages(dir.folder());
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("English"));
    expectAllDefaults("no English.INI");
}

TEST(FormatPattern, FillsAndNeverReadsPastItsArguments)
{
    struct Row
    {
        const char *why;
        QString pattern;
        QStringList args;
        QString want;
    };
    const Row rows[] = {
        {"one argument", "打开串口%s失败", {"/dev/ttyUSB0"}, "打开串口/dev/ttyUSB0失败"},
        {"arguments in order", "%s-%s", {"a", "b"}, "a-b"},
        {"%% is one %", "100%% %s", {"x"}, "100% x"},
        {"%%s is a % and an s", "%%s", {"x"}, "%s"},
        {"missing argument is empty", "%s and %s", {"a"}, "a and "},
        {"no arguments at all", "%s%s", {}, ""},
        {"extra arguments ignored", "%s", {"a", "b"}, "a"},
        {"other conversions stay as written", "%d %n %x %S", {"a"}, "%d %n %x %S"},
        {"a lone trailing %", "50%", {"a"}, "50%"},
        {"inserted text is not scanned again", "%s|%s", {"%s%%", "b"}, "%s%%|b"},
        {"TAB pattern", "关机倒计时\t%s", {"1: 2"}, "关机倒计时\t1: 2"},
        {"empty pattern", "", {"a"}, ""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(FormatPattern(r.pattern, r.args), r.want) << r.why;
}
