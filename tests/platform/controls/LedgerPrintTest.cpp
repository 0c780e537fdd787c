#include "platform/Golden.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/LedgerPreview.h"
#include "platform/ui/Prompt.h"
#include "support/Documents.h"

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
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace zpp;
using namespace zpp::controls;
using test::RunTool;

namespace {

struct Pdf {
    int pages = 0;
    QString pageSize;
    QStringList text; // one entry a page
};

Pdf ReadPdf(const QString& file) {
    Pdf pdf;
    pdf.text = test::PdfText(file).split(u'\f');
    if (!pdf.text.isEmpty() && pdf.text.back().trimmed().isEmpty())
        pdf.text.removeLast();
    for (const QString& line : RunTool("pdfinfo", {file}).split(u'\n')) {
        if (line.startsWith("Pages:"))
            pdf.pages = line.mid(6).trimmed().toInt();
        if (line.startsWith("Page size:"))
            pdf.pageSize = line.mid(10).trimmed();
    }
    return pdf;
}

// "1-3,5" for {1, 2, 3, 5}.
QString Ranges(const std::set<int>& values) {
    QStringList out;
    for (auto it = values.begin(); it != values.end();) {
        const int first = *it;
        int last = first;
        while (++it != values.end() && *it == last + 1)
            ++last;
        out << (first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last));
    }
    return out.join(u',');
}

// One line a page: what it shows in reading order, each run of caption cells ("列<col>") and
// of data cells ("R<row>C<col>", column 2 as "螺栓<row>") told as the columns and rows it holds.
QString Describe(const Pdf& pdf) {
    static const QRegularExpression token(QStringLiteral(
        "采购计划表|订单号|Sum [ABC]|第\\d+页/共\\d+页|列(\\d+)|\\bR(\\d+)C(\\d+)\\b|螺栓(\\d+)"));
    QString out;
    for (int p = 0; p < pdf.text.size(); ++p) {
        QStringList parts;
        std::set<int> captions, rows, cols;
        auto flush = [&] {
            if (!captions.empty())
                parts << "列" + Ranges(captions);
            if (!rows.empty())
                parts << "R" + Ranges(rows) + " C" + Ranges(cols);
            captions.clear(), rows.clear(), cols.clear();
        };
        for (auto it = token.globalMatch(pdf.text[p]); it.hasNext();) {
            const auto m = it.next();
            if (!m.captured(1).isEmpty()) {
                captions.insert(m.captured(1).toInt());
            } else if (!m.captured(2).isEmpty() || !m.captured(4).isEmpty()) {
                rows.insert(m.captured(m.captured(4).isEmpty() ? 2 : 4).toInt());
                cols.insert(m.captured(4).isEmpty() ? m.captured(3).toInt() : 2);
            } else {
                flush();
                parts << m.captured(0);
            }
        }
        flush();
        out += QStringLiteral("  %1: %2\n").arg(p + 1).arg(parts.join(u' '));
    }
    return out;
}

