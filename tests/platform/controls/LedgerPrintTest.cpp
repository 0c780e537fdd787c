#include "platform/controls/LedgerGrid.h"
#include "platform/controls/LedgerPreview.h"
#include "platform/ui/Prompt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zpp;
using namespace zpp::controls;

namespace {

struct Pdf {
    int pages = 0;
    QString pageSize;
    QStringList text; // one entry a page
};

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

Pdf ReadPdf(const QString& file) {
    Pdf pdf;
    // Qt's PDF text map names a glyph shared by an ideograph and a radical after the radical
    // (the lower code point): "页" reads back as U+2EDA although the page shows "页".
    pdf.text = Run("pdftotext", {"-layout", file, "-"}).replace(QChar(0x2EDA), u'页').split(u'\f');
    if (!pdf.text.isEmpty() && pdf.text.back().trimmed().isEmpty())
        pdf.text.removeLast();
    for (const QString& line : Run("pdfinfo", {file}).split(u'\n')) {
        if (line.startsWith("Pages:"))
            pdf.pages = line.mid(6).trimmed().toInt();
        if (line.startsWith("Page size:"))
            pdf.pageSize = line.mid(10).trimmed();
    }
    return pdf;
}

// The cells "R<row>C<col>" on a page, in reading order.
QList<QPair<int, int>> Cells(const QString& page) {
    static const QRegularExpression cell(QStringLiteral("\\bR(\\d+)C(\\d+)\\b"));
    QList<QPair<int, int>> cells;
    for (auto m = cell.globalMatch(page); m.hasNext();) {
        const auto match = m.next();
        cells.append({match.captured(1).toInt(), match.captured(2).toInt()});
    }
    return cells;
}

QList<int> RowsOf(const QString& page, int col = 1) {
    QList<int> rows;
    for (const auto& [r, c] : Cells(page))
        if (c == col)
            rows << r;
    return rows;
}

class LedgerPrint : public ::testing::Test {
protected:
    void TearDown() override {
        ui::SetModalHandler({});
        ui::SetPrompter(nullptr);
    }

    // Data rows are served, column 2 in Chinese. Captions are the sheet's own texts unless a
    // column is hidden by the caption row, which is then served as a report provider serves it.
    void Sheet(int rows, int cols, double width = 8, int hiddenByCaptions = 0) {
        // The page these cases measure; a new ledger's own is landscape, fitted to the width.
        grid.SetPageMode(PagesAcross);
        grid.SetOrientation(QPageLayout::Portrait);
        grid.ClearTexts();
        grid.SetMaxCols(cols);
        grid.SetMaxRows(rows + 1);
        for (int c = 1; c <= cols; ++c) {
            if (!hiddenByCaptions)
                grid.SetText(1, c, QStringLiteral("列%1").arg(c));
            grid.SetColWidth(c, width);
            grid.SetColHidden(c, false);
        }
        hidden = hiddenByCaptions;
        if (!served) {
            served = true;
            QObject::connect(&grid, &LedgerGrid::RowTextRequested, &grid, [this](int row, QString* text) {
                for (int c = 1; c <= grid.MaxCols(); ++c)
                    *text += row == 1 ? QStringLiteral("列%1|").arg(c)
                             : c == 2 ? QStringLiteral("螺栓%1|").arg(row - 1)
                                      : QStringLiteral("R%1C%2|").arg(row - 1).arg(c);
                if (row == 1 && hidden)
                    grid.SetColHidden(hidden, true);
            });
        }
        grid.HeadCells()[2].Text = "采购计划表";
        grid.HeadCells()[2].Font.setBold(true);
        grid.HeadCells()[2].Font.setPointSize(15);
        grid.FootCells()[2].Text = " 第&[页]页/共&[总页]页  ";
    }

