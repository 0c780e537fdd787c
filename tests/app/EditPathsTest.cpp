// What each way of editing the list stores, driven with real keys and clicks over a real store.
#include "AppFixture.h"

#include "support/RowTexts.h"
#include <QListWidget>

using namespace zpp;
using namespace zpp::test;

namespace {

// Everything a save or a push may change in an entry, version included.
const char* const kEntries =
    "SELECT plan_id, entry_id, supplier_id, push_qty, price, discount_rate, tax_rate,"
    " finish_date, memo, row_version FROM plan_entries ORDER BY plan_id, entry_id";

int RowOfKey(controls::SpreadGrid& g, const QString& key) {
    for (int r = 1; r <= g.MaxRows(); ++r)
        if (g.Text(col::Key, r) == key)
            return r;
    return 0;
}

QString Entry(const store::Store& db, const QString& key, const char* column) {
    return db
        .Scalar(QStringLiteral("SELECT %1 FROM plan_entries WHERE plan_id = ? AND entry_id = ?").arg(column),
                {key.section('_', 0, 0).toInt(), key.section('_', 1).toInt()})
        .toString();
}

} // namespace

TEST_P(AppListTest, SupplierCellsAreCheckedOnlyWhenChangedHoweverTheyAreLeft) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    // Prices typed by hand, away from the price list a supplier check would fetch.
    db->Exec("UPDATE plan_entries SET price = price + 1.25");
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    ASSERT_GT(g.MaxRows(), 12);
    const QString before = Rows(*db, kEntries);

    // Through the supplier cells by arrows, Tab, PgDn and a click: nothing is re-priced.
    h.Click(col::ItemNumber, 1);
    h.RightTo(col::SupplyNumber);
    ASSERT_EQ(g.ActiveCol(), col::SupplyNumber);
    for (int i = 0; i < 10; ++i)
        h.Key(Qt::Key_Down);
    h.Key(Qt::Key_Tab);
    h.Key(Qt::Key_Backtab);
    h.Key(Qt::Key_PageDown);
    h.Key(Qt::Key_Up);
    h.Click(col::Memo, 2);
    h.Tool("Save");
    EXPECT_EQ(Rows(*db, kEntries), before);

    // Another supplier typed and left with Down is checked, named and priced before the save.
    int row = 1;
    while (row <= g.MaxRows() && g.Text(col::SupplyNumber, row).isEmpty())
        ++row;
    ASSERT_LE(row, g.MaxRows());
    const QString key = g.Text(col::Key, row);
    QSqlQuery other = db->Exec("SELECT s.code, s.name, s.tax_rate, p.price, s.id FROM supplier_prices p"
                               " JOIN suppliers s ON s.id = p.supplier_id"
                               " WHERE p.item_id = ? AND s.code <> ? AND p.valid_from <= ?"
                               " ORDER BY p.valid_from DESC",
                               {g.Text(col::ItemID, row).toInt(), g.Text(col::SupplyNumber, row),
                                QDate::currentDate().toString("yyyy-MM-dd")});
    ASSERT_TRUE(other.next());
    h.Click(col::ItemNumber, row);
    h.RightTo(col::SupplyNumber);
    h.Type(other.value(0).toString());
    ASSERT_TRUE(h.Editor());
    h.Key(Qt::Key_Down);
    EXPECT_EQ(g.ActiveRow(), row + 1);
    EXPECT_EQ(g.Text(col::SupplyName, row), other.value(1).toString());
    EXPECT_DOUBLE_EQ(g.Text(col::TaxRate, row).toDouble(), other.value(2).toDouble());
    EXPECT_NEAR(g.Text(col::Price, row).toDouble(), other.value(3).toDouble(), 1e-4);
    EXPECT_TRUE(list->DataChanged);

    // A code typed and then left by a jump of the find bar is checked too.
    const int next = row + 2;
    const QString nextKey = g.Text(col::Key, next), nextName = g.Text(col::SupplyName, next);
    h.Click(col::ItemNumber, next);
    h.RightTo(col::SupplyNumber);
    h.Type(other.value(0).toString());
    list->ShowFind();
    int elsewhere = 1;
    while (elsewhere < g.MaxRows() && g.Text(col::BillNo, elsewhere) == g.Text(col::BillNo, next))
        ++elsewhere;
    QTest::keyClicks(list->findChild<QLineEdit*>("txtFind"), g.Text(col::BillNo, elsewhere));
    QTest::mouseClick(list->findChild<QPushButton*>("cmdFindNext"), Qt::LeftButton);
    EXPECT_NE(g.ActiveRow(), next);
    EXPECT_EQ(g.Text(col::SupplyName, next), other.value(1).toString());
    EXPECT_NE(g.Text(col::SupplyName, next), nextName);

    prompts->Clear();
    h.Tool("Save");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "保存成功！");
    for (const QString& k : {key, nextKey}) {
        EXPECT_EQ(Entry(*db, k, "supplier_id"), other.value(4).toString());
        EXPECT_NEAR(Entry(*db, k, "price").toDouble(), other.value(3).toDouble(), 1e-4);
    }
}

