// The help files the Help item opens: compiled into the program folder for both shipped languages.
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

TEST(HelpFiles, EachLanguageHasACompiledGuideHoldingItsPagesAndContents)
{
    for (const char *language : {"English", "简体中文"}) {
        SCOPED_TRACE(language);
        QFile chm(QStringLiteral(KESTRAVA_BIN_DIR "/languages/") + QString::fromUtf8(language) +
                  QStringLiteral(".chm"));
        ASSERT_TRUE(chm.open(QIODevice::ReadOnly))
            << "not built: chmcmd (Debian package fp-utils) compiles docs/guide";
        const QByteArray bytes = chm.readAll();
        EXPECT_TRUE(bytes.startsWith("ITSF")) << "not a compiled help file";
        // the file's directory names every page it holds, uncompressed
        for (const char *entry : {"/index.html", "/toc.hhc", "/guide.css"})
            EXPECT_TRUE(bytes.contains(entry)) << entry;
    }
}

TEST(HelpFiles, EachGuidePageNamesItsCharsetTheWayHelpViewersRead)
{
    // help viewers take the charset from the http-equiv form only; without it
    // a UTF-8 page is shown in the file's language code page (mojibake in
    // the Chinese guide)
    for (const char *guide : {"en", "zh"}) {
        SCOPED_TRACE(guide);
        QFile page(QStringLiteral(KESTRAVA_SOURCE_DIR "/docs/guide/%1/index.html").arg(QLatin1String(guide)));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QByteArray head = page.readAll().split('\n').mid(0, 12).join('\n');
        EXPECT_TRUE(head.contains(R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)"));
    }
}