// What a ledger prints with: margins, page mode, options, note, and every head and foot cell
// that is not as a new ledger has it.
QString Told(LedgerGrid& g) {
    QString out =
        QStringLiteral("margins top %1 bottom %2 left %3 right %4, page mode %5, options 0x%6, note %7\n")
            .arg(g.Margin(Top))
            .arg(g.Margin(Bottom))
            .arg(g.Margin(Left))
            .arg(g.Margin(Right))
            .arg(g.PageMode())
            .arg(g.Options(), 0, 16)
            .arg(g.NoteText());
    const LedgerCell plain;
    for (int i = 0; i < 20; ++i) {
        const LedgerCell& c = i < 10 ? g.HeadCells()[i] : g.FootCells()[i - 10];
        const QFont& f = c.Font;
        if (c.Text != plain.Text || f != plain.Font || c.Fore != plain.Fore || c.Back != plain.Back)
            out += QStringLiteral("%1 %2 \"%3\" %4 %5pt")
                       .arg(i < 10 ? "head" : "foot")
                       .arg(i % 10)
                       .arg(c.Text, f.family())
                       .arg(f.pointSizeF()) +
                   (f.bold() ? " bold" : "") + (f.italic() ? " italic" : "") +
                   (f.underline() ? " underlined" : "") +
                   QStringLiteral(" %1 on %2\n").arg(c.Fore.name(), c.Back.name());
    }
    return out;
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
        grid.SetMaxCols(cols);
        grid.SetMaxRows(rows + 1);
        for (int c = 1; c <= cols; ++c) {
            grid.SetColWidth(c, width);
            grid.SetColHidden(c, false);
        }
        grid.ClearTexts(); // the caption row is asked for again at the next print
        hidden = hiddenByCaptions;
        for (int c = 1; c <= cols && !hidden; ++c)
            grid.SetText(1, c, QStringLiteral("列%1").arg(c));
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
    int WordsBelowTheArea(const QString& file) const {
        const QString boxes = RunTool("pdftotext", {"-bbox", file, "-"});
        static const QRegularExpression page(QStringLiteral("<page width=\"[\\d.]+\" height=\"([\\d.]+)\""));
        static const QRegularExpression bottom(QStringLiteral("yMax=\"([\\d.]+)\""));
        const double height = page.match(boxes).captured(1).toDouble() - grid.Margin(Bottom) * 72 / 25.4;
        int off = 0;
        for (auto it = bottom.globalMatch(boxes); it.hasNext();)
            off += it.next().captured(1).toDouble() > height ? 1 : 0;
        return off;
    }

    // Prints the sheet and tells its pages under a heading naming the case.
    Pdf Print(const QString& name) {
        const QString file = dir.filePath(QStringLiteral("p%1.pdf").arg(++printed));
        QPdfWriter writer(file);
        const int rendered = grid.Render(writer);
        const Pdf pdf = ReadPdf(file);
        EXPECT_EQ(pdf.pages, rendered) << name.toStdString();
        EXPECT_EQ(WordsBelowTheArea(file), 0) << name.toStdString();
        described +=
            QStringLiteral("%1: %2 pages, %3\n").arg(name).arg(pdf.pages).arg(pdf.pageSize) + Describe(pdf);
        return pdf;
    }

    QTemporaryDir dir;
    LedgerGrid grid;
    bool served = false;
    int hidden = 0;
    int printed = 0;
    QString described;
};

int RowsOn(const QString& page) {
    static const QRegularExpression firstCell(QStringLiteral("\\bR\\d+C1\\b"));
    return int(page.count(firstCell));
}

} // namespace

// Every row once, in order; the header (title) and footer (numbered pages) on every page or
// only the first and last; a title block above the table and a closing block (totals) below
// the last row, whatever row a page breaks after; columns that do not fit carried to pages
// across, the one the caption row hides left out; or the table fitted to the width.
TEST_F(LedgerPrint, PagesMatchTheirGoldenDescriptions) {
    Sheet(300, 6);
    ASSERT_GT(Print("down").pages, 2);

    const int options = grid.Options();
    Sheet(120, 20, 12, 5);
    grid.SetOptions(options & ~PhysicPages);
    Print("across");
    grid.SetOptions(options);
    Print("across, physic pages");
    grid.SetPageMode(FitToWidth);
    Print("fit to width");

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
    // Around full pages the closing block or the footer may need a page of its own.
    for (const bool everyPage : {true, false}) {
        grid.SetOptions(everyPage ? options : options & ~WholeHeadFooterPerPage);
        if (!everyPage)
            grid.TitleLines().clear(), grid.ClosingLines().clear();
        Sheet(300, 4);
        const Pdf probe = Print(everyPage ? "title and closing" : "head first, foot last");
        ASSERT_GT(probe.pages, 2);
        const int first = RowsOn(probe.text[0]), other = RowsOn(probe.text[1]);
        EXPECT_GT(other, first) << "the first page gives room to the title or header";
        for (int rows : {1, first - 2, first - 1, first, first + 1, first + other - 1, first + other,
                         first + other + 1}) {
            Sheet(rows, 4);
            Print(QStringLiteral("%1 rows").arg(rows));
        }
    }
    test::ExpectGolden("pages.txt", described.toUtf8());
}

