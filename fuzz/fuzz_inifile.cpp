// INI files from arbitrary bytes: lookups agree with the key list, and what writeString writes reads back.
#include "fuzz_check.h"
#include "lang/gb2312.h"
#include "lang/inifile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

const QString kMissing1 = QStringLiteral("\x01missing");
const QString kMissing2 = QStringLiteral("\x02missing");

// One file in a private folder, removed when the fuzzer ends.
const QString &filePath()
{
    static const QString path = [] {
        char folder[] = "/tmp/kestrava-fuzz-ini-XXXXXX";
        FUZZ_CHECK(::mkdtemp(folder) != nullptr);
        static std::string dir = folder;
        std::atexit([] {
            ::unlink((dir + "/f.ini").c_str());
            ::rmdir(dir.c_str());
        });
        return QString::fromLocal8Bit(folder) + QStringLiteral("/f.ini");
    }();
    return path;
}

QString flipAsciiCase(QString s)
{
    for (QChar &c : s) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        else if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return s;
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return s.mid(b, e - b);
}

// A name the file can hold in either of its encodings.
QString nameFrom(const std::string &bytes)
{
    return gb::decode(gb::encode(gb::decode(QByteArray::fromStdString(bytes))));
}

std::optional<QString> lookup(const IniFile &ini, const QString &section, const QString &key)
{
    const QString a = ini.readString(section, key, kMissing1);
    if (a == kMissing1 && ini.readString(section, key, kMissing2) == kMissing2) return std::nullopt;
    return a;
}

bool plainDecimal(const QString &v)
{
    if (v.isEmpty() || v.size() > 9) return false;
    for (QChar c : v)
        if (c < u'0' || c > u'9') return false;
    return true;
}

void checkSection(const IniFile &ini, const QString &section)
{
    const QStringList keys = ini.sectionKeys(section);
    QStringList folded;
    for (const QString &key : keys) {
        FUZZ_CHECK(!folded.contains(key.toCaseFolded())); // each key once
        folded << key.toCaseFolded();
        const std::optional<QString> v = lookup(ini, section, key);
        FUZZ_CHECK(v.has_value());
        FUZZ_CHECK(lookup(ini, flipAsciiCase(section), flipAsciiCase(key)) == v);
        FUZZ_CHECK(gb::byteLength(*v) <= 2047);
        const int n = ini.readInteger(section, key, -7);
        if (plainDecimal(*v)) FUZZ_CHECK(n == v->toInt());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString section = nameFrom(in.ConsumeRandomLengthString(12));
    const QString key = nameFrom(in.ConsumeRandomLengthString(12));
    const QString value = gb::decode(QByteArray::fromStdString(in.ConsumeRandomLengthString(2100)));
    const std::string file = in.ConsumeRemainingBytesAsString();

    const QString &path = filePath();
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(file.data(), qsizetype(file.size())) == qsizetype(file.size()));
    }
    const bool utf8 = file.rfind("\xEF\xBB\xBF", 0) == 0;

    const IniFile before(path);
    checkSection(before, section);
    checkSection(before, QStringLiteral("SETTINGS"));
    if (file.size() > 1 && file[0] == '[') {
        // the file's own first section
        const QString text = gb::decode(QByteArray::fromStdString(file.substr(1, file.find(']') - 1)));
        checkSection(before, trimBlanks(text));
    }

    IniFile ini(path);
    try {
        ini.writeString(section, key, value);
    } catch (const std::invalid_argument &) {
        return 0; // a line break or a name no file can hold
    }
    const QString sec = trimBlanks(section);
    const QString k = trimBlanks(key);
    QString want = utf8 ? value : gb::decode(gb::encode(value));
    if (gb::byteLength(want) > 2047) want = gb::leftBytes(want, 2047);

    const IniFile after(path);
    FUZZ_CHECK(lookup(after, sec, k) == want);
    FUZZ_CHECK(lookup(ini, sec, k) == want); // the writer's own snapshot too
    // the other keys of the section keep their values
    for (const QString &other : before.sectionKeys(sec)) {
        if (other.toCaseFolded() == k.toCaseFolded()) continue;
        FUZZ_CHECK(lookup(after, sec, other) == lookup(before, sec, other));
    }
    checkSection(after, sec);
    return 0;
}