TEST_P(AppListTest, BuyerIsRefusedAForbiddenSupplierInTheGridAndByTheStore) {
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    db = store::GenerateStore(location, 150);
    app::Wire(std::make_shared<store::Session>(store::LogIn(db, "buyer")));
    ini::SetConfigDir(config.path());
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const QString had = g.Text(col::SupplyNumber, 1), hadName = g.Text(col::SupplyName, 1),
                  hadId = g.Text(col::SupplyID, 1);
    ASSERT_FALSE(had.isEmpty());
    // A supplier buyer may not use, and a code no supplier has: each is named and the row keeps
    // the supplier it had.
    for (const char* code : {"01.007", "01.099"}) {
        prompts->Clear();
        h.Click(col::ItemNumber, 1);
        h.RightTo(col::SupplyNumber);
        h.Type(code);
        h.Key(Qt::Key_Tab);
        ASSERT_EQ(prompts->Log.size(), 1) << code;
        EXPECT_EQ(prompts->Log[0].Text, QString(code) == "01.007"
                                            ? QString("没有供应商的权限，请与系统管理员联系!")
                                            : QString("没有代码为“01.099”的供应商。"));
        EXPECT_EQ(g.Text(col::SupplyNumber, 1) + g.Text(col::SupplyName, 1) + g.Text(col::SupplyID, 1),
                  had + hadName + hadId);
    }
    // The supplier lookup does not offer them.
    QStringList offered;
    ui::SetModalHandler([&](QDialog& d) {
        d.show();
        auto* search = d.findChild<QLineEdit*>("txtSearch");
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Backspace);
        QTest::qWait(600);
        QAbstractItemModel* model = d.findChild<QTableView*>("grdList")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            offered << model->index(r, 0).data().toString();
        return int(QDialog::Rejected);
    });
    h.Click(col::SupplyNumber, 1);
    EXPECT_GT(offered.size(), 5);
    for (const char* forbidden : {"01.007", "01.012", "01.019"})
        EXPECT_FALSE(offered.contains(forbidden)) << forbidden;
    EXPECT_TRUE(offered.contains(had));

    // Written without the grid's check, the store still refuses it and names plan, entry and supplier.
    prompts->Clear();
    g.SetActiveCell(col::Memo, 2);
    g.SetText(col::SupplyNumber, 1, "01.007");
    list->ToolClick("Save");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith("保存失败！")) << prompts->Log[0].Text.toStdString();
    EXPECT_TRUE(prompts->Log[0].Text.contains("没有使用供应商“01.007”的权限"))
        << prompts->Log[0].Text.toStdString();
    EXPECT_TRUE(prompts->Log[0].Text.contains(g.Text(col::BillNo, 1)));
    EXPECT_EQ(g.Text(col::SupplyNumber, 1), "01.007"); // the user's edit stays
}

