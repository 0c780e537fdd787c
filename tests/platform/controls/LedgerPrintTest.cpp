#include "platform/Golden.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/LedgerPreview.h"
#include "platform/ui/Prompt.h"
#include "support/Documents.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPdfWriter>
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
using test::Fmt;
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
    const QString info = RunTool("pdfinfo", {file});
    pdf.pages = QRegularExpression("Pages: *(\\d+)").match(info).captured(1).toInt();
    pdf.pageSize = QRegularExpression("Page size: *(.*)").match(info).captured(1);
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
        out << (first == last ? QString::number(first) : Fmt("%1-%2", first, last));
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
        out += Fmt("  %1: %2\n", p + 1, parts.join(u' '));
    }
    return out;
}

// What a ledger prints with: margins, page mode, options, note, and every head and foot cell
// that is not as a new ledger has it.
QString Told(LedgerGrid& g) {
    QString out = Fmt("margins top %1 bottom %2 left %3 right %4, page mode %5, options 0x%6, note %7\n",
                      g.Margin(Top), g.Margin(Bottom), g.Margin(Left), g.Margin(Right), g.PageMode(),
                      QString::number(g.Options(), 16), g.NoteText());
    const LedgerCell plain;
    for (int i = 0; i < 20; ++i) {
        const LedgerCell& c = i < 10 ? g.HeadCells()[i] : g.FootCells()[i - 10];
        const QFont& f = c.Font;
        if (c.Text != plain.Text || f != plain.Font || c.Fore != plain.Fore || c.Back != plain.Back)
            out += Fmt("%1 %2 \"%3\" %4 %5pt%6%7%8 %9 on %10\n", i < 10 ? "head" : "foot", i % 10, c.Text,
                       f.family(), f.pointSizeF(), f.bold() ? " bold" : "", f.italic() ? " italic" : "",
                       f.underline() ? " underlined" : "", c.Fore.name(), c.Back.name());
    }
    return out;
}

class LedgerPrint : public ::testing::Test {
protected:
    // Data rows are served, column 2 in Chinese; a column hidden by the caption row is hidden
    // when that row is asked for, as a report provider does it.
    void SetUp() override {
        QObject::connect(&grid, &LedgerGrid::RowTextRequested, &grid, [this](int row, QString* text) {
            for (int c = 1; c <= grid.MaxCols(); ++c)
                *text += row == 1 ? Fmt("列%1|", c)
                         : c == 2 ? Fmt("螺栓%1|", row - 1)
                                  : Fmt("R%1C%2|", row - 1, c);
            if (row == 1 && hidden)
                grid.SetColHidden(hidden, true);
        });
    }
    void TearDown() override { ui::SetModalHandler({}); }

    // Captions are the sheet's own texts unless a column is hidden by the caption row.
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
            grid.SetText(1, c, Fmt("列%1", c));
        grid.HeadCells()[2].Text = "采购计划表";
        grid.HeadCells()[2].Font.setBold(true);
        grid.HeadCells()[2].Font.setPointSize(15);
        grid.FootCells()[2].Text = " 第&[页]页/共&[总页]页  ";
    }

    // Prints the sheet and tells its pages under a heading naming the case.
    Pdf Print(const QString& name) {
        const QString file = dir.filePath(QStringLiteral("p%1.pdf").arg(++printed));
        QPdfWriter writer(file);
        const int rendered = grid.Render(writer);
        const Pdf pdf = ReadPdf(file);
        EXPECT_EQ(pdf.pages, rendered) << name.toStdString();
        described += Fmt("%1: %2 pages, %3\n", name, pdf.pages, pdf.pageSize) + Describe(pdf);
        return pdf;
    }

    QTemporaryDir dir;
    LedgerGrid grid;
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
            Print(Fmt("%1 rows", rows));
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
            auto& preview = dynamic_cast<LedgerPreview&>(d);
            preview.SetZoom(1.0);
            l.pages = preview.PageCount();
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
    ASSERT_TRUE(plain.ink > 0 && plain.colour > 0 && plain.redBottom > 0);
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
// The setup dialog changes the ledger, its paper too, on OK only, and says which side each margin
// box sets.
TEST(LedgerSetup, TheDialogAppliesOnOkOnly) {
    LedgerGrid grid;
    for (const char* button : {"cmdCancel", "cmdOK"}) {
        ui::SetModalHandler([&](QDialog& d) {
            d.findChild<QDoubleSpinBox*>("txtMarginLeft")->setValue(33);
            d.findChild<QCheckBox*>("chkGridExtend")->setChecked(true);
            d.findChild<QCheckBox*>("chkColorPrint")->setChecked(false);
            auto* cells = d.findChild<QTableWidget*>("grdHeadFoot");
            cells->item(2, 0)->setText("采购计划表");
            cells->item(2, 1)->setCheckState(Qt::Checked);
            cells->item(12, 0)->setText("第&[页]页");
            auto* paper = d.findChild<QComboBox*>("cboPaperSize");
            paper->setCurrentIndex(paper->findText("A3"));
            d.findChild<QRadioButton*>("optLandscape")->setChecked(true);
            QStringList labels;
            for (const QLabel* label :
                 d.findChild<QDoubleSpinBox*>("txtMarginLeft")->parentWidget()->findChildren<QLabel*>())
                labels << label->text();
            EXPECT_EQ(labels, QStringList({"上", "下", "左", "右"}));
            d.findChild<QPushButton*>(button)->click();
            return d.result();
        });
        const QString before = Told(grid);
        const QByteArray block = grid.PrinterSettings();
        const bool accepted = grid.PrinterSetup();
        ui::SetModalHandler({});
        EXPECT_EQ(accepted, QString(button) == "cmdOK");
        if (!accepted)
            EXPECT_TRUE(Told(grid) == before && grid.PrinterSettings() == block);
    }
    test::ExpectGolden("setup.txt", Told(grid).toUtf8());

    // Blocks this code did not write change nothing.
    const QByteArray a3 = grid.PrinterSettings();
    for (const QByteArray& bad : {QByteArray("garbage"), QByteArray(), a3.left(a3.size() - 1)}) {
        grid.SetPrinterSettings(bad);
        EXPECT_EQ(grid.PrinterSettings(), a3);
    }
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath("a3.pdf"));
    grid.Render(writer);
    EXPECT_TRUE(ReadPdf(dir.filePath("a3.pdf")).pageSize.contains("A3"));
}
