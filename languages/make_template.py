#!/usr/bin/env python3
# Writes languages/简体中文.INI, the built-in Chinese texts, in GB2312 bytes.
#
# Run it after changing a text below; the file it writes is committed and
# installed. Translators copy the result to <Language>.INI and replace the
# values. Section MESSAGES holds the message catalogue exactly as the program
# has it built in (TABs and ideographic spaces included); the window sections
# hold the captions, hints, column titles and list items of each window.
import os
import sys

TAB = "\t"
IDSP = "\u3000\u3000"  # the two ideographic spaces that start the mail lines

MESSAGES = [
    ("msgAlreadyRun", "程序已在运行中!"),
    ("msgMonStart", "监控系统启动."),
    ("msgVCT1", "已开启："),
    ("msgVCT2", "警报."),
    ("msgVCT3", "邮件通知."),
    ("msgVCT4", "自动关机"),
    ("msgVCT5", "监控端口:"),
    ("msgOpenCOMFail", "打开串口%s失败"),
    ("msgMenuShowHide1", "关闭/隐藏主窗口(&C)"),
    ("msgMenuShowHide2", "打开/显示主窗口(&O)"),
    ("msgConfirmQuit", "真的要退出%s吗?"),
    ("msgMonQuit", "监控系统退出"),
    ("msgacsate1", "市电输入"),
    ("msgacsate2", "市电正常"),
    ("msgbatsate", "电池电压"),
    ("msgconstate1", "连接" + TAB + "UPS" + TAB + "正常"),
    ("msgconstate2", "UPS" + TAB + "连接断开"),
    ("msgUPSShutdown", "UPS强制关闭"),
    ("msgUSBWriteErr", "写数据到USB设备错误"),
    ("msgNoEmailAddress", "警报%s无投递邮箱地址!"),
    ("msgEmailBodyLine1", "亲爱的%s:<br>"),
    ("msgEmailBodyLine2", IDSP + "您好!<br>"),
    ("msgEmailBodyLine3", IDSP + "<b>%s</b>向您报告一个紧急事件：<br>"),
    ("msgEmailBodyLine4", "<br>"),
    ("msgEmailBodyLine5", IDSP + "<font" + TAB + "color=#ff0000><b>%s</b></font><br>"),
    ("msgEmailBodyLine6", "<br>"),
    ("msgEmailBodyLine7", IDSP + "发生时间：<b>%s</b><br>"),
    ("msgEmailBodyLine8", IDSP + "<font" + TAB + "color=#707070>这是系统自动发送的邮件，请慎重！</font><br>"),
    ("msgSendMailOK", "邮件发送成功！"),
    ("msgSendMailErr", "邮件发送失败！"),
    ("msgTimeElapse", "关机倒计时" + TAB + "%s"),
    ("msgSysShutDown", "系统强制关闭"),
    ("msgConfirmDelLog", "您真的要删除所列事务日志信息吗?"),
    ("msgConfirmDelete", "真的要删除吗?"),
    ("msgDayName", "天"),
]