TEST_P(AppListTest, TypedNotesAndDatesReachTheStoreHoweverTheEditEnds) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const QString first = g.Text(col::Key, 1), second = g.Text(col::Key, 2);

    // A note still open in its editor when the tool bar's Save is clicked, or Ctrl+S pressed.
    auto* status = list->findChild<QLabel*>("lblStatus");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text(), QString("共 %1 行").arg(g.MaxRows()));
    h.Click(col::Memo, 1);
    h.Type("typed note");
    ASSERT_TRUE(h.Editor());
    h.Key(Qt::Key_Return);
    EXPECT_EQ(status->text(), QString("共 %1 行，1 行有未保存的修改").arg(g.MaxRows()));
    EXPECT_EQ(g.ChangedRowCount(), 1);
    h.Click(col::Memo, 1);
    h.Type("typed note");
    h.Tool("Save");
    EXPECT_EQ(status->text(), QString("共 %1 行").arg(g.MaxRows()));
    EXPECT_EQ(Entry(*db, first, "memo"), "typed note");
    EXPECT_FALSE(list->DataChanged);
    h.Click(col::Memo, 1);
    h.Type("by keys");
    h.Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Entry(*db, first, "memo"), "by keys");

    // A date typed straight into a selected date cell is stored as typed.
    const QDate wanted = QDate::currentDate().addDays(13);
    h.Click(col::FinishDate, 2);
    h.Type(wanted.toString("yyyy-MM-dd"));
    h.Key(Qt::Key_Return);
    EXPECT_EQ(g.Text(col::FinishDate, 2), wanted.toString("yyyy-MM-dd"));
    // One that is no date is refused with a message and leaves the cell as it was.
    prompts->Clear();
    h.Type("2026-13-45");
    h.Key(Qt::Key_Down);
    QApplication::processEvents();
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("“2026-13-45”不是有效的日期"))
        << prompts->Log[0].Text.toStdString();
    EXPECT_EQ(g.Text(col::FinishDate, 2), wanted.toString("yyyy-MM-dd"));
    h.Tool("Save");
    EXPECT_EQ(Entry(*db, second, "finish_date"), wanted.toString("yyyy-MM-dd"));

    // Closing the window with a note still in its editor asks to save it.
    h.Click(col::Memo, 1);
    h.Type("closing note");
    prompts->Clear();
    prompts->QueueAnswer(ui::Yes);
    list->close();
    ASSERT_GE(prompts->Log.size(), 1);
    EXPECT_EQ(prompts->Log[0].Text, "当前记录信息已经改变，是否需要保存？");
    EXPECT_EQ(Entry(*db, first, "memo"), "closing note");
}

TEST_P(AppListTest, AMergedRowPassesOnlyItsEditsToItsEntriesInSavesAndPushes) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    // Entries of one item and supplier that differ in everything a merged row does not show.
    db->Exec("UPDATE plan_entries SET memo = 'own ' || plan_id || '-' || entry_id,"
             " price = price + 0.01 * entry_id + 0.1 * (plan_id % 7), discount_rate = (plan_id * 7 + "
             "entry_id) % 11");
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const int entries = g.MaxRows();
    const QString loaded = Rows(*db, kEntries);

    h.Tool("Merge");
    ASSERT_TRUE(State().IsMergedView);
    EXPECT_EQ(g.ChangedRowCount(), 0) << "folding marks no row as edited";
    h.Tool("Save");
    EXPECT_EQ(Rows(*db, kEntries), loaded) << "a save of an untouched merged view writes nothing";

    // The merged row the test works on: several entries, a supplier without a credit line.
    int merged = 0;
    for (int r = 1; r <= g.MaxRows() && !merged; ++r)
        if (g.Text(col::IsMerge, r) == "1" && g.Text(col::SupplyNumber, r) != "01.005" &&
            g.Text(col::SupplyNumber, r) != "01.008" && g.Text(col::Key, r).count(',') >= 1 &&
            g.Text(col::PurchaseUnFinishQty, r).toDouble() > 0)
            merged = r;
    ASSERT_GT(merged, 0) << "the demo data must hold entries that fold";
    const QStringList keys = g.Text(col::Key, merged).split(',');
    auto othersNow = [&] {
        QStringList rows = RowTexts(*db, kEntries);
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const QString& r) {
                                      return keys.contains(r.section('|', 0, 0) + '_' + r.section('|', 1, 1));
                                  }),
                   rows.end());
        return rows.join(',');
    };
    const QString others = othersNow();
    // What the grid shows of an entry's own values; a save stores prices as shown.
    auto own = [&](const QString& k) -> QString {
        return QString::number(Entry(*db, k, "price").toDouble(), 'f', 4) + "|" +
               Entry(*db, k, "discount_rate") + "|" + Entry(*db, k, "finish_date");
    };
    QHash<QString, QString> ownPrice;
    for (const QString& k : keys)
        ownPrice[k] = own(k);

    // A note typed on the merged row reaches its entries; their prices, rates and dates stay.
    h.Click(col::Memo, merged);
    h.Type("merged note");
    h.Key(Qt::Key_Return);
    // All that is still to order, so every entry takes its share of it.
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
        EXPECT_EQ(Entry(*db, k, "memo"), "merged note") << k.toStdString();
        EXPECT_EQ(own(k), ownPrice[k]) << k.toStdString();
        pushed += Entry(*db, k, "push_qty").toDouble();
    }
    EXPECT_NEAR(pushed, typed.toDouble(), 1e-6);
    EXPECT_EQ(othersNow(), others);

    // Pushed from the merged view, each entry is ordered at its own price and discount.
    h.Tool("Merge");
    const int again = RowOfKey(g, keys.join(','));
    ASSERT_GT(again, 0);
    h.Click(col::CheckBox, again);
    ASSERT_EQ(g.Text(col::CheckBox, again), "1");
    ContinuePastHighPrices();
    const QVariant lastOrder = db->Scalar("SELECT MAX(id) FROM purchase_orders");
    prompts->Clear();
    h.Tool("PushBill");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    const QString newLines =
        " FROM purchase_order_line_sources s"
        " JOIN purchase_order_lines l ON l.order_id = s.order_id AND l.line_no = s.line_no"
        " JOIN plan_entries e ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id"
        " WHERE s.order_id > ?";
    EXPECT_GE(db->Scalar("SELECT COUNT(DISTINCT e.discount_rate)" + newLines, {lastOrder}).toInt(), 2)
        << "the merged row's entries must differ in discount";
    EXPECT_EQ(db->Scalar("SELECT COUNT(*)" + newLines +
                             " AND (abs(l.price - e.price) > 0.00001 OR l.discount_rate <> e.discount_rate"
                             " OR l.memo <> e.memo)",
                         {lastOrder})
                  .toInt(),
              0);
    EXPECT_EQ(othersNow(), others);
}

