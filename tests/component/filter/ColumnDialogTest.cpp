#include "FilterFakes.h"

#include "component/filter/frmSetColume.h"
#include "platform/controls/SpreadGrid.h"

#include <QListWidget>
#include <QPushButton>

using namespace zpp;
using namespace zpp::test;

namespace {

// Six columns: the first offers no choice (forced hidden), the second has no caption, the fourth is hidden.
class ColumnDialog : public FilterFixture {
protected:
    void SetUp() override {
        FilterFixture::SetUp();
        grid.SetMaxCols(6);
        grid.SetMaxRows(2);
        const QStringList headers{"内码", "", "日期", "备注", "很长的列名称", "单价"};
        const QStringList fields{"FInterID", "FEmpty", "FVDate", "FMemo", longField, "FPrice"};
        const QVariant forceHide[] = {1, {}, 0, {}, {}, {}};
        header = RecordList::Create();
        for (int col = 1; col <= 6; ++col) {
            grid.SetHeaderText(col, headers[col - 1]);
            auto r = KeyedRecord::Create();
            r->Set("Col", col);
            r->Set("Text", col == 5 ? QString(120, u'长') : headers[col - 1]);
            r->Set("FieldName", fields[col - 1]);
            if (forceHide[col - 1].isValid())
                r->Set("FForceHide", forceHide[col - 1]);
            header->Add(r);
        }
        grid.SetColHidden(4, true);
    }
    // Runs the dialog, ticking the offered columns as given, then pressing the buttons.
    void Run(const QVector<bool>& ticks, std::initializer_list<frmSetColume::Button> buttons) {
        ui::SetModalHandler([&](QDialog& dialog) {
            auto& d = dynamic_cast<frmSetColume&>(dialog);
            for (int row = 0; row < ticks.size(); ++row)
                d.ColList()->item(row)->setCheckState(ticks[row] ? Qt::Checked : Qt::Unchecked);
            for (auto b : buttons)
                d.CommandButton(b)->click();
            return dialog.result();
        });
        frmSetColume dialog(&grid, header);
        ui::ExecModal(dialog);
    }
    QString Hidden() {
        QString h;
        for (int c = 1; c <= 6; ++c)
            h += grid.ColHidden(c) ? 'H' : '-';
        return h;
    }

    controls::SpreadGrid grid;
    RecordListPtr header;
    const QString longField = QString("F") + QString(49, u'x');
};

} // namespace

TEST_F(ColumnDialog, OffersOnlyChoosableColumnsAndOkHidesAndStoresTheUnticked) {
    ui::SetModalHandler([](QDialog& dialog) {
        QListWidget* list = dynamic_cast<frmSetColume&>(dialog).ColList();
        QStringList offered;
        for (int row = 0; row < list->count(); ++row)
            offered << list->item(row)->text().left(2) +
                           (list->item(row)->checkState() == Qt::Checked ? "+" : "-");
        EXPECT_EQ(offered, QStringList({"日期+", "备注-", "长长+", "单价+"}));
        EXPECT_EQ(list->currentRow(), 0);
        return int(QDialog::Rejected);
    });
    frmSetColume shown(&grid, header);
    ui::ExecModal(shown);
    EXPECT_TRUE(Filter().Calls.isEmpty());

    Run({false, true, false, false}, {frmSetColume::OkButton});
    EXPECT_EQ(Filter().Formats.value("sPlanRpt"), "FVDate=1|" + longField + "=1|FPrice=1|");
    EXPECT_EQ(Hidden(), "--H-HH") << "columns the list does not offer are left alone";
}

TEST_F(ColumnDialog, AllTickedStoresEmptyTextApplyOutlivesCancelAndAFailingStoreIsShown) {
    Run({true, true, true, true}, {frmSetColume::ApplyButton});
    EXPECT_EQ(Filter().Formats.value("sPlanRpt", "unset"), "");
    Run({false}, {frmSetColume::CancelButton});
    EXPECT_EQ(Filter().Calls, QStringList{"SaveRptFormat"});
    EXPECT_EQ(Hidden(), "------");

    Filter().ProfileFails = true;
    Run({false}, {frmSetColume::OkButton});
    EXPECT_EQ(Hidden(), "--H---") << "the grid changes before the store is written";
    EXPECT_EQ(Shown(), QStringList{"profile service down"});
}
