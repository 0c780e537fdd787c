#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

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
    return text.replace(QChar(0x2EDA), u'页');
}

// The rows of an XLSX workbook's first sheet, each cell's text or number (as the sheet keeps it:
// "2.5", not "2.500") at its column; a missing cell is an empty text.
inline QVector<QStringList> XlsxRows(const QString& file) {
    const QString xml = RunTool(QStringLiteral("unzip"),
                                {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet1.xml")});
    static const QRegularExpression cell(
        QStringLiteral("<c r=\"([A-Z])(\\d+)\"[^>]*>(?:<is><t[^>]*>|<v>)(.*?)<"));
    QVector<QStringList> rows;
    for (auto it = cell.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        const int row = m.captured(2).toInt() - 1, col = m.captured(1).at(0).unicode() - u'A';
        if (rows.size() <= row)
            rows.resize(row + 1);
        while (rows[row].size() <= col)
            rows[row] << QString();
        rows[row][col] = m.captured(3)
                             .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                             .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                             .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    return rows;
}

} // namespace zpp::test