    // Words printed below the page's printable area (pdftotext reads them all the same).
    int WordsBelowTheArea() const {
        const QString boxes =
            ::Run("pdftotext", {"-bbox", dir.filePath(QStringLiteral("p%1.pdf").arg(printed)), "-"});
        static const QRegularExpression page(QStringLiteral("<page width=\"[\\d.]+\" height=\"([\\d.]+)\""));
        static const QRegularExpression bottom(QStringLiteral("yMax=\"([\\d.]+)\""));
        const double height = page.match(boxes).captured(1).toDouble() - grid.Margin(Bottom) * 72 / 25.4;
        int off = 0;
        for (auto it = bottom.globalMatch(boxes); it.hasNext();)
            off += it.next().captured(1).toDouble() > height ? 1 : 0;
        return off;
    }

    Pdf Print(int* rendered = nullptr) {
        const QString file = dir.filePath(QStringLiteral("p%1.pdf").arg(++printed));
        QPdfWriter writer(file);
        const int pages = grid.Render(writer);
        if (rendered)
            *rendered = pages;
        return ReadPdf(file);
    }

    QTemporaryDir dir;
    LedgerGrid grid;
    bool served = false;
    int hidden = 0;
    int printed = 0;
};

} // namespace

TEST_F(LedgerPrint, PagesDownHoldEveryRowOnceUnderTitleCaptionsAndNumberedFooter) {
    Sheet(300, 6);
    int rendered = 0;
    const Pdf pdf = Print(&rendered);
    ASSERT_GT(rendered, 2);
    ASSERT_EQ(pdf.pages, rendered);
    ASSERT_EQ(pdf.text.size(), rendered);
    EXPECT_TRUE(pdf.pageSize.contains("A4")) << pdf.pageSize.toStdString();
    QList<int> rows;
    for (int p = 0; p < rendered; ++p) {
        const QString& page = pdf.text[p];
        EXPECT_TRUE(page.contains("采购计划表")) << p;
        EXPECT_TRUE(page.contains("列1") && page.contains("列6")) << "caption row on page " << p;
        EXPECT_TRUE(page.contains(QStringLiteral("第%1页/共%2页").arg(p + 1).arg(rendered))) << p;
        EXPECT_TRUE(page.contains("螺栓")) << p;
        rows << RowsOf(page);
    }
    QList<int> expected;
    for (int r = 1; r <= 300; ++r)
        expected << r;
    EXPECT_EQ(rows, expected);
}

TEST_F(LedgerPrint, HeaderFirstAndFooterLastOnlyNeverLoseRowsAtPageBreaks) {
    grid.SetOptions(grid.Options() & ~WholeHeadFooterPerPage);
    Sheet(300, 4);
    const Pdf probe = Print();
    ASSERT_GT(probe.pages, 2);
    const int first = int(RowsOf(probe.text[0]).size());
    const int other = int(RowsOf(probe.text[1]).size());
    EXPECT_GT(other, first) << "pages without the header hold more rows";
    // Around full pages the footer may need a page of its own.
    for (int rows : {1, first - 1, first, first + 1, first + other - 1, first + other, first + other + 1}) {
        Sheet(rows, 4);
        const Pdf pdf = Print();
        QList<int> seen;
        for (int p = 0; p < pdf.pages; ++p) {
            const QString& page = pdf.text[p];
            const bool last = p == pdf.pages - 1;
            EXPECT_EQ(page.contains("采购计划表"), p == 0) << rows << " rows, page " << p;
            EXPECT_EQ(page.contains(QStringLiteral("第%1页/共%2页").arg(p + 1).arg(pdf.pages)), last)
                << rows << " rows, page " << p;
            const QList<int> here = RowsOf(page);
            EXPECT_TRUE(!here.isEmpty() || last) << "an empty page before the end, " << rows << " rows";
            seen << here;
        }
        ASSERT_EQ(seen.size(), rows);
        EXPECT_EQ(seen.front(), 1);
        EXPECT_EQ(seen.back(), rows);
    }
}