TEST_P(AppListTest, DeleteInTheMergedViewDeletesEveryPlanItNames) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    h.Tool("Merge");
    int merged = 0;
    for (int r = 1; r <= g.MaxRows() && !merged; ++r)
        if (g.Text(col::BillNo, r).contains(','))
            merged = r;
    ASSERT_GT(merged, 0) << "the demo data must fold entries of two plans";
    const QStringList bills = g.Text(col::BillNo, merged).split(',');
    h.Click(col::CheckBox, merged);
    prompts->QueueAnswer(ui::Yes);
    QStringList results;
    ui::SetModalHandler([&](QDialog& d) {
        if (auto* lines = d.findChild<QListWidget*>("lstResult"))
            for (int i = 0; i < lines->count(); ++i)
                results << lines->item(i)->text();
        return int(QDialog::Accepted);
    });
    list->Tool("mnuEdit", "Delete")->trigger();
    ASSERT_GE(prompts->Log.size(), 1);
    // The result window has a line for each plan, naming that plan alone.
    ASSERT_EQ(results.size(), bills.size()) << results.join('\n').toStdString();
    for (int i = 0; i < bills.size(); ++i)
        for (int j = 0; j < bills.size(); ++j)
            EXPECT_EQ(results[i].contains(bills[j]), i == j) << results[i].toStdString();
    for (const QString& bill : bills) {
        EXPECT_TRUE(prompts->Log[0].Text.contains(bill));
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM purchase_plans WHERE bill_no = ?", {bill}).toInt(), 0)
            << bill.toStdString();
        EXPECT_EQ(db->Scalar("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan002'"
                             " AND operation_type = 3 AND operation_name LIKE ?",
                             {QString("%" + bill + "%")})
                      .toInt(),
                  1)
            << bill.toStdString();
    }
    EXPECT_FALSE(State().IsMergedView);
}

TEST_P(AppListTest, APushQuantityAboveWhatIsLeftIsRefusedWhereTypedSavedOrPushed) {
    const bool ok = StartDemo();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    frmPurchasePlan* list = ShowFiltered();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    const int row = 6;
    ASSERT_GE(g.MaxRows(), row);
    const QString key = g.Text(col::Key, row), had = g.Text(col::PushQty, row);
    const QString named = QString("第%1行（采购建议号[%2]分录号 %3）")
                              .arg(row)
                              .arg(g.Text(col::BillNo, row), key.section('_', 1));

    // Typed: refused as the cell is left, naming the grid row, and the cell keeps its quantity.
    h.Click(col::PushQty, row);
    h.Type("99999");
    h.Key(Qt::Key_Tab);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith(named)) << prompts->Log[0].Text.toStdString();
    EXPECT_EQ(g.Text(col::PushQty, row), had);

    // Written past the cell's check: the save refuses it, naming the row, and stores nothing.
    prompts->Clear();
    g.SetActiveCell(col::Memo, 1);
    g.SetText(col::PushQty, row, "99999");
    h.Tool("Save");
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.startsWith("保存失败！")) << prompts->Log[0].Text.toStdString();
    EXPECT_TRUE(prompts->Log[0].Text.contains(named));
    EXPECT_DOUBLE_EQ(Entry(*db, key, "push_qty").toDouble(), had.toDouble());
}
