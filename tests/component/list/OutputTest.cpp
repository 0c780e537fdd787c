#include "ListFakes.h"
#include "platform/controls/LedgerGrid.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTableView>

using namespace zpp;
using namespace zpp::test;

// Export, print and page settings of the list through a real ledger and export component.
class Output : public ControllerFixture {
protected:
    QTemporaryDir out;
    controls::LedgerGrid ledger;
    QStringList dialogs;

    void SetUp() override {
        ControllerFixture::SetUp();
        ui->SetLedger(&ledger);
        QObject::connect(&ledger, &controls::LedgerGrid::RowTextRequested, &ledger,
                         [this](int row, QString* text) {
                             if (row == 1)
                                 ui->PreviewDetail()->TRowData(1, *text);
                             else
                                 ui->PreviewDetail()->DRowData(row, 0, *text);
                         });
    }
    // Answers the export dialog with a file and a format, or cancels it.
    void ExportTo(const QString& path, int format) {
        ui::SetModalHandler([this, path, format](QDialog& d) {
            dialogs << d.objectName();
            auto* file = d.findChild<QLineEdit*>("txtFile");
            auto* formats = d.findChild<QComboBox*>("cboFormat");
            if (!file || !formats || path.isEmpty())
                return int(QDialog::Rejected);
            formats->setCurrentIndex(format);
            file->setText(path);
            return int(QDialog::Accepted);
        });
    }
    int Logged(const char* code) const {
        return int(std::count_if(World().Log.begin(), World().Log.end(),
                                 [&](const LogLine& l) { return l.Code == QLatin1String(code); }));
    }
    static QString Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QString Run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

TEST_F(Output, ExportWritesTheSelectedBlocksAndTheVisibleColumnsWithNumbersAsNumbers) {
    Load(6, 100);
    controls::SpreadGrid& g = host.grid;
    g.SetColHidden(col::ItemName, true); // hidden by the user; its definition does not say
    auto* selection = g.View()->selectionModel();
    for (int r : {2, 3, 5})
        selection->select(g.View()->model()->index(r - 1, col::ItemNumber - 1), QItemSelectionModel::Select);
    const QString path = out.filePath("plan.csv");
    ExportTo(path, 1);
    ui->FileExport();
    const QStringList lines = Read(path).remove(QChar(0xfeff)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << Read(path).toStdString();
    const QStringList captions = lines[0].split(',');
    EXPECT_FALSE(captions.contains("物料名称"));
    EXPECT_FALSE(captions.contains("内码")) << "columns hidden by definition stay out";
    const int item = int(captions.indexOf("物料代码"));
    QStringList items;
    for (int i = 1; i < lines.size(); ++i)
        items << lines[i].split(',').value(item);
    EXPECT_EQ(items, QStringList({"1.01.002", "1.01.003", "1.01.005"}));

    // Without a selection every row goes out; a cancelled dialog writes and logs nothing.
    selection->clearSelection();
    ExportTo(out.filePath("all.xlsx"), 0);
    ui->FileExport();
    ExportTo({}, 0);
    ui->FileExport();
    EXPECT_EQ(Logged("CGPlan004"), 2);
    EXPECT_TRUE(prompts->Log.isEmpty());
    // The quantity 200.00 of row 2 is a number cell; the item code a text cell.
    const QString sheet = Run("unzip", {"-p", out.filePath("all.xlsx"), "xl/worksheets/sheet1.xml"});
    EXPECT_TRUE(sheet.contains("<v>200</v>")) << sheet.left(2000).toStdString();
    EXPECT_TRUE(sheet.contains("1.01.006"));
    EXPECT_FALSE(sheet.contains("<v>1.01.002</v>"));

    // An empty list exports nothing and says nothing.
    dialogs.clear();
    Load(0);
    ui->FileExport();
    EXPECT_TRUE(dialogs.isEmpty());
}

TEST_F(Output, PrintShowsTheGridsColumnsTheTitleOnceAndPageFooterAndIsLoggedEvenWhenEmpty) {
    Load(3, 100);
    // Hidden by the user straight before printing; nothing has painted the ledger or exported.
    host.grid.SetColHidden(col::ItemName, true);
    host.grid.SetText(col::Memo, 2, "note|B"); // what the grid shows is printed, edits included
    int printed = 0;
    auto print = [&] {
        const QString pdf = out.filePath(QString("plan%1.pdf").arg(++printed));
        ui::SetModalHandler([&, pdf](QDialog& d) {
            dialogs << d.metaObject()->className();
            auto* print = qobject_cast<QPrintDialog*>(&d);
            if (!print)
                return int(QDialog::Rejected);
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
            return int(QDialog::Accepted);
        });
        ui->PrintPre();
        // The PDF's text names the glyph of 页 by its radical.
        const QString text = Run("pdftotext", {"-layout", pdf, "-"}).replace(QChar(0x2EDA), QChar(0x9875));
        EXPECT_EQ(text.count("采购计划表"), 1) << text.toStdString();
        return text;
    };
    const QString text = print();
    // With no page set up, a first print is landscape and fits the columns to the paper's width.
    EXPECT_TRUE(Run("pdfinfo", {out.filePath("plan1.pdf")}).contains("842 x 595"));
    EXPECT_TRUE(text.contains("第1页/共1页"));
    EXPECT_TRUE(text.contains("1.01.003"));
    EXPECT_TRUE(text.contains("note|B")) << text.toStdString();
    for (const char* hidden : {"物料名称", "内码", "明细ID", "数量精度位数"})
        EXPECT_FALSE(text.contains(hidden)) << hidden;
    const qsizetype item = text.indexOf("物料代码");
    EXPECT_TRUE(item >= 0 && item < text.indexOf("规格型号")) << "shown columns in grid order";

    // Neither an export nor print settings saved with the title in header cell 1 print it twice.
    ExportTo(out.filePath("plan.csv"), 1);
    ui->FileExport();
    print();
    ledger.LoadSettings({}, "1Head=采购计划表л");
    print();
    // A preview is not logged; an empty list prints nothing and is logged all the same.
    ui->PrintPreView();
    EXPECT_EQ(Logged("CGPlan003"), 3);
    dialogs.clear();
    Load(0);
    ui->PrintPre();
    EXPECT_TRUE(dialogs.isEmpty());
    EXPECT_EQ(Logged("CGPlan003"), 4);
}

TEST_F(Output, PageSettingsAndTheHeaderFooterRecordAreSavedTheSameEveryTime) {
    Load(1);
    ledger.SetMargin(controls::Top, 12.5);
    ledger.SetOptions(controls::CenterHorz | controls::PageNumbers);
    ledger.HeadCells()[0].Text = "抬头";
    ledger.HeadCells()[0].Font.setBold(true);
    ui->SaveLdgSetting();
    const QString ini = Read(ui->IniFile);
    const QString record = Filter().Formats.value("0_采购计划表_HeadFoot");
    ui->SaveLdgSetting();
    EXPECT_EQ(Read(ui->IniFile), ini);
    EXPECT_EQ(Filter().Formats.value("0_采购计划表_HeadFoot"), record);

    const QString section = ini.section("[ReportView]", 1).section("\n[", 0, 0);
    QStringList keys;
    for (const QString& line : section.split('\n', Qt::SkipEmptyParts))
        keys << line.trimmed().section('=', 0, 0);
    keys.removeAll("");
    EXPECT_EQ(keys,
              QStringList({"PrintSetting", "PageTopMargin", "PageLeftMargin", "PageRightMargin",
                           "PageBottomMargin", "PageMode", "CenterHorz", "CenterVert", "ColorPrint",
                           "FooterAtPageBottom", "GridExtend", "NotPrtFrame", "NotPrtHLine", "NotPrtVLine",
                           "PhysicPages", "PN", "SavingPaper", "WholeHeadFooterPerPage"}));
    for (const char* line : {"PageTopMargin=12.5", "CenterHorz=1", "CenterVert=0"})
        EXPECT_TRUE(ini.contains(line)) << line;
    EXPECT_TRUE(record.startsWith("0Head=抬头л0HeadFontBoldd=-1л0HeadFontCharset="));
    EXPECT_TRUE(record.contains("л0Foot=л0FootFontBold=0л"));
    EXPECT_TRUE(record.endsWith("лNoteText=л"));

    // What was saved is what a new ledger reads back.
    controls::LedgerGrid again;
    again.LoadSettings(ui->IniFile, record);
    EXPECT_DOUBLE_EQ(again.Margin(controls::Top), 12.5);
    EXPECT_EQ(again.Options(), ledger.Options());
    EXPECT_EQ(again.HeadCells()[0].Text, "抬头");
    EXPECT_TRUE(again.HeadCells()[0].Font.bold());
}
