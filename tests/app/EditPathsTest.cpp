// What each way of editing the list stores, driven with real keys and clicks over a real store.
#include "AppFixture.h"

#include <QListWidget>

using namespace zpp;
using namespace zpp::test;

namespace {

// Everything a save or a push may change in an entry, version included.
const QString kEntries = "SELECT plan_id, entry_id, supplier_id, push_qty, price, discount_rate, tax_rate,"
                         " finish_date, memo, row_version FROM plan_entries";

} // namespace

// A supplier cell is checked, named and priced only when its code changed, however it is left;
// a supplier the user may not use, or no supplier has, is refused there and not offered.
TEST_P(AppTest, SupplierCellsAreCheckedOnlyWhenChangedHoweverTheyAreLeft) {
    // Prices typed by hand, away from the price list a supplier check would fetch.
    db->Exec("UPDATE plan_entries SET price = price + 1.25");
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (1, '01.007', 0)");
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const QString before = Rows(*db, kEntries + " ORDER BY 1, 2");

    // Through the supplier cells by arrows, Tab, PgDn and a click: nothing is re-priced.
    h.RightTo(1, col::SupplyNumber);
    ASSERT_EQ(g.ActiveCol(), col::SupplyNumber);
    for (Qt::Key key :
         {Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_PageDown, Qt::Key_Up})
        h.Key(key);
    h.Click(col::Memo, 2);
    h.Tool("Save");
    EXPECT_EQ(Rows(*db, kEntries + " ORDER BY 1, 2"), before);

    // A forbidden supplier and a code no supplier has: each is named and the row keeps its supplier.
    int row = 1;
    while (row <= g.MaxRows() && g.Text(col::SupplyNumber, row).isEmpty())
        ++row;
    ASSERT_LE(row + 2, g.MaxRows());
    auto supplier = [&]() -> QString { return g.Text(col::SupplyNumber, row) + g.Text(col::SupplyID, row); };
    const QString had = supplier();
    prompts->Clear();
    for (const char* code : {"01.007", "01.099"}) {
        h.RightTo(row, col::SupplyNumber);
        h.Type(code);
        h.Key(Qt::Key_Tab);
        EXPECT_EQ(supplier(), had) << code;
    }
    EXPECT_EQ(Said(), QStringList({"没有供应商的权限，请与系统管理员联系!", "没有代码为“01.099”的供应商。"}));
    // The supplier lookup does not offer the forbidden one.
    QStringList offered;
    Answer([&](QDialog& d) {
        auto* search = d.findChild<QLineEdit*>("txtSearch");
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Backspace);
        QTest::qWait(600);
        QAbstractItemModel* model = d.findChild<QTableView*>("grdList")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            offered << model->index(r, 0).data().toString();
    });
    h.Click(col::SupplyNumber, row);
    EXPECT_TRUE(offered.size() > 5 && offered.contains("01.008") && !offered.contains("01.007"))
        << offered.join(',').toStdString();

    // Another supplier typed and left with Down is checked, named and priced before the save.
    QSqlQuery other = db->Exec("SELECT s.code, s.name, s.tax_rate, p.price, s.id FROM supplier_prices p"
                               " JOIN suppliers s ON s.id = p.supplier_id WHERE p.item_id = ? AND s.code <> ?"
                               " AND s.code <> '01.007' AND p.valid_from <= ? ORDER BY p.valid_from DESC",
                               {g.Text(col::ItemID, row).toInt(), g.Text(col::SupplyNumber, row),
                                QDate::currentDate().toString("yyyy-MM-dd")});
    ASSERT_TRUE(other.next());
    const QString code = other.value(0).toString(), name = other.value(1).toString();
    const double price = other.value(3).toDouble();
    h.RightTo(row, col::SupplyNumber);
    h.Type(code);
    ASSERT_TRUE(h.Editor());
    h.Key(Qt::Key_Down);
    EXPECT_EQ(g.ActiveRow(), row + 1);
    EXPECT_EQ(g.Text(col::SupplyName, row) + "|" + QString::number(g.Text(col::TaxRate, row).toDouble()),
              name + "|" + QString::number(other.value(2).toDouble()));
    EXPECT_NEAR(g.Text(col::Price, row).toDouble(), price, 1e-4);

    // A code typed and then left by a jump of the find bar is checked too.
    const int next = row + 2;
    ASSERT_NE(g.Text(col::SupplyNumber, next), code);
    h.RightTo(next, col::SupplyNumber);
    h.Type(code);
    list->ShowFind();
    int elsewhere = 1;
    while (elsewhere < g.MaxRows() && g.Text(col::BillNo, elsewhere) == g.Text(col::BillNo, next))
        ++elsewhere;
    QTest::keyClicks(list->findChild<QLineEdit*>("txtFind"), g.Text(col::BillNo, elsewhere));
    QTest::mouseClick(list->findChild<QPushButton*>("cmdFindNext"), Qt::LeftButton);
    EXPECT_NE(g.ActiveRow(), next);
    EXPECT_EQ(g.Text(col::SupplyName, next), name);

    prompts->Clear();
    h.Tool("Save");
    EXPECT_EQ(Said(), QStringList{"保存成功！"});
    for (int r : {row, next}) {
        EXPECT_EQ(Entry(g.Text(col::Key, r), "supplier_id"), other.value(4).toString());
        EXPECT_NEAR(Entry(g.Text(col::Key, r), "price").toDouble(), price, 1e-4);
    }
}

