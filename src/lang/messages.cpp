// The message catalogue's built-in texts, loading and pattern filling.
#include "lang/messages.h"

#include "lang/inifile.h"

namespace {

struct KeyInfo
{
    const char *key;
    QString MessageCatalogue::*member;
    const char16_t *text;
};

// The built-in texts. The gaps in msgconstate1, msgconstate2, msgTimeElapse
// and in the font tags of the mail lines are TABs; the mail lines start with
// two ideographic spaces.
const KeyInfo kKeys[] = {
    {"msgAlreadyRun", &MessageCatalogue::msgAlreadyRun, u"程序已在运行中!"},
    {"msgMonStart", &MessageCatalogue::msgMonStart, u"监控系统启动."},
    {"msgVCT1", &MessageCatalogue::msgVCT1, u"已开启："},
    {"msgVCT2", &MessageCatalogue::msgVCT2, u"警报."},
    {"msgVCT3", &MessageCatalogue::msgVCT3, u"邮件通知."},
    {"msgVCT4", &MessageCatalogue::msgVCT4, u"自动关机"},
    {"msgVCT5", &MessageCatalogue::msgVCT5, u"监控端口:"},
    {"msgOpenCOMFail", &MessageCatalogue::msgOpenCOMFail, u"打开串口%s失败"},
    {"msgMenuShowHide1", &MessageCatalogue::msgMenuShowHide1, u"关闭/隐藏主窗口(&C)"},
    {"msgMenuShowHide2", &MessageCatalogue::msgMenuShowHide2, u"打开/显示主窗口(&O)"},
    {"msgConfirmQuit", &MessageCatalogue::msgConfirmQuit, u"真的要退出%s吗?"},
    {"msgMonQuit", &MessageCatalogue::msgMonQuit, u"监控系统退出"},
    {"msgacsate1", &MessageCatalogue::msgacsate1, u"市电输入"},
    {"msgacsate2", &MessageCatalogue::msgacsate2, u"市电正常"},
    {"msgbatsate", &MessageCatalogue::msgbatsate, u"电池电压"},
    {"msgconstate1", &MessageCatalogue::msgconstate1, u"连接\tUPS\t正常"},
    {"msgconstate2", &MessageCatalogue::msgconstate2, u"UPS\t连接断开"},
    {"msgUPSShutdown", &MessageCatalogue::msgUPSShutdown, u"UPS强制关闭"},
    {"msgUSBWriteErr", &MessageCatalogue::msgUSBWriteErr, u"写数据到USB设备错误"},
    {"msgNoEmailAddress", &MessageCatalogue::msgNoEmailAddress, u"警报%s无投递邮箱地址!"},
    {"msgEmailBodyLine1", &MessageCatalogue::msgEmailBodyLine1, u"亲爱的%s:<br>"},
    {"msgEmailBodyLine2", &MessageCatalogue::msgEmailBodyLine2, u"\u3000\u3000您好!<br>"},
    {"msgEmailBodyLine3", &MessageCatalogue::msgEmailBodyLine3,
     u"\u3000\u3000<b>%s</b>向您报告一个紧急事件：<br>"},
    {"msgEmailBodyLine4", &MessageCatalogue::msgEmailBodyLine4, u"<br>"},
    {"msgEmailBodyLine5", &MessageCatalogue::msgEmailBodyLine5,
     u"\u3000\u3000<font\tcolor=#ff0000><b>%s</b></font><br>"},
    {"msgEmailBodyLine6", &MessageCatalogue::msgEmailBodyLine6, u"<br>"},
    {"msgEmailBodyLine7", &MessageCatalogue::msgEmailBodyLine7, u"\u3000\u3000发生时间：<b>%s</b><br>"},
    {"msgEmailBodyLine8", &MessageCatalogue::msgEmailBodyLine8,
     u"\u3000\u3000<font\tcolor=#707070>这是系统自动发送的邮件，请慎重！</font><br>"},
    {"msgSendMailOK", &MessageCatalogue::msgSendMailOK, u"邮件发送成功！"},
    {"msgSendMailErr", &MessageCatalogue::msgSendMailErr, u"邮件发送失败！"},
    {"msgTimeElapse", &MessageCatalogue::msgTimeElapse, u"关机倒计时\t%s"},
    {"msgSysShutDown", &MessageCatalogue::msgSysShutDown, u"系统强制关闭"},
    {"msgConfirmDelLog", &MessageCatalogue::msgConfirmDelLog, u"您真的要删除所列事务日志信息吗?"},
    {"msgConfirmDelete", &MessageCatalogue::msgConfirmDelete, u"真的要删除吗?"},
    {"msgDayName", &MessageCatalogue::msgDayName, u"天"},
};

const QString kDefaultLanguage = QStringLiteral("简体中文");

struct State
{
    MessageCatalogue catalogue;
    QString language = kDefaultLanguage;
    QString languageFile;

    State()
    {
        for (const KeyInfo &k : kKeys)
            catalogue.*k.member = QString::fromUtf16(k.text);
    }
};

State &state()
{
    static State s;
    return s;
}

} // namespace

const MessageCatalogue &Msg()
{
    return state().catalogue;
}

const QString &CurrentLanguage()
{
    return state().language;
}

QString LanguageFilePath()
{
    return state().languageFile;
}

void LoadMessages(const QString &programFolder)
{
    QString folder = programFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
    State &s = state();
    s.language = IniFile(folder + QStringLiteral("Kestrava.INI"))
                     .readString(QStringLiteral("SETTINGS"), QStringLiteral("LANG"), kDefaultLanguage);
    s.languageFile = folder + QStringLiteral("languages/") + s.language + QStringLiteral(".INI");
    const IniFile file(s.languageFile);
    const QString section = QStringLiteral("MESSAGES");
    for (const KeyInfo &k : kKeys)
        s.catalogue.*k.member =
            file.readString(section, QString::fromLatin1(k.key), QString::fromUtf16(k.text));
}

const std::vector<std::pair<const char *, QString>> &CatalogueDefaults()
{
    static const std::vector<std::pair<const char *, QString>> defaults = [] {
        std::vector<std::pair<const char *, QString>> v;
        for (const KeyInfo &k : kKeys)
            v.emplace_back(k.key, QString::fromUtf16(k.text));
        return v;
    }();
    return defaults;
}

QString FormatPattern(const QString &pattern, const QStringList &args)
{
    QString out;
    out.reserve(pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar following = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c == u'%' && following == u's') {
            if (next < args.size()) out += args.at(next);
            ++next;
            ++i;
        } else if (c == u'%' && following == u'%') {
            out += u'%';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
