// INI files in GB2312: the program INI file and the language files.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

// Raised when an INI file cannot be written; what() is "Unable to write to <path>".
class IniWriteError : public std::runtime_error
{
public:
    explicit IniWriteError(const QString &path);
    const QString &path() const { return path_; }

private:
    QString path_;
};

// A snapshot of one INI file, read at construction (reload() reads it again).
//
// Reading: section and key names match without regard to case; the value is
// the text after the first "=", with blanks (spaces, tabs) trimmed and one
// pair of enclosing quotes (' or ") removed, at most 2047 GB2312 bytes. The
// first of two sections of the same name wins, and so does the first of two
// keys. A missing file, section or key gives the default; a key present with
// an empty value gives the empty text. Lines starting with ";" are comments.
// A file that starts with a UTF-8 byte-order mark is read (and written) as
// UTF-8: an editor that wrote the mark has said what it wrote.
class IniFile
{
public:
    explicit IniFile(QString path);

    const QString &path() const { return path_; }
    void reload();

    QString readString(const QString &section, const QString &key, const QString &def) const;
    // Decimal, or hex after "0x" or "$", with an optional sign; the leading
    // number of the value counts ("12abc" is 12). Missing, no number or out of
    // range gives def.
    int readInteger(const QString &section, const QString &key, int def) const;
    // The keys of a section as spelled in the file, in file order, each once.
    QStringList sectionKeys(const QString &section) const;

    // Sets one key, creating the file, section or key as needed; every other
    // byte of the file stays as it was. The file is re-read first, so changes
    // made since the snapshot are kept. A value that reading would alter
    // (edge blanks, enclosing quotes) is written in double quotes so it reads
    // back as given. The new content replaces the file in one rename.
    // Throws IniWriteError when the file cannot be written, and
    // std::invalid_argument for a line break in any argument or a name that
    // cannot be written as such ("=" in a key, "]" in a section).
    void writeString(const QString &section, const QString &key, const QString &value);

private:
    struct Entry
    {
        QString key;
        QString value;
        int line;
    };
    struct Section
    {
        QString name;
        int lastLine; // last non-blank line of the section
        std::vector<Entry> entries;
        QHash<QString, size_t> byKey; // case-folded key -> first entry
    };
    struct Line
    {
        qsizetype begin; // content is [begin, end), without the line end
        qsizetype end;
        qsizetype next; // start of the following line
    };

    void parse();
    const Section *findSection(const QString &name) const;
    static const Entry *findEntry(const Section &section, const QString &key);
    QString decodeBytes(const QByteArray &bytes) const;
    QByteArray encodeText(const QString &text) const;
    QByteArray lineEnd() const;

    QString path_;
    QByteArray bytes_;
    bool utf8_ = false;
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    QHash<QString, size_t> byName_; // case-folded name -> first section
};