TEST_P(AppTest, TypedNotesAndDatesReachTheStoreHoweverTheEditEnds) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const QString first = g.Text(col::Key, 1), second = g.Text(col::Key, 2);

    // A note ended with Enter marks its row; one still open in its editor when the tool bar's
    // Save is clicked, or Ctrl+S pressed, is stored.
    auto* status = list->findChild<QLabel*>("lblStatus");
    h.Click(col::Memo, 1);
    h.Type("typed note");
    h.Key(Qt::Key_Return);
    EXPECT_EQ(status->text(), QString("共 %1 行，1 行有未保存的修改").arg(g.MaxRows()));
    h.Click(col::Memo, 1);
    h.Type("tool bar");
    ASSERT_TRUE(h.Editor());
    h.Tool("Save");
    EXPECT_EQ(status->text(), QString("共 %1 行").arg(g.MaxRows()));
    EXPECT_EQ(Entry(first, "memo"), "tool bar");
    EXPECT_FALSE(list->DataChanged);
    h.Click(col::Memo, 1);
    h.Type("by keys");
    h.Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Entry(first, "memo"), "by keys");

    // A date typed straight into a selected date cell is stored as typed; one that is no date is
    // refused with a message and leaves the cell as it was.
    const QString wanted = QDate::currentDate().addDays(13).toString("yyyy-MM-dd");
    h.Click(col::FinishDate, 2);
    h.Type(wanted);
    h.Key(Qt::Key_Return);
    prompts->Clear();
    h.Type("2026-13-45");
    h.Key(Qt::Key_Down);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("“2026-13-45”不是有效的日期"))
        << prompts->Log[0].Text.toStdString();
    EXPECT_EQ(g.Text(col::FinishDate, 2), wanted);
    h.Tool("Save");
    EXPECT_EQ(Entry(second, "finish_date"), wanted);

    // A push quantity above what is left is refused where typed, as the cell is left, and where
    // written past the cell's check, by the save; each names the grid row, and nothing is stored.
    const int row = 6;
    const QString key = g.Text(col::Key, row), had = g.Text(col::PushQty, row);
    const QString named = QString("第%1行（采购建议号[%2]分录号 %3）")
                              .arg(row)
                              .arg(g.Text(col::BillNo, row), key.section('_', 1));
    prompts->Clear();
    h.Click(col::PushQty, row);
    h.Type("99999");
    h.Key(Qt::Key_Tab);
    EXPECT_EQ(g.Text(col::PushQty, row), had);
    g.SetActiveCell(col::Memo, 1);
    g.SetText(col::PushQty, row, "99999");
    h.Tool("Save");
    ASSERT_EQ(prompts->Log.size(), 2);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith(named)) << prompts->Log[0].Text.toStdString();
    EXPECT_TRUE(prompts->Log[1].Text.startsWith("保存失败！") && prompts->Log[1].Text.contains(named))
        << prompts->Log[1].Text.toStdString();
    EXPECT_DOUBLE_EQ(Entry(key, "push_qty").toDouble(), had.toDouble());
    g.SetText(col::PushQty, row, had);

    // Closing the window with a note still in its editor asks to save it.
    h.Click(col::Memo, 1);
    h.Type("closing note");
    prompts->Clear();
    prompts->QueueAnswer(ui::Yes);
    list->close();
    ASSERT_GE(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "当前记录信息已经改变，是否需要保存？");
    EXPECT_EQ(Entry(first, "memo"), "closing note");
}

