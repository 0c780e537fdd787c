#include "AppFixture.h"

#include "component/filter/frmSetColume.h"
#include "component/grid/AmountColumns.h"
#include "component/list/ListStatus.h"
#include "platform/records/Values.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QStatusBar>

using namespace zpp;
using namespace zpp::test;

namespace {

QString Label(frmPurchasePlan& list, const char* name) {
    auto* label = list.findChild<QLabel*>(name);
    return label && label->isVisible() ? label->text() : QString();
}

// The selection's numbers as a user would add them up: every shown number column, each
// selected cell once.
struct Expected {
    int Count = 0;
    double Sum = 0;
    int Decimals = 0;
};
Expected AddUp(controls::SpreadGrid& g) {
    Expected e;
    const QModelIndexList cells = g.View()->selectionModel()->selectedIndexes();
    for (const QModelIndex& i : cells) {
        const int c = i.column() + 1;
        const QString text = g.Text(c, i.row() + 1);
        if (g.ColHidden(c) || g.ColCellType(c) != controls::CellType::Number || text.isEmpty())
            continue;
        ++e.Count;
        e.Sum += text.toDouble();
        if (text.contains('.'))
            e.Decimals = std::max(e.Decimals, int(text.size() - text.indexOf('.') - 1));
    }
    return e;
}

} // namespace

// Count, sum and average of the selected numbers follow clicks, shift- and control-clicks and
// Ctrl+A; ticks by click, space and 全选/全清 give the ticked rows and their amount; the log-in
// label names the user and the store. In Chinese, then the same in English.
TEST_P(AppTest, TheStatusLineSumsTheSelectionCountsTheTicksAndNamesTheLogIn) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    Hands h{*list};
    const QString storeName = db->IsSQLite() ? QFileInfo(location).fileName()
                                             : QUrl(location).host() + "/" + QUrl(location).path().mid(1);
    EXPECT_EQ(Label(*list, "lblLogIn"), "用户：系统管理员（admin）    数据库：" + storeName);

    h.Click(col::PushQty, 1);
    EXPECT_EQ(Label(*list, "lblSelectionSums"), "") << "one cell is no selection to add up";
    h.Click(col::PushQty, 4, Qt::ShiftModifier);
    h.Click(col::ItemName, 6, Qt::ControlModifier); // a text: selected, not counted
    h.Click(col::Qty, 2, Qt::ControlModifier);
    const Expected e = AddUp(g);
    ASSERT_EQ(e.Count, 5);
    QTRY_COMPARE(Label(*list, "lblSelectionSums"), QString("计数：5    求和：%1    平均值：%2")
                                                       .arg(values::FormatNumber(e.Sum, e.Decimals),
                                                            ListStatus::AverageText(e.Sum / 5, e.Decimals)));
    // An edit of a selected cell is added up anew.
    g.SetText(col::PushQty, 2, "0");
    const Expected edited = AddUp(g);
    QTRY_COMPARE(Label(*list, "lblSelectionSums").section("    ", 1, 1),
                 "求和：" + values::FormatNumber(edited.Sum, edited.Decimals));

    h.Key(Qt::Key_A, Qt::ControlModifier);
    const Expected all = AddUp(g);
    EXPECT_GT(all.Count, g.MaxRows() * 6) << "quantities, price and rates of every row";
    QTRY_COMPARE(Label(*list, "lblSelectionSums").section("    ", 0, 0), QString("计数：%1").arg(all.Count));

    // Ticks: two clicks, a space on a third box; then 全选 and 全清 from the tool bar.
    EXPECT_EQ(Label(*list, "lblTicked"), "");
    const auto ticked = [&](std::initializer_list<int> rows) -> QString {
        double amount = 0;
        for (int r : rows)
            amount += values::Val(g.Text(col::AmountWithTax, r));
        return QString("已勾选 %1 行，价税合计 %2").arg(rows.size()).arg(values::FormatNumber(amount, 2));
    };
    h.Click(col::CheckBox, 1);
    h.Click(col::CheckBox, 2);
    QTRY_COMPARE(Label(*list, "lblTicked"), ticked({1, 2}));
    h.Key(Qt::Key_Down);
    h.Key(Qt::Key_Space);
    ASSERT_EQ(g.Text(col::CheckBox, 3), "1");
    QTRY_COMPARE(Label(*list, "lblTicked"), ticked({1, 2, 3}));
    h.Tool("SelectAll");
    int open = 0;
    for (int r = 1; r <= g.MaxRows(); ++r)
        open += g.Text(col::CheckBox, r) == "1";
    QTRY_COMPARE(Label(*list, "lblTicked").section("，", 0, 0), QString("已勾选 %1 行").arg(open));
    h.Tool("UnSelectAll");
    QTRY_COMPARE(Label(*list, "lblTicked"), QString());
    list->close();

    // In English, for a buyer, who sees no prices and so no amounts.
    list = OpenList("buyer", "en");
    ASSERT_TRUE(list);
    Hands b{*list};
    EXPECT_EQ(Label(*list, "lblLogIn"), "User: 采购员 (buyer)    Store: " + storeName);
    b.Click(col::Qty, 1);
    b.Click(col::Qty, 2, Qt::ShiftModifier);
    const Expected two = AddUp(list->vsProc());
    QTRY_COMPARE(Label(*list, "lblSelectionSums"),
                 QString("Count: 2    Sum: %1    Average: %2")
                     .arg(values::FormatNumber(two.Sum, two.Decimals),
                          ListStatus::AverageText(two.Sum / 2, two.Decimals)));
    b.Click(col::CheckBox, 1);
    QTRY_COMPARE(Label(*list, "lblTicked"), QString("Rows ticked: 1"));
}

