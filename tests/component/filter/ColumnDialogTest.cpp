#include "FilterFakes.h"

#include "component/filter/frmSetColume.h"
#include "platform/controls/SpreadGrid.h"

#include <QListWidget>
#include <QPushButton>

using namespace zpp;
using namespace zpp::test;

using ColumnDialog = FilterFixture;

// Only columns with a caption and no forced hiding are offered, ticked unless hidden; OK hides the
// unticked ones and stores their fields, a long name whole.
TEST_F(ColumnDialog, OffersOnlyChoosableColumnsAndOkHidesAndStoresTheUnticked) {
    const QString longField = QString("F") + QString(49, u'x');
    const QStringList headers{"内码", "", "日期", "备注", "很长的列名称", "单价"};
    const QStringList fields{"FInterID", "FEmpty", "FVDate", "FMemo", longField, "FPrice"};
    controls::SpreadGrid grid;
    grid.SetMaxCols(6);
    auto header = RecordList::Create();
    for (int col = 1; col <= 6; ++col) {
        grid.SetHeaderText(col, headers[col - 1]);
        auto r = KeyedRecord::Create();
        r->Set("Col", col);
        r->Set("Text", col == 5 ? QString(120, u'长') : headers[col - 1]);
        r->Set("FieldName", fields[col - 1]);
        r->Set("FForceHide", col == 1 ? 1 : 0);
        header->Add(r);
    }
    grid.SetColHidden(4, true);
    ui::SetModalHandler([](QDialog& dialog) {
        auto& d = dynamic_cast<frmSetColume&>(dialog);
        QStringList offered;
        for (int row = 0; row < d.ColList()->count(); ++row)
            offered << d.ColList()->item(row)->text().left(2) +
                           (d.ColList()->item(row)->checkState() == Qt::Checked ? "+" : "-");
        EXPECT_EQ(offered, QStringList({"日期+", "备注-", "长长+", "单价+"}));
        for (int row = 0; row < 4; ++row)
            d.ColList()->item(row)->setCheckState(row == 1 ? Qt::Checked : Qt::Unchecked);
        d.CommandButton(frmSetColume::OkButton)->click();
        return dialog.result();
    });
    frmSetColume dialog(&grid, header);
    ui::ExecModal(dialog);
    EXPECT_EQ(Filter().Formats.value("sPlanRpt"), "FVDate=1|" + longField + "=1|FPrice=1|");
    QString hidden;
    for (int c = 1; c <= 6; ++c)
        hidden += grid.ColHidden(c) ? 'H' : '-';
    EXPECT_EQ(hidden, "--H-HH") << "columns the list does not offer are left alone";
}