# The built-in captions of the main window and the About box are the designer's
# object names ("fMain", "fAbout"); the shipped file gives them real titles.
WINDOWS = [
    ("fMain", [
        ("Caption", "Kestrava UPS 监控"),
        ("imgSettings.Hint", "设置"),
        ("imgCloseFiles.Hint", "关机日志"),
        ("imgLogFiles.Hint", "UPS工作事件日志"),
        ("imgAbout.Hint", "关于"),
        ("imgClock.Hint", "时间显示"),
        ("imgBat.Hint", "UPS电池状态"),
        ("imgAC.Hint", "市电输入状态"),
        ("imgCon.Hint", "设备未连接!"),
        ("N2.Caption", "系统设置(&S)"),
        ("N3.Caption", "关机文件(&F)"),
        ("N4.Caption", "事务日志(&L)"),
        ("A1.Caption", "关于(&A)..."),
        ("pmShowHide.Caption", "关闭主窗口(&C)"),
        ("pmExit.Caption", "退出系统(&X)"),
        ("H1.Caption", "帮助(&H).."),
    ]),
    ("fTips", [
        ("Caption", "警告窗口"),
        ("btCancel.Caption", "撤销关机"),
        ("btClose.Caption", "确   定"),
    ]),
    ("fSettings", [
        ("Caption", "设置"),
        ("TabSheet1.Caption", "一般设定"),
        ("Label1.Caption", "设备连接端口选择："),
        ("Label3.Caption", "请选择UPS设备连接端口名称："),
        ("lHIDDevName.Caption", "请输入USB设备连接标识名称："),
        ("Label2.Caption", "程序操作选项："),
        ("ckSysNoClose.Caption", "关闭主窗口时，不退出系统(在系统托盘显示图标)."),
        ("ckStayOnTop.Caption", "主窗口总是显示在最前面。"),
        ("ckSysNoTB.Caption", "不在任务栏显示程序图标。"),
        ("TabSheet2.Caption", "邮件通知"),
        ("ckEmail.Caption", "启用电子邮件发送警报功能(&P)"),
        ("lSenderName.Caption", "发送人姓名(&N)："),
        ("lSenderEmail.Caption", "电子邮箱地址(&E)："),
        ("lSenderServer.Caption", "电子邮箱服务器(&S)："),
        ("lSenderCount.Caption", "用户帐号(&C)："),
        ("lSenderPwd.Caption", "用户密码(&W)："),
        ("ckSSL.Caption", "服务器启用密码认证(&R)"),
        ("gbEmailList.Caption", "电子邮件地址列表"),
        ("lEState.Caption", "异常状况(&K)"),
        ("cbEType.Item.0", "所有事件"),
        ("cbEType.Item.1", "市电断电"),
        ("cbEType.Item.2", "市电恢复"),
        ("cbEType.Item.3", "电池电压低"),
        ("cbEType.Item.4", "低电压恢复"),
        ("lbEmails.Column.0", "姓名"),
        ("lbEmails.Column.1", "邮箱地址"),
        ("btAdd.Caption", "添加(&A)"),
        ("btMod.Caption", "修改(&M)"),
        ("btDel.Caption", "删除(&D)"),
        ("TabSheet3.Caption", "关机设置"),
        # The built-in text names Windows; on this system it is the computer's
        # own operating system that is shut down.
        ("ckShutWin.Caption", "关闭操作系统(&W)"),
        ("lACTimer.Caption", "市电断电后，延缓关机时间(0 - 2000)"),
        ("lACcell.Caption", "分钟"),
        ("lBatTimer.Caption", "电池电量低后，延缓关机时间(0 - 60)"),
        ("lBatcell.Caption", "秒。"),
        ("ckExecuteApp.Caption", "关机前执行外部应用程序"),
        ("btExecuteApp.Caption", "设置(&T)"),
        ("lAppTimer.Caption", "程序执行持续时间：(0 - 15)"),
        ("lAppcell.Caption", "分钟"),
        ("ckAutoSave.Caption", "自动存档"),
        ("ckShutUPS.Caption", "关闭UPS设备"),
        ("TabSheet4.Caption", "警告讯息"),
        ("gbMessage.Caption", "消息内容"),
        ("Label10.Caption", "市电中断："),
        ("Label11.Caption", "市电恢复："),
        ("Label12.Caption", "电池电量低："),
        ("Label13.Caption", "电池电量恢复："),
        ("ckWarning.Caption", "启动警告信息显示窗口(&P)"),
        ("lWarn1.Caption", "警告信息间隔时间(&S)："),
        ("lWarn2.Caption", "秒"),
        ("Button1.Caption", "确定"),
        ("Button2.Caption", "取消"),
    ]),
    ("fLogFiles", [
        ("Caption", "事务日志"),
        ("GroupBox1.Caption", "列表条件"),
        ("ckBeg.Caption", "指定起始时间："),
        ("ckEnd.Caption", "指定终止时间："),
        ("btFlush.Caption", "刷新(&F)"),
        ("GroupBox2.Caption", "事务日志列表"),
        ("gridLogs.Column.0", "事件ID"),
        ("gridLogs.Column.1", "发生时间"),
        ("gridLogs.Column.2", "事件描述"),
        ("Button3.Caption", "清除(&C)"),
        ("Button4.Caption", "退出(&X)"),
    ]),
    ("fCloseFiles", [
        ("Caption", "关机文件"),
        ("Label1.Caption", "上次强制关机自动保存文件列表(&A)："),
        ("DBGrid1.Column.0", "应用程序标题"),
        ("DBGrid1.Column.1", "自动保存文档名称"),
        ("Button1.Caption", "确定"),
    ]),
    ("fAbout", [
        ("Caption", "关于"),
        ("Button1.Caption", "确定"),
    ]),
]

HEADER = """; Kestrava 简体中文语言文件（GB2312 编码）。
; 翻译时复制本文件为 <语言名>.INI，只修改等号后面的文字，保留 %s 的个数和顺序。
; 在程序目录的 Kestrava.INI 中写入 [SETTINGS] LANG=<语言名>，重新启动程序即可生效。
"""


def value_line(key, value):
    # The reader trims ASCII blanks at the ends and strips one pair of quotes;
    # such values are written quoted so they read back unchanged.
    if value != value.strip(" \t") or (len(value) >= 2 and value[0] in "'\"" and value[-1] == value[0]):
        value = '"' + value + '"'
    return key + "=" + value


def render():
    lines = HEADER.splitlines()
    lines += ["", "[MESSAGES]"] + [value_line(k, v) for k, v in MESSAGES]
    for section, entries in WINDOWS:
        lines += ["", "[" + section + "]"] + [value_line(k, v) for k, v in entries]
    return ("\n".join(lines) + "\n").encode("gb2312")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "简体中文.INI")
    data = render()
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (out, len(data)))


if __name__ == "__main__":
    main()
