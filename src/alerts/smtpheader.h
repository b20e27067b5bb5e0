// Wire form of a mail: encoded words, addresses, folding, Date, header block, body.
#pragma once

#include "alerts/mailmessage.h"

#include <QByteArray>
#include <QString>

#include <ctime>
#include <optional>

// The charset that labels encoded words, chosen from the user's locale.
struct HeaderCharset
{
    QByteArray label;     // as written inside "=?label?X?...?="
    char encoding = 'B';  // 'B' (Base64) or 'Q'
    QByteArray iconvName; // what iconv calls it
};

// zh_CN: GB2312/B, other Chinese: Big5/B, ja: ISO-2022-JP/B, ko: EUC-KR/B,
// anything else ISO-8859-1/Q. Accepts "zh_CN", "zh_CN.UTF-8", "ja-JP", "C".
HeaderCharset headerCharsetForLocale(const QString &localeName);

// The locale the program runs under (QLocale::system()).
QString systemLocaleName();

// The charset of the body: GB2312, in which the program's texts are written.
// Encoded words fall back to it when the locale's charset cannot hold a text.
HeaderCharset bodyFallbackCharset();

// Header text with RFC 2047 encoded words for the words that need them. CR and
// LF in the text become spaces, so the value never starts a new header line.
// A displayName also encodes words that hold address specials. The bytes of
// every encoded word are in the charset its label names.
QByteArray encodeHeaderText(const QString &text, const HeaderCharset &charset, bool displayName = false);

// "addr", "\"Name\" <addr>" or "=?..?= <addr>"; empty for an empty address.
QByteArray formatAddress(const MailAddress &address, const HeaderCharset &charset);

// "Name: value" folded at 78 characters, every line ending in CRLF.
QByteArray foldField(const QByteArray &name, const QByteArray &value);

// "Tue, 5 Mar 2024 14:03:09 +0800" in the local time zone.
QByteArray formatDate(std::time_t moment);

// The 8-bit bytes of text in the named charset; nothing when the charset is
// unknown or cannot hold the text. GB2312 goes through the program's own
// conversion, which turns what it cannot hold into '?'.
std::optional<QByteArray> encodeIn(const QByteArray &charset, const QString &text);

// Whether an address can go into a command or a header as it is: no control
// characters (a CR or LF would start a new command) and no angle brackets.
bool isSafeAddress(const QString &address);

// The header block, each field on its own CRLF-terminated line(s).
QByteArray buildHeaderBlock(const MailMessage &message, const QString &mailAgent,
                            const HeaderCharset &charset, std::time_t now);

// The body lines, CRLF-terminated and dot-stuffed; a line holding line breaks
// is sent as several lines, each stuffed on its own. Empty when the body
// cannot be written in the message's CharSet.
std::optional<QByteArray> buildBody(const MailMessage &message);
