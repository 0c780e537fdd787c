#include "FilterFakes.h"

#include "component/filter/frmSetColume.h"
#include "platform/controls/SpreadGrid.h"

#include <QListWidget>
#include <QPushButton>

using namespace zpp;
using namespace zpp::test;

namespace {

RecordPtr Column(int col, const QString& text, const QString& field, QVariant forceHide = {}) {
    auto r = KeyedRecord::Create();
    r->Set("Col", col);
    r->Set("Text", text);
    r->Set("FieldName", field);
    if (forceHide.isValid())
        r->Set("FForceHide", forceHide);
    return r;
}

class ColumnDialog : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        grid.SetMaxCols(6);
        grid.SetMaxRows(2);
        const QStringList headers{"内码", "", "日期", "备注", "很长的列名称", "单价"};
        for (int col = 1; col <= 6; ++col)
            grid.SetHeaderText(col, headers[col - 1]);
        grid.SetColHidden(4, true);
        header = RecordList::Create();
        header->Add(Column(1, "内码", "FInterID", 1));
        header->Add(Column(2, "空", "FEmpty"));
        header->Add(Column(3, "日期", "FVDate", 0));
        header->Add(Column(4, "备注", "FMemo"));
        header->Add(Column(5, QString(120, u'长'), longField));
        header->Add(Column(6, "单价", "FPrice"));
    }

    // Runs the dialog; act gets its list and buttons.
    void Run(const std::function<void(frmSetColume&)>& act) {
        ui::SetModalHandler([&](QDialog& dialog) {
            act(dynamic_cast<frmSetColume&>(dialog));
            return dialog.result();
        });
        frmSetColume dialog(&grid, header);
        ui::ExecModal(dialog);
    }
    static void Tick(frmSetColume& d, int row, bool on) {
        d.ColList()->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }

    controls::SpreadGrid grid;
    RecordListPtr header;
    const QString longField = QString("F") + QString(49, u'x');
};

} // namespace

TEST_F(ColumnDialog, OffersOnlyChoosableColumnsWithTheirShownState) {
    Run([](frmSetColume& d) {
        QListWidget* list = d.ColList();
        ASSERT_EQ(list->count(), 4);
        EXPECT_EQ(list->item(0)->text(), "日期");
        EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
        EXPECT_EQ(list->item(1)->text(), "备注");
        EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
        EXPECT_EQ(list->currentRow(), 0);
        d.reject();
    });
    EXPECT_EQ(Filter().FormatSaves, 0);
}

TEST_F(ColumnDialog, OkHidesUntickedColumnsAndStoresTheirFieldNames) {
    Run([this](frmSetColume& d) {
        Tick(d, 0, false);
        Tick(d, 1, true);
        Tick(d, 2, false);
        Tick(d, 3, false);
        d.CommandButton(frmSetColume::OkButton)->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Filter().Formats.value("sPlanRpt"), "FVDate=1|" + longField + "=1|FPrice=1|");
    EXPECT_EQ(Filter().ReportIds.last(), 126);
    EXPECT_EQ(Filter().Props.last(), World().PropsString);
    EXPECT_TRUE(grid.ColHidden(3));
    EXPECT_FALSE(grid.ColHidden(4));
    EXPECT_TRUE(grid.ColHidden(5));
    EXPECT_TRUE(grid.ColHidden(6));
    // Columns the list does not offer are left alone.
    EXPECT_FALSE(grid.ColHidden(1));
    EXPECT_FALSE(grid.ColHidden(2));
}

TEST_F(ColumnDialog, AllTickedStoresEmptyTextAndApplyOutlivesCancel) {
    Run([](frmSetColume& d) {
        for (int row = 0; row < d.ColList()->count(); ++row)
            Tick(d, row, true);
        d.CommandButton(frmSetColume::ApplyButton)->click();
        EXPECT_EQ(Filter().Formats.value("sPlanRpt", "unset"), "");
        Tick(d, 0, false);
        d.CommandButton(frmSetColume::CancelButton)->click();
    });
    EXPECT_EQ(Filter().FormatSaves, 1);
    EXPECT_FALSE(grid.ColHidden(3));
    EXPECT_FALSE(grid.ColHidden(4));
}

TEST_F(ColumnDialog, FailingStoreIsReportedAfterTheGridChanged) {
    Filter().ProfileFails = true;
    Run([](frmSetColume& d) {
        Tick(d, 0, false);
        d.CommandButton(frmSetColume::OkButton)->click();
    });
    EXPECT_TRUE(grid.ColHidden(3));
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "profile service down");
}
