#include "ListFakes.h"
#include "platform/controls/LedgerGrid.h"

#include <QFile>

using namespace zpp;
using namespace zpp::test;

using Output = ControllerFixture;

// Export and print are driven over the real wiring by the app's tests; what is left here is the
// saved page set-up, byte for byte, which a reader of the file at the next start relies on.
TEST_F(Output, PageSettingsAndTheHeaderFooterRecordAreSavedTheSameEveryTime) {
    controls::LedgerGrid ledger;
    ui->SetLedger(&ledger);
    Load(1);
    ledger.SetMargin(controls::Top, 12.5);
    ledger.SetOptions(controls::CenterHorz | controls::PageNumbers);
    ledger.HeadCells()[0].Text = "抬头";
    ledger.HeadCells()[0].Font.setBold(true);
    auto saved = [&]() -> QString {
        ui->SaveLdgSetting();
        QFile f(ui->IniFile);
        return (f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString()) + "\n#" +
               Filter().Formats.value("0_采购计划表_HeadFoot");
    };
    const QString first = saved();
    EXPECT_EQ(saved(), first);
    const QString ini = first.section("\n#", 0, 0), record = first.section("\n#", 1);

    QStringList keys;
    for (const QString& line :
         ini.section("[ReportView]", 1).section("\n[", 0, 0).split('\n', Qt::SkipEmptyParts))
        if (!line.trimmed().isEmpty())
            keys << line.trimmed().section('=', 0, 0);
    EXPECT_EQ(keys,
              QStringList({"PrintSetting", "PageTopMargin", "PageLeftMargin", "PageRightMargin",
                           "PageBottomMargin", "PageMode", "CenterHorz", "CenterVert", "ColorPrint",
                           "FooterAtPageBottom", "GridExtend", "NotPrtFrame", "NotPrtHLine", "NotPrtVLine",
                           "PhysicPages", "PN", "SavingPaper", "WholeHeadFooterPerPage"}));
    for (const char* line : {"PageTopMargin=12.5", "CenterHorz=1", "CenterVert=0"})
        EXPECT_TRUE(ini.contains(line)) << line;
    EXPECT_TRUE(record.startsWith("0Head=抬头л0HeadFontBoldd=-1л0HeadFontCharset=")) << record.toStdString();
    EXPECT_TRUE(record.contains("л0Foot=л0FootFontBold=0л"));
    EXPECT_TRUE(record.endsWith("лNoteText=л"));

    // What was saved is what a new ledger reads back.
    controls::LedgerGrid again;
    again.LoadSettings(ui->IniFile, record);
    EXPECT_DOUBLE_EQ(again.Margin(controls::Top), 12.5);
    EXPECT_EQ(again.Options(), ledger.Options());
    EXPECT_EQ(again.HeadCells()[0].Text + (again.HeadCells()[0].Font.bold() ? "*" : ""), "抬头*");
}