// A document's title block prints once above the table and its closing block (totals) once
// below the last row, the footer staying on every page, whatever row the page breaks after.
TEST_F(LedgerPrint, TitleFirstAndClosingBelowTheLastRowNeverLoseRowsAtPageBreaks) {
    auto line = [](const char* left, const char* right) {
        LedgerLine l;
        l.Left.Text = QString::fromUtf8(left);
        l.Right.Text = QString::fromUtf8(right);
        return l;
    };
    grid.TitleLines() = {line("", ""), line("供应商：甲", "订单号：T1"), line("日期", "")};
    grid.TitleLines()[0].Centre.Text = "订货单";
    grid.TitleLines()[0].Centre.Font.setPointSize(18);
    grid.ClosingLines() = {line("共计", "Sum A: 1"), line("", "Sum B: 2"), line("", "Sum C: 3")};
    Sheet(300, 4);
    grid.HeadCells()[2].Text.clear();
    const Pdf probe = Print();
    ASSERT_GT(probe.pages, 2);
    const int first = int(RowsOf(probe.text[0]).size());
    const int other = int(RowsOf(probe.text[1]).size());
    EXPECT_GT(other, first) << "the title takes room on the first page only";
    for (int rows : {1, first - 2, first - 1, first, first + other - 1, first + other, first + other + 1}) {
        Sheet(rows, 4);
        grid.HeadCells()[2].Text.clear();
        const Pdf pdf = Print();
        EXPECT_EQ(WordsBelowTheArea(), 0) << rows << " rows";
        QList<int> seen;
        for (int p = 0; p < pdf.pages; ++p) {
            const QString& page = pdf.text[p];
            const bool last = p == pdf.pages - 1;
            EXPECT_EQ(page.contains("订单号"), p == 0) << rows << " rows, page " << p;
            for (const char* total : {"Sum A", "Sum B", "Sum C"})
                EXPECT_EQ(page.contains(QString::fromUtf8(total)), last) << total << ", " << rows << " rows";
            EXPECT_TRUE(page.contains(QStringLiteral("第%1页/共%2页").arg(p + 1).arg(pdf.pages))) << p;
            const QList<int> here = RowsOf(page);
            EXPECT_TRUE(!here.isEmpty() || last) << "an empty page before the end, " << rows << " rows";
            if (last && !here.isEmpty())
                EXPECT_GT(page.indexOf("Sum A"), page.indexOf(QStringLiteral("R%1C1").arg(rows)))
                    << rows << " rows";
            seen << here;
        }
        ASSERT_EQ(seen.size(), rows);
        EXPECT_EQ(seen.back(), rows);
    }
}

TEST_F(LedgerPrint, PagesAcrossCarryTheRestOfTheColumnsAndFitToWidthNeedsNone) {
    Sheet(120, 20, 12, 5);
    grid.SetOptions(grid.Options() & ~PhysicPages);
    const Pdf pdf = Print();
    ASSERT_GT(pdf.pages, 2);
    const QList<int> firstRows = RowsOf(pdf.text[0]);
    int across = 1;
    while (across < pdf.pages &&
           RowsOf(pdf.text[across], Cells(pdf.text[across]).value(0).second) == firstRows)
        ++across;
    ASSERT_GE(across, 2);
    ASSERT_EQ(pdf.pages % across, 0);
    const int down = pdf.pages / across;
    QList<int> columns;
    for (int p = 0; p < across; ++p) {
        QList<int> here;
        for (const auto& [r, c] : Cells(pdf.text[p]))
            if (r == firstRows.front())
                here << c;
        EXPECT_TRUE(pdf.text[p].contains("采购计划表")) << "across page " << p;
        EXPECT_TRUE(pdf.text[p].contains(QStringLiteral("第1页/共%1页").arg(down))) << "shares its number";
        columns << here;
    }
    EXPECT_EQ(columns, QList<int>({1, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}))
        << "each shown column once, in order, the one the caption row hides left out from the first print";

    grid.SetOptions(grid.Options() | PhysicPages);
    const Pdf physic = Print();
    EXPECT_TRUE(physic.text[1].contains(QStringLiteral("第2页/共%1页").arg(pdf.pages)));

    grid.SetPageMode(FitToWidth);
    const Pdf fit = Print();
    EXPECT_LE(fit.pages, down) << "smaller rows, more of them a page";
    QList<int> rows;
    for (const QString& page : fit.text) {
        const auto cells = Cells(page);
        const int first = cells.value(0).first;
        EXPECT_TRUE(cells.contains({first, 1}) && cells.contains({first, 20})) << "all columns on one page";
        EXPECT_TRUE(page.contains("列20"));
        rows << RowsOf(page);
    }
    EXPECT_EQ(rows.size(), 120);
}