TEST_P(AppTest, AMergedRowPassesOnlyItsEditsToItsEntriesInSavesAndPushes) {
    // Entries of one item and supplier that differ in everything a merged row does not show.
    db->Exec("UPDATE plan_entries SET memo = 'own ' || plan_id || '-' || entry_id,"
             " price = price + 0.01 * entry_id + 0.1 * (plan_id % 7), discount_rate = (plan_id * 7 + "
             "entry_id) % 11");
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const int entries = g.MaxRows();
    const QString loaded = Rows(*db, kEntries + " ORDER BY 1, 2");
    h.Tool("Merge");
    ASSERT_TRUE(State().IsMergedView);
    h.Tool("Save");
    EXPECT_EQ(Rows(*db, kEntries + " ORDER BY 1, 2"), loaded)
        << "a save of an untouched merged view writes nothing";

    // The merged row the test works on: several entries, a supplier without a credit line.
    int merged = 0;
    for (int r = 1; r <= g.MaxRows() && !merged; ++r)
        if (g.Text(col::IsMerge, r) == "1" && g.Text(col::SupplyNumber, r) != "01.005" &&
            g.Text(col::SupplyNumber, r) != "01.008" && g.Text(col::Key, r).count(',') >= 1 &&
            g.Text(col::PurchaseUnFinishQty, r).toDouble() > 0)
            merged = r;
    ASSERT_GT(merged, 0) << "the demo data must hold entries that fold";
    const QString mergedKey = g.Text(col::Key, merged);
    const QStringList keys = mergedKey.split(',');
    // The other entries, and what the grid shows of the row's entries' own values (a save stores
    // prices as shown): neither may change.
    auto untouched = [&]() -> QString {
        QString own = Rows(*db, kEntries + " WHERE (plan_id || '_' || entry_id) NOT IN ('" +
                                    keys.join("','") + "') ORDER BY 1, 2");
        for (const QString& k : keys)
            own += "," + QString::number(Entry(k, "price").toDouble(), 'f', 4) + Entry(k, "discount_rate") +
                   Entry(k, "finish_date");
        return own;
    };
    const QString others = untouched();

    // A note typed on the merged row reaches its entries; so does all that is still to order, each
    // entry taking its share of it.
    h.Click(col::Memo, merged);
    h.Type("merged note");
    h.Key(Qt::Key_Return);
    const QString typed = QString::number(g.Text(col::PurchaseUnFinishQty, merged).toDouble());
    h.Click(col::PushQty, merged);
    h.Type(typed);
    h.Key(Qt::Key_Return);
    h.Tool("Merge"); // unfold: the quantity is poured into the entries
    EXPECT_FALSE(State().IsMergedView);
    EXPECT_EQ(g.MaxRows(), entries);
    h.Tool("Save");
    double pushed = 0;
    for (const QString& k : keys) {
        EXPECT_EQ(Entry(k, "memo"), "merged note") << k.toStdString();
        pushed += Entry(k, "push_qty").toDouble();
    }
    EXPECT_NEAR(pushed, typed.toDouble(), 1e-6);
    EXPECT_EQ(untouched(), others);

    // Pushed from the merged view, each entry is ordered at its own price, discount and note.
    h.Tool("Merge");
    int again = 1;
    while (again < g.MaxRows() && g.Text(col::Key, again) != mergedKey)
        ++again;
    h.Click(col::CheckBox, again);
    ASSERT_EQ(g.Text(col::CheckBox, again), "1");
    FollowPush();
    const QVariant lastOrder = db->Scalar("SELECT MAX(id) FROM purchase_orders");
    prompts->Clear();
    h.Tool("PushBill");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    const QString newLines =
        " FROM purchase_order_line_sources s"
        " JOIN purchase_order_lines l ON l.order_id = s.order_id AND l.line_no = s.line_no"
        " JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
        " WHERE s.order_id > ?";
    EXPECT_GE(Count("SELECT COUNT(DISTINCT e.discount_rate)" + newLines, {lastOrder}), 2)
        << "the merged row's entries must differ in discount";
    EXPECT_EQ(Count("SELECT COUNT(*)" + newLines +
                        " AND (abs(l.price - e.price) > 0.00001 OR l.discount_rate <> e.discount_rate"
                        " OR l.memo <> e.memo)",
                    {lastOrder}),
              0);
    EXPECT_EQ(untouched(), others);
}

TEST_P(AppTest, DeleteInTheMergedViewDeletesEveryPlanItNames) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    h.Tool("Merge");
    int merged = 1;
    while (merged < h.g.MaxRows() && !h.g.Text(col::BillNo, merged).contains(','))
        ++merged;
    const QStringList bills = h.g.Text(col::BillNo, merged).split(',');
    ASSERT_GE(bills.size(), 2) << "the demo data must fold entries of two plans";
    h.Click(col::CheckBox, merged);
    prompts->QueueAnswer(ui::Yes);
    QStringList results;
    Answer([&](QDialog& d) {
        if (auto* lines = d.findChild<QListWidget*>("lstResult"))
            for (int i = 0; i < lines->count(); ++i)
                results << lines->item(i)->text();
    });
    list->Tool("mnuEdit", "Delete")->trigger();
    ASSERT_GE(prompts->Log.size(), 1);
    // The result window has a line for each plan, naming that plan alone.
    ASSERT_EQ(results.size(), bills.size()) << results.join('\n').toStdString();
    for (int i = 0; i < bills.size(); ++i) {
        for (int j = 0; j < bills.size(); ++j)
            EXPECT_EQ(results[i].contains(bills[j]), i == j) << results[i].toStdString();
        EXPECT_TRUE(prompts->Log[0].Text.contains(bills[i]));
        EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_plans WHERE bill_no = ?", {bills[i]}), 0);
        EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan002'"
                        " AND operation_type = 3 AND operation_name LIKE ?",
                        {QString("%" + bills[i] + "%")}),
                  1)
            << bills[i].toStdString();
    }
    EXPECT_FALSE(State().IsMergedView);
}
