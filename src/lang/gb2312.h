// GB2312 at the edges: the bytes of INI files, mail text and the byte-counted
// display cuts. Inside the program all text is QString.
#pragma once

#include <QByteArray>
#include <QString>

namespace gb {

// Encodes to GB2312. A character GB2312 cannot hold becomes '?' (one byte), so
// the result is always valid GB2312 and its length is what byte rules count.
QByteArray encode(const QString &text);

// Decodes GB2312 bytes (read as GB18030, its superset, so GBK files written by
// other tools still read). An invalid or truncated sequence becomes U+FFFD and
// decoding goes on after it.
QString decode(const QByteArray &bytes);

// Whether every character of text has a GB2312 encoding.
bool representable(const QString &text);

// Number of GB2312 bytes of text (as encode() would give).
int byteLength(const QString &text);

// The longest leading part of text whose encoding is at most maxBytes bytes.
// A two-byte character that would straddle the limit is left out whole.
QString leftBytes(const QString &text, int maxBytes);

// Drops the last n bytes of text's encoding; a two-byte character cut in half
// by this is dropped whole.
QString dropLastBytes(const QString &text, int n);

} // namespace gb