TEST_F(LedgerPrint, EveryOptionChangesThePreviewedPage) {
    Sheet(30, 5);
    grid.HeadCells()[3].Text = "彩色";
    grid.HeadCells()[3].Fore = Qt::red;
    struct Look {
        int ink = 0, colour = 0, left = 1 << 20, top = 1 << 20, bottom = 0, pages = 0;
    };
    auto look = [&](int options) {
        grid.SetOptions(options);
        Look l;
        ui::SetModalHandler([&](QDialog& d) {
            auto* preview = dynamic_cast<LedgerPreview*>(&d);
            EXPECT_NE(preview, nullptr);
            preview->SetZoom(1.0);
            l.pages = preview->PageCount();
            const QImage image = d.findChild<QWidget*>("pagePreview")->grab().toImage();
            for (int y = 20; y < image.height() - 20; ++y)
                for (int x = 20; x < image.width() - 20; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.hsvSaturation() > 60 && c.value() > 60)
                        ++l.colour;
                    if (qGray(c.rgb()) < 128) {
                        ++l.ink;
                        l.left = std::min(l.left, x);
                        l.top = std::min(l.top, y);
                        l.bottom = std::max(l.bottom, y);
                    }
                }
            return int(QDialog::Rejected);
        });
        grid.PrintOut(7);
        return l;
    };
    const int base = ColorPrint | WholeHeadFooterPerPage;
    const Look plain = look(base);
    ASSERT_EQ(plain.pages, 1);
    ASSERT_GT(plain.ink, 0);
    EXPECT_GT(plain.colour, 0);
    EXPECT_EQ(look(base & ~ColorPrint).colour, 0);
    EXPECT_GT(look(base | GridExtend).bottom, plain.bottom + 100);
    EXPECT_GT(look(base | FooterAtPageBottom).bottom, plain.bottom + 100);
    EXPECT_LT(look(base | SavingPaper).bottom, plain.bottom - 20);
    EXPECT_GT(look(base | CenterHorz).left, plain.left + 50);
    EXPECT_GT(look(base | CenterVert).top, plain.top + 50);
    for (int option : {NotPrtFrame, NotPrtHLine, NotPrtVLine})
        EXPECT_LT(look(base | option).ink, plain.ink - 50) << option;
}

