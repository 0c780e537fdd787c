#include "ListFakes.h"
#include "component/grid/PlanGrid.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/ini/IniFile.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

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
    void Load(int n) {
        Plan().Rows = RecordList::Create();
        for (int i = 1; i <= n; ++i)
            Plan().Rows->Add(MakeRow(1, i, QString("1.01.%1").arg(i, 3, 10, QChar('0')), i * 100));
        QString none;
        ui->Refresh(none);
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
        int n = 0;
        for (const LogLine& l : World().Log)
            n += l.Code == QLatin1String(code);
        return n;
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

TEST_F(Output, ExportWritesTheSelectedBlocksAndTheVisibleColumnsOnly) {
    Load(6);
    controls::SpreadGrid& g = host.grid;
    g.SetColHidden(col::ItemName, true); // hidden by the user; its definition does not say
    QAbstractItemModel* model = g.View()->model();
    auto* selection = g.View()->selectionModel();
    for (int r : {2, 3, 5})
        selection->select(model->index(r - 1, col::ItemNumber - 1), QItemSelectionModel::Select);

    const QString path = out.filePath("plan.csv");
    ExportTo(path, 1);
    ui->FileExport();
    const QStringList lines = Read(path).remove(QChar(0xfeff)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << Read(path).toStdString();
    const QStringList captions = lines[0].split(',');
    EXPECT_FALSE(captions.contains("物料名称"));
    EXPECT_FALSE(captions.contains("内码")) << "columns hidden by definition stay out";
    EXPECT_TRUE(captions.contains("物料代码"));
    const int item = int(captions.indexOf("物料代码"));
    QStringList items;
    for (int i = 1; i < lines.size(); ++i)
        items << lines[i].split(',').value(item);
    EXPECT_EQ(items, QStringList({"1.01.002", "1.01.003", "1.01.005"}));
    EXPECT_EQ(Logged("CGPlan004"), 1);

    // Without a selection every row goes out; a cancelled dialog writes and logs nothing.
    selection->clearSelection();
    ExportTo(out.filePath("all.csv"), 1);
    ui->FileExport();
    EXPECT_EQ(Read(out.filePath("all.csv")).count("\r\n"), 7);
    ExportTo({}, 0);
    ui->FileExport();
    EXPECT_EQ(Logged("CGPlan004"), 2);
    EXPECT_TRUE(prompts->Log.isEmpty());
}

TEST_F(Output, OnlyNumberColumnsAreExportedAsNumbers) {
    Load(2);
    const QString path = out.filePath("plan.xlsx");
    ExportTo(path, 0);
    ui->FileExport();
    const QString sheet = Run("unzip", {"-p", path, "xl/worksheets/sheet1.xml"});
    ASSERT_FALSE(sheet.isEmpty());
    // The quantity 200.00 of row 2 is a number cell; the item code a text cell.
    EXPECT_TRUE(sheet.contains("<v>200</v>")) << sheet.left(2000).toStdString();
    EXPECT_TRUE(sheet.contains("1.01.002"));
    EXPECT_FALSE(sheet.contains("<v>1.01.002</v>"));

    // An empty list exports nothing and says nothing.
    dialogs.clear();
    Load(0);
    ui->FileExport();
    EXPECT_TRUE(dialogs.isEmpty());
}

TEST_F(Output, PrintShowsTheGridsColumnsTheTitleOnceAndPageFooterAndIsLoggedEvenWhenEmpty) {
    Load(3);
    // Hidden by the user straight before printing; nothing has painted the ledger or exported.
    host.grid.SetColHidden(col::ItemName, true);
    // What the grid shows is printed, edits included, a "|" in a text as well.
    host.grid.SetText(col::Memo, 2, "note|B");
    int printed = 0;
    auto print = [&] {
        const QString pdf = out.filePath(QString("plan%1.pdf").arg(++printed));
        ui::SetModalHandler([&, pdf](QDialog& d) {
            dialogs << d.metaObject()->className();
            if (auto* print = qobject_cast<QPrintDialog*>(&d)) {
                print->printer()->setOutputFormat(QPrinter::PdfFormat);
                print->printer()->setOutputFileName(pdf);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        });
        ui->PrintPre();
        // The PDF's text names the glyph of 页 by its radical.
        return Run("pdftotext", {"-layout", pdf, "-"}).replace(QChar(0x2EDA), QChar(0x9875));
    };
    auto titledOncePerPage = [](const QString& text) {
        const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
        for (int p = 0; p < pages.size(); ++p)
            EXPECT_EQ(pages[p].count("采购计划表"), 1) << p << pages[p].toStdString();
        return pages;
    };

    const QString text = print();
    EXPECT_EQ(Logged("CGPlan003"), 1);
    const QStringList pages = titledOncePerPage(text);
    // With no page set up, a first print is landscape and fits the columns to the paper's width.
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(Run("pdfinfo", {out.filePath("plan1.pdf")}).contains("842 x 595"));
    for (int p = 0; p < pages.size(); ++p)
        EXPECT_TRUE(pages[p].contains(QString("第%1页/共%2页").arg(p + 1).arg(pages.size())))
            << pages[p].toStdString();
    EXPECT_TRUE(text.contains("1.01.003"));
    EXPECT_TRUE(text.contains("note|B")) << text.toStdString();
    EXPECT_EQ(ledger.FootCells()[2].Text, " 第&[页]页/共&[总页]页  ");
    for (const char* hidden : {"物料名称", "内码", "明细ID", "数量精度位数"})
        EXPECT_FALSE(text.contains(hidden)) << hidden;
    const qsizetype item = text.indexOf("物料代码");
    EXPECT_TRUE(item >= 0 && item < text.indexOf("规格型号")) << "shown columns in grid order";

    // Neither an export nor print settings saved with the title in header cell 1 print it twice.
    ExportTo(out.filePath("plan.csv"), 1);
    ui->FileExport();
    EXPECT_EQ(titledOncePerPage(print()).size(), pages.size());
    ledger.LoadSettings({}, "1Head=采购计划表л");
    EXPECT_EQ(titledOncePerPage(print()).size(), pages.size());

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

    QStringList keys;
    bool inSection = false;
    for (const QString& line : ini.split('\n')) {
        const QString l = line.trimmed();
        if (l.startsWith('['))
            inSection = l == "[ReportView]";
        else if (inSection && l.contains('='))
            keys << l.section('=', 0, 0);
    }
    EXPECT_EQ(keys,
              QStringList({"PrintSetting", "PageTopMargin", "PageLeftMargin", "PageRightMargin",
                           "PageBottomMargin", "PageMode", "CenterHorz", "CenterVert", "ColorPrint",
                           "FooterAtPageBottom", "GridExtend", "NotPrtFrame", "NotPrtHLine", "NotPrtVLine",
                           "PhysicPages", "PN", "SavingPaper", "WholeHeadFooterPerPage"}));
    EXPECT_TRUE(ini.contains("PageTopMargin=12.5"));
    EXPECT_TRUE(ini.contains("CenterHorz=1"));
    EXPECT_TRUE(ini.contains("CenterVert=0"));
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