// The amount columns are chosen in the column dialog, follow a quantity typed with keys, go
// into the export, and stay chosen; the window's size, place and column widths come back for the
// same user, and not for another.
TEST_P(AppTest, AmountColumnsAndTheWindowsLayoutAreKeptPerUser) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = list->vsProc();
    Hands h{*list};
    const QRect defaultGeometry = list->geometry();
    const double defaultWidth = g.ColWidth(col::ItemName);
    EXPECT_TRUE(g.ColHidden(col::AmountWithTax) && g.ColHidden(col::AmountWithoutTax));

    Answer([](QDialog& d) {
        auto& dialog = dynamic_cast<frmSetColume&>(d);
        for (const char* caption : {"价税合计", "不含税金额"}) {
            const auto items = dialog.ColList()->findItems(caption, Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            dialog.ColList()->setCurrentItem(items[0]);
            QTest::keyClick(dialog.ColList(), Qt::Key_Space);
        }
        QTest::mouseClick(dialog.CommandButton(frmSetColume::OkButton), Qt::LeftButton);
    });
    h.Tool("iHideCol");
    ASSERT_FALSE(g.ColHidden(col::AmountWithTax) || g.ColHidden(col::AmountWithoutTax));

    int row = 0;
    for (int r = 1; r <= g.MaxRows() && !row; ++r)
        if (g.Text(col::Close, r).isEmpty() && g.Text(col::PurchaseUnFinishQty, r).toDouble() >= 2 &&
            g.Text(col::Price, r).toDouble() > 0)
            row = r;
    ASSERT_GT(row, 0);
    h.RightTo(row, col::PushQty);
    h.Type("2");
    h.Key(Qt::Key_Return);
    const values::LineAmount a =
        values::AmountOf(2, g.Text(col::Price, row).toDouble(), g.Text(col::DiscountRate, row).toDouble(),
                         g.Text(col::TaxRate, row).toDouble());
    EXPECT_EQ(g.Text(col::AmountWithTax, row) + "|" + g.Text(col::AmountWithoutTax, row),
              values::FormatNumber(a.WithTax, 2) + "|" + values::FormatNumber(a.WithoutTax, 2));

    QTemporaryDir out;
    WriteFiles(out.path());
    h.Tool("Export");
    QFile csv(out.filePath("plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n");
    EXPECT_TRUE(lines.value(0).endsWith(",价税合计,不含税金额")) << lines.value(0).toStdString();
    EXPECT_TRUE(lines.value(row).endsWith("," + values::FormatNumber(a.WithTax, 2) + "," +
                                          values::FormatNumber(a.WithoutTax, 2)))
        << lines.value(row).toStdString();

    // The window moved and resized as a window manager does, a column widened by its header.
    list->setGeometry(30, 40, 700, 450);
    QHeaderView* header = g.View()->horizontalHeader();
    header->resizeSection(col::Memo - 1, header->sectionSize(col::Memo - 1) + 80);
    const double memoWidth = g.ColWidth(col::Memo);
    prompts->QueueAnswer(ui::No); // the typed quantity is not saved
    list->close();

    list = OpenList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->geometry(), QRect(30, 40, 700, 450));
    EXPECT_NEAR(list->vsProc().ColWidth(col::Memo), memoWidth, 0.01);
    EXPECT_FALSE(list->vsProc().ColHidden(col::AmountWithTax)) << "the chosen columns stay chosen";
    list->close();

    list = OpenList("buyer");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->geometry().size(), defaultGeometry.size());
    EXPECT_NEAR(list->vsProc().ColWidth(col::ItemName), defaultWidth, 0.01);
    EXPECT_NE(list->vsProc().ColWidth(col::Memo), memoWidth);
    EXPECT_TRUE(list->vsProc().ColHidden(col::AmountWithTax)) << "no price right, no amounts";
}
