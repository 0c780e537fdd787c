// A workbook's zip parts read as checked streams and scanned as XML tags: what any reading of a
// workbook needs, apart from how the sheet reader (XlsxTable.cpp) makes cells of them.
#pragma once

#include "platform/records/Error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <minizip/unzip.h>

namespace zpp::services::xlsx {

// One part of the workbook being unpacked. Its unpacked size is held against a limit before a
// byte is inflated, and its length and CRC once it has been read to its end: a damaged part is
// refused by name rather than read as whatever the damage makes of it.
class Part {
public:
    Part(unzFile zip, const QString& book, const QString& name, qint64 limit);
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;
    ~Part() {
        if (m_open)
            unzCloseCurrentFile(m_zip);
    }

    bool Found() const { return m_found; }
    qint64 Size() const { return m_size; }
    qint64 Done() const { return m_read; }

    // Up to size bytes; 0 at the end, when the part has passed its checks.
    int Read(char* into, int size);
    // Reads what is left unread, so that the part is checked whole.
    void Finish() {
        char rest[16 * 1024];
        while (Read(rest, sizeof rest) > 0) {
        }
    }

private:
    void Close();
    Error Damaged() const;

    unzFile m_zip;
    QString m_book, m_name;
    qint64 m_size = 0, m_read = 0;
    bool m_found = false, m_open = false;
};

// The whole of a small part; empty when the workbook has none of that name.
QByteArray WholePart(unzFile zip, const QString& book, const QString& name);

// Text as XML keeps it back to text: the five named entities and character references.
void AppendUnescaped(QByteArray& out, QByteArrayView text);
QString Unescaped(QByteArrayView text);

// The value of name="..." (or '...') in a tag; empty when it has none.
QByteArrayView Attribute(QByteArrayView tag, const char* name);

// A part's XML as a stream of tags, scanned over its bytes a piece at a time: the plain XML every
// spreadsheet program writes (rows of cells of values) reads several times quicker this way than
// through a general XML reader. While Collect is set the text between tags goes to Text, up to
// what one cell may hold (TooLong beyond).
class TagScanner {
public:
    TagScanner(Part& part, const QString& book, const QString& name)
        : m_part(part), m_book(book), m_name(name) {}

    bool Collect = false, TooLong = false;
    QByteArray Text;

    void StartText() {
        Text.clear();
        TooLong = false;
    }

    // The next tag's text between < and >; false at the part's end.
    bool Next(QByteArrayView& tag);

    // The tag's name without a namespace prefix; end: a closing tag, empty: one that closes itself.
    static QByteArrayView Name(QByteArrayView tag, bool& end, bool& empty);

private:
    // More of the part for a tag that began at but did not end in the buffer.
    void More(qsizetype at);
    // More of the part after what is left unread; false at its end.
    bool Fill();
    void Keep(QByteArrayView text);
    void Keep(const char* data, qsizetype size) { Keep(QByteArrayView(data, size)); }

    Part& m_part;
    QString m_book, m_name;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

} // namespace zpp::services::xlsx
