#pragma once

#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Reading back the files the program writes: a PDF's text (poppler's pdftotext) and the cells
// of an XLSX workbook's first sheet (unzip). Header-only, as RowTexts.h.
namespace zpp::test {

inline QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of every page, laid out as printed, pages ended by form feeds. Qt's PDF text map
// names a glyph that an ideograph shares with a radical after the radical: they read back as
// the ideographs the page shows.
inline QString PdfText(const QString& file) {
    QString text =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")})
            .normalized(QString::NormalizationForm_KC);
    return text.replace(QChar(0x2EDA), u'页').replace(QChar(0x2EC5), u'见').replace(QChar(0x2ED4), u'钅');
}

inline int PdfPages(const QString& file) {
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    return pages.match(RunTool(QStringLiteral("pdfinfo"), {file})).captured(1).toInt();
}

struct SheetCell {
    QString Text;
    bool Number = false;
};

// The cells of the first worksheet by reference ("A1").
inline QHash<QString, SheetCell> XlsxCells(const QString& file) {
    const QString xml = RunTool(QStringLiteral("unzip"),
                                {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet1.xml")});
    static const QRegularExpression cell(QStringLiteral("<c r=\"([A-Z]+\\d+)\"[^>]*>(.*?)</c>"));
    static const QRegularExpression inlineText(QStringLiteral("<t[^>]*>(.*?)</t>"));
    static const QRegularExpression number(QStringLiteral("<v>(.*?)</v>"));
    QHash<QString, SheetCell> cells;
    for (auto it = cell.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        const QString body = m.captured(2);
        SheetCell c;
        if (const auto t = inlineText.match(body); t.hasMatch()) {
            c.Text = t.captured(1)
                         .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                         .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                         .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                         .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        } else {
            c.Text = number.match(body).captured(1);
            c.Number = true;
        }
        cells.insert(m.captured(1), c);
    }
    return cells;
}

} // namespace zpp::test