TEST_F(LedgerPrint, EveryOptionChangesThePreviewedPage) {
    Sheet(30, 5);
    grid.HeadCells()[3].Text = "彩色";
    grid.HeadCells()[3].Fore = Qt::red;
    struct Look {
        int ink = 0, colour = 0, left = 1 << 20, top = 1 << 20, bottom = 0, pages = 0;
        int redBottom = 0, captionTop = 1 << 20; // the last red line; the caption row's first
    };
    auto look = [&](int options) {
        grid.SetOptions(options);
        Look l;
        ui::SetModalHandler([&](QDialog& d) {
            auto* preview = dynamic_cast<LedgerPreview*>(&d);
            EXPECT_NE(preview, nullptr);
            preview->SetZoom(1.0);
            l.pages = preview->PageCount();
            EXPECT_EQ(d.findChild<QSpinBox*>("spnPage")->maximum(), l.pages) << "no page past the last";
            const QImage image = d.findChild<QWidget*>("pagePreview")->grab().toImage();
            for (int y = 20; y < image.height() - 20; ++y)
                for (int x = 20; x < image.width() - 20; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.hsvSaturation() > 60 && c.value() > 60)
                        ++l.colour;
                    if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                        l.redBottom = y;
                    if (std::abs(c.red() - 221) + std::abs(c.green() - 230) + std::abs(c.blue() - 241) < 8)
                        l.captionTop = std::min(l.captionTop, y);
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
    EXPECT_GT(plain.redBottom, 0);
    EXPECT_LT(plain.redBottom, plain.captionTop) << "captions print black after a coloured header";
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
    grid.LoadSettings(
        ini, QStringLiteral("2Head=采购计划表л2HeadFontBoldd=-1л2HeadFontSize=15л2HeadFontName=Noto "
                            "Sans CJK SCл2HeadForeColor=255л2HeadBackColor=16711680л3Head=a=bл"
                            "3HeadFontSize=hugeл3HeadForeColor=xл4HeadFontItalic=-1л2Foot= "
                            "第&[页]页л2FootFontBold=-1л2FootFontUnderline=-1л0Foot=备注лNoteText=说明л"));
    // Bad margins, sizes and colours keep the defaults; the other section is not read.
    test::ExpectGolden("settings.txt", Told(grid).toUtf8());
    EXPECT_EQ(grid.PrinterSettings(), a3);

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
    auto edit = [](QDialog& d) {
        d.findChild<QDoubleSpinBox*>("txtMarginLeft")->setValue(33);
        d.findChild<QCheckBox*>("chkGridExtend")->setChecked(true);
        d.findChild<QCheckBox*>("chkColorPrint")->setChecked(false);
        auto* cells = d.findChild<QTableWidget*>("grdHeadFoot");
        cells->item(2, 0)->setText("采购计划表");
        cells->item(2, 1)->setCheckState(Qt::Checked);
        cells->item(12, 0)->setText("第&[页]页");
        EXPECT_FALSE(d.findChild<QPushButton*>("cmdOK")->accessibleName().isEmpty());
        QStringList labels; // each margin box says which side it sets
        for (const QLabel* label :
             d.findChild<QDoubleSpinBox*>("txtMarginLeft")->parentWidget()->findChildren<QLabel*>())
            labels << label->text();
        EXPECT_EQ(labels, QStringList({"上", "下", "左", "右"}));
    };
    ui::SetModalHandler([&](QDialog& d) {
        edit(d);
        d.findChild<QPushButton*>("cmdCancel")->click();
        return d.result();
    });
    const QString before = Told(grid);
    EXPECT_FALSE(grid.PrinterSetup());
    EXPECT_EQ(Told(grid), before);

    ui::SetModalHandler([&](QDialog& d) {
        edit(d);
        d.findChild<QPushButton*>("cmdOK")->click();
        return d.result();
    });
    EXPECT_TRUE(grid.PrinterSetup());
    ui::SetModalHandler({});
    test::ExpectGolden("setup.txt", Told(grid).toUtf8());
}