TEST_F(LedgerPrint, PreviewPagesPrintAndSaveAsPdf) {
    Sheet(400, 4);
    auto prompts = std::make_shared<ui::ScriptedPrompter>();
    ui::SetPrompter(prompts);
    const QString saved = dir.filePath("preview.pdf");
    const QString unwritable = dir.filePath("missing/preview.pdf");
    {
        QFile old(saved);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    int pageCount = 0;
    QString target;
    ui::SetModalHandler([&](QDialog& d) {
        if (d.objectName() == "dlgSavePdf") {
            static_cast<QFileDialog&>(d).selectFile(target);
            return int(QDialog::Accepted);
        }
        auto& preview = dynamic_cast<LedgerPreview&>(d);
        pageCount = preview.PageCount();
        EXPECT_TRUE(d.findChild<QLabel*>("lblPageCount")->text().contains(QString::number(pageCount)));
        d.findChild<QAction*>("actNext")->trigger();
        EXPECT_EQ(preview.CurrentPage(), 2);
        d.findChild<QAction*>("actLast")->trigger();
        EXPECT_EQ(preview.CurrentPage(), pageCount);
        d.findChild<QAction*>("actNext")->trigger();
        EXPECT_EQ(preview.CurrentPage(), pageCount);
        target = unwritable;
        d.findChild<QAction*>("actPdf")->trigger();
        target = saved;
        d.findChild<QAction*>("actPdf")->trigger();
        return int(QDialog::Rejected);
    });
    grid.PrintOut(7);
    ASSERT_GT(pageCount, 1);
    ASSERT_EQ(prompts->Log.size(), 1) << "a failed write says so";
    EXPECT_TRUE(prompts->Log[0].Text.contains(unwritable)) << prompts->Log[0].Text.toStdString();
    // The old file is replaced by the whole PDF, with nothing left beside it.
    const Pdf pdf = ReadPdf(saved);
    EXPECT_EQ(pdf.pages, pageCount);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"preview.pdf"});

    // The print dialog's printer is where the pages go.
    const QString printed = dir.filePath("printed.pdf");
    ui::SetModalHandler([&](QDialog& d) {
        QPrinter* printer = dynamic_cast<QPrintDialog&>(d).printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printed);
        return int(QDialog::Accepted);
    });
    grid.PrintOut(3);
    EXPECT_EQ(ReadPdf(printed).pages, pageCount);
    ui::SetModalHandler([&](QDialog&) { return int(QDialog::Rejected); });
    grid.PrintOut(3);
    grid.PrintOut(5);
}

TEST(LedgerSettings, IniAndHeadFootRecordAreReadAndBadValuesKeepDefaults) {
    QTemporaryDir dir;
    LedgerGrid source;
    source.SetOptions(0);
    QByteArray a3;
    {
        // A block as the setup dialog leaves it, A3 across.
        ui::SetModalHandler([](QDialog& d) {
            auto* paper = d.findChild<QComboBox*>("cboPaperSize");
            paper->setCurrentIndex(paper->findText("A3"));
            d.findChild<QRadioButton*>("optLandscape")->setChecked(true);
            return int(QDialog::Accepted);
        });
        ASSERT_TRUE(source.PrinterSetup());
        ui::SetModalHandler({});
        a3 = source.PrinterSettings();
    }
    QStringList bytes;
    for (char b : a3)
        bytes << QString::number(quint8(b));
    const QString ini = dir.filePath("report.ini");
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[Other]\nPageTopMargin=99\n[ReportView]\nPrintSetting=" + bytes.join('|') +
             "\nPageTopMargin=25.5\nPageLeftMargin=abc\nPageRightMargin=-3\nPageBottomMargin=12\n"
             "PageMode=1\nCenterHorz=1\nColorPrint=0\nGridExtend=2\nPN=0\nSavingPaper=1\n")
                .toUtf8());
    f.close();

    LedgerGrid grid;
    const double left = grid.Margin(Left), right = grid.Margin(Right);
    const int options = grid.Options();
    const QString record =
        QStringLiteral("2Head=采购计划表л2HeadFontBoldd=-1л2HeadFontSize=15л2HeadFontName=Noto Sans "
                       "CJK SCл2HeadForeColor=255л2HeadBackColor=16711680л3Head=a=bл"
                       "3HeadFontSize=hugeл3HeadForeColor=xл4HeadFontItalic=-1л"
                       "2Foot= 第&[页]页л2FootFontBold=-1л2FootFontUnderline=-1л0Foot=备注л"
                       "NoteText=说明л");
    grid.LoadSettings(ini, record);

    EXPECT_EQ(grid.Margin(Top), 25.5);
    EXPECT_EQ(grid.Margin(Bottom), 12);
    EXPECT_EQ(grid.Margin(Left), left);
    EXPECT_EQ(grid.Margin(Right), right);
    EXPECT_EQ(grid.PageMode(), FitToWidth);
    EXPECT_EQ(grid.Options(), (options | CenterHorz | SavingPaper) & ~(ColorPrint | PageNumbers));
    EXPECT_EQ(grid.PrinterSettings(), a3);

    const LedgerCell& title = grid.HeadCells()[2];
    EXPECT_EQ(title.Text, "采购计划表");
    EXPECT_TRUE(title.Font.bold());
    EXPECT_EQ(title.Font.pointSizeF(), 15);
    EXPECT_EQ(title.Font.family(), "Noto Sans CJK SC");
    EXPECT_EQ(title.Fore, QColor(255, 0, 0));
    EXPECT_EQ(title.Back, QColor(0, 0, 255));
    EXPECT_EQ(grid.HeadCells()[3].Text, "a=b");
    EXPECT_EQ(grid.HeadCells()[3].Fore, QColor(Qt::black));
    EXPECT_EQ(grid.HeadCells()[3].Font.pointSizeF(), LedgerCell().Font.pointSizeF());
    EXPECT_TRUE(grid.HeadCells()[4].Font.italic());
    EXPECT_EQ(grid.FootCells()[2].Text, " 第&[页]页");
    EXPECT_TRUE(grid.FootCells()[2].Font.bold() && grid.FootCells()[2].Font.underline());
    EXPECT_EQ(grid.FootCells()[0].Text, "备注");
    EXPECT_EQ(grid.NoteText(), "说明");

    // Blocks this code did not write change nothing.
    for (const QByteArray& bad : {QByteArray("garbage"), QByteArray(), a3.left(a3.size() - 1)}) {
        grid.SetPrinterSettings(bad);
        EXPECT_EQ(grid.PrinterSettings(), a3);
    }
    LedgerGrid untouched;
    untouched.LoadSettings(dir.filePath("missing.ini"), "nonsense");
    EXPECT_EQ(untouched.Options(), LedgerGrid().Options());

    QPdfWriter writer(dir.filePath("a3.pdf"));
    grid.Render(writer);
    EXPECT_TRUE(ReadPdf(dir.filePath("a3.pdf")).pageSize.contains("A3"));
}

