// Figures for printing the ledger at list size: the time to the first preview page, and a
// whole document to PDF beside a bare QPainter loop that draws the same cells.
#include "platform/controls/LedgerGrid.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>

using zpp::controls::LedgerGrid;

namespace {

constexpr int kCols = 35;

// A plan row's mix: codes, Chinese names, quantities, prices, dates; each text ends in "|".
QString RowText(int row) {
    QString text;
    text.reserve(kCols * 12);
    for (int c = 1; c <= kCols; ++c) {
        switch (c % 5) {
        case 0:
            text += QStringLiteral("A%1").arg(row * 7 + c, 8, 10, QLatin1Char('0'));
            break;
        case 1:
            text += QStringLiteral("钢板螺栓%1").arg(row % 97);
            break;
        case 2:
            text += QString::number((row % 1000) * 1.5 + c, 'f', 2);
            break;
        case 3:
            text += QStringLiteral("2026-%1-%2")
                        .arg(row % 12 + 1, 2, 10, QLatin1Char('0'))
                        .arg(row % 28 + 1, 2, 10, QLatin1Char('0'));
            break;
        default:
            text += QStringLiteral("仓库%1").arg(row % 13);
            break;
        }
        text += u'|';
    }
    return text;
}

void SetUp(LedgerGrid& grid, int rows) {
    grid.SetMaxCols(kCols);
    grid.SetMaxRows(rows + 1);
    for (int c = 1; c <= kCols; ++c) {
        grid.SetColWidth(c, 10);
        if (c % 5 == 2)
            grid.SetColCellType(c, 13);
    }
    grid.HeadCells()[2].Text = QStringLiteral("采购计划表");
    grid.HeadCells()[2].Font.setBold(true);
    grid.HeadCells()[2].Font.setPointSize(15);
    grid.FootCells()[2].Text = QStringLiteral(" 第&[页]页/共&[总页]页  ");
}

void Serve(LedgerGrid& grid) {
    QObject::connect(&grid, &LedgerGrid::RowTextRequested, &grid, [](int row, QString* text) {
        *text = row == 1 ? QString() : RowText(row - 1);
        if (row == 1)
            for (int c = 1; c <= kCols; ++c)
                *text += QStringLiteral("列%1|").arg(c);
    });
}

void Fill(LedgerGrid& grid, int rows) {
    for (int c = 1; c <= kCols; ++c)
        grid.SetText(1, c, QStringLiteral("列%1").arg(c));
    for (int r = 1; r <= rows; ++r) {
        const QString text = RowText(r);
        qsizetype start = 0;
        for (int c = 1; c <= kCols; ++c) {
            const qsizetype bar = text.indexOf(u'|', start);
            grid.SetText(r + 1, c, text.mid(start, bar - start));
            start = bar + 1;
        }
    }
}

// From PrintOut(7) until the first page is on screen.
double FirstPreviewPage(LedgerGrid& grid) {
    QElapsedTimer t;
    double ms = 0;
    zpp::ui::SetModalHandler([&](QDialog& d) {
        d.resize(900, 720);
        d.show();
        d.findChild<QWidget*>(QStringLiteral("pagePreview"))->grab();
        ms = t.nsecsElapsed() / 1e6;
        return int(QDialog::Rejected);
    });
    t.start();
    grid.PrintOut(7);
    zpp::ui::SetModalHandler({});
    return ms;
}

double WholeDocument(LedgerGrid& grid, const QString& file, int* pages) {
    QElapsedTimer t;
    t.start();
    QPdfWriter writer(file);
    *pages = grid.Render(writer);
    return t.nsecsElapsed() / 1e6;
}

// The same cells with nothing but QPainter: A4 at 300 dpi, the ledger's margins, font, row
// height and column widths; no header, footer or lines.
double BareLoop(const QFont& base, int rows, const QString& file, int* pages) {
    QElapsedTimer t;
    t.start();
    QPdfWriter writer(file);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 20, 15, 20), QPageLayout::Millimeter, QMarginsF()));
    QFont font = base;
    font.setPixelSize(qRound(base.pointSizeF() * 300 / 72));
    const QFontMetricsF fm(font);
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const double colW = 10 * fm.horizontalAdvance(sample) / sample.size() + 6 * 300 / 96.0;
    const double rowH = fm.height() * 1.6;
    const int perPage = std::max(1, int(writer.width() / colW));
    const int rowsPerPage = std::max(1, int(writer.height() / rowH) - 1);
    QPainter p(&writer);
    p.setFont(font);
    *pages = 0;
    for (int first = 1; first <= rows; first += rowsPerPage) {
        const int last = std::min(rows, first + rowsPerPage - 1);
        for (int firstCol = 0; firstCol < kCols; firstCol += perPage) {
            if ((*pages)++ > 0)
                writer.newPage();
            for (int c = firstCol; c < std::min(kCols, firstCol + perPage); ++c)
                p.drawText(QPointF((c - firstCol) * colW + 8, fm.ascent()),
                           QStringLiteral("列%1").arg(c + 1));
            for (int r = first; r <= last; ++r) {
                const QString text = RowText(r);
                const double y = (r - first + 1) * rowH + fm.ascent();
                qsizetype start = 0;
                for (int c = 0; c < kCols; ++c) {
                    const qsizetype bar = text.indexOf(u'|', start);
                    if (c >= firstCol && c < firstCol + perPage)
                        p.drawText(QPointF((c - firstCol) * colW + 8, y),
                                   QString::fromRawData(text.constData() + start, bar - start));
                    start = bar + 1;
                }
            }
        }
    }
    p.end();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the whole-document runs take a while
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const bool whole = !(argc > 2 && QByteArray(argv[2]) == "--preview-only");
    const QString dir = QDir::tempPath();
    std::printf("ledger print, %d rows x %d columns, A4 portrait at 300 dpi\n", rows, kCols);

    LedgerGrid served;
    SetUp(served, rows);
    Serve(served);
    std::printf("first preview page, served rows: %.0f ms (second time %.0f ms)\n", FirstPreviewPage(served),
                FirstPreviewPage(served));

    LedgerGrid own;
    SetUp(own, rows);
    QElapsedTimer fill;
    fill.start();
    Fill(own, rows);
    std::printf("filling own texts: %.0f ms\n", fill.nsecsElapsed() / 1e6);
    std::printf("first preview page, own texts: %.0f ms\n", FirstPreviewPage(own));
    if (!whole)
        return 0;

    int barePages = 0, servedPages = 0, ownPages = 0;
    const QString bareFile = dir + QStringLiteral("/bench_print_bare.pdf");
    const QString servedFile = dir + QStringLiteral("/bench_print_served.pdf");
    const QString ownFile = dir + QStringLiteral("/bench_print_own.pdf");
    const double bare = BareLoop(served.font(), rows, bareFile, &barePages);
    std::printf("bare QPainter loop to PDF: %.0f ms, %d pages (%.1f ms a page), %.0f MB\n", bare, barePages,
                bare / barePages, QFileInfo(bareFile).size() / 1e6);
    const double servedMs = WholeDocument(served, servedFile, &servedPages);
    std::printf(
        "whole document, served rows: %.0f ms, %d pages (%.1f ms a page), %.0f MB; %.2f x the bare loop\n",
        servedMs, servedPages, servedMs / servedPages, QFileInfo(servedFile).size() / 1e6, servedMs / bare);
    const double ownMs = WholeDocument(own, ownFile, &ownPages);
    std::printf("whole document, own texts: %.0f ms, %d pages (%.1f ms a page); %.2f x the bare loop\n",
                ownMs, ownPages, ownMs / ownPages, ownMs / bare);
    for (const QString& f : {bareFile, servedFile, ownFile})
        QFile::remove(f);
    return 0;
}
