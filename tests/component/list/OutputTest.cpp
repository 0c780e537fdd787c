#include "ListFakes.h"
#include "platform/controls/LedgerGrid.h"

#include <QFile>

using namespace zpp;
using namespace zpp::test;

using Output = ControllerFixture;

// Export, print and a page set-up that holds at the next start are driven over the real wiring by
// the app's tests; what is left here is how the set-up is written, the same every time.
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

    for (const char* line : {"PageTopMargin=12.5", "CenterHorz=1", "CenterVert=0"})
        EXPECT_TRUE(ini.contains(line)) << line;
    EXPECT_TRUE(record.startsWith("0Head=抬头л0HeadFontBoldd=-1л0HeadFontCharset=")) << record.toStdString();
    EXPECT_TRUE(record.contains("л0Foot=л0FootFontBold=0л"));
    EXPECT_TRUE(record.endsWith("лNoteText=л"));
}