TEST(LedgerSetup, AcceptAppliesTheDialogAndRejectLeavesTheControlAlone) {
    LedgerGrid grid;
    const int options = grid.Options();
    auto edit = [](QDialog& d) {
        d.findChild<QDoubleSpinBox*>("txtMarginLeft")->setValue(33);
        d.findChild<QCheckBox*>("chkGridExtend")->setChecked(true);
        d.findChild<QCheckBox*>("chkColorPrint")->setChecked(false);
        auto* cells = d.findChild<QTableWidget*>("grdHeadFoot");
        cells->item(2, 0)->setText("采购计划表");
        cells->item(2, 1)->setCheckState(Qt::Checked);
        cells->item(12, 0)->setText("第&[页]页");
        EXPECT_FALSE(d.findChild<QPushButton*>("cmdOK")->accessibleName().isEmpty());
    };
    ui::SetModalHandler([&](QDialog& d) {
        edit(d);
        d.findChild<QPushButton*>("cmdCancel")->click();
        return d.result();
    });
    EXPECT_FALSE(grid.PrinterSetup());
    EXPECT_EQ(grid.Margin(Left), 15);
    EXPECT_EQ(grid.Options(), options);
    EXPECT_TRUE(grid.HeadCells()[2].Text.isEmpty());

    ui::SetModalHandler([&](QDialog& d) {
        edit(d);
        d.findChild<QPushButton*>("cmdOK")->click();
        return d.result();
    });
    EXPECT_TRUE(grid.PrinterSetup());
    ui::SetModalHandler({});
    EXPECT_EQ(grid.Margin(Left), 33);
    EXPECT_EQ(grid.Options(), (options | GridExtend) & ~ColorPrint);
    EXPECT_EQ(grid.HeadCells()[2].Text, "采购计划表");
    EXPECT_TRUE(grid.HeadCells()[2].Font.bold());
    EXPECT_EQ(grid.FootCells()[2].Text, "第&[页]页");
}
