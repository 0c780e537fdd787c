// What each way of editing the list stores, driven with real keys and clicks over a real store.
#include "AppFixture.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <algorithm>

using namespace zpp;
using namespace zpp::test;

namespace {

// The first line of every push that orders nothing.
const QString kNothingPushed = "没有下推任何分录，也没有生成采购订单。";

// Everything a save or a push may change in an entry, version included.
const QString kEntries = "SELECT plan_id, entry_id, supplier_id, push_qty, price, discount_rate, tax_rate,"
                         " finish_date, memo, row_version FROM plan_entries";

} // namespace

// A supplier cell is checked, named and priced only when its code changed, however it is left. A
// note ended with Enter marks its row; one still open in its editor when the tool bar's Save is
// clicked, Ctrl+S pressed or the window closed is stored. A push quantity above what is left is
// refused by the save, naming the grid row.
TEST_P(AppTest, EditsReachTheStoreHoweverTheyEnd) {
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

    int row = 1;
    while (row <= g.MaxRows() && g.Text(col::SupplyNumber, row).isEmpty())
        ++row;
    ASSERT_LE(row + 2, g.MaxRows());
    // The supplier lookup a click opens does not offer a supplier the user may not use (01.007).
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
    Answer([](QDialog&) {});
    list->activateWindow(); // back from the lookup, as the window manager does
    ASSERT_TRUE(QTest::qWaitForWindowActive(list));
    EXPECT_TRUE(offered.size() > 5 && offered.contains("01.008") && !offered.contains("01.007"))
        << offered.join(',').toStdString();
    // Another supplier typed and left with Down, or with the tool bar's Save, is checked, named
    // and priced; the save stores both.
    QSqlQuery other = db->Exec("SELECT s.code, s.id, p.price FROM supplier_prices p"
                               " JOIN suppliers s ON s.id = p.supplier_id WHERE p.item_id = ? AND s.code <> ?"
                               " AND s.code <> '01.007' AND p.valid_from <= ? ORDER BY p.valid_from DESC",
                               {g.Text(col::ItemID, row).toInt(), g.Text(col::SupplyNumber, row),
                                QDate::currentDate().toString("yyyy-MM-dd")});
    ASSERT_TRUE(other.next());
    const int next = row + 2;
    for (int r : {row, next}) {
        h.RightTo(r, col::SupplyNumber);
        h.Type(other.value(0).toString());
        ASSERT_TRUE(h.Editor());
        if (r == row)
            h.Key(Qt::Key_Down);
    }
    h.Tool("Save");
    for (int r : {row, next})
        EXPECT_EQ(Entry(g.Text(col::Key, r), "supplier_id") + "|" +
                      QString::number(Entry(g.Text(col::Key, r), "price").toDouble(), 'f', 4),
                  other.value(1).toString() + "|" + QString::number(other.value(2).toDouble(), 'f', 4));

    // A note ended with Enter marks its row; one still open in its editor is stored however the
    // edit ends.
    const QString first = g.Text(col::Key, 1);
    auto* status = list->findChild<QLabel*>("lblStatus");
    h.Click(col::Memo, 1);
    h.Type("typed note");
    h.Key(Qt::Key_Return);
    EXPECT_EQ(status->text(), QString("共 %1 行，1 行有未保存的修改").arg(g.MaxRows()));
    h.Click(col::Memo, 1);
    h.Type("tool bar");
    ASSERT_TRUE(h.Editor());
    h.Tool("Save");
    EXPECT_EQ(status->text() + "|" + Entry(first, "memo"), QString("共 %1 行|tool bar").arg(g.MaxRows()));
    h.Click(col::Memo, 1);
    h.Type("by keys");
    h.Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Entry(first, "memo"), "by keys");

    const int over = 6; // a push quantity above what is left
    const QString key = g.Text(col::Key, over), had = g.Text(col::PushQty, over);
    prompts->Clear();
    g.SetText(col::PushQty, over, "99999");
    h.Tool("Save");
    const QString said = Said().join('\n');
    EXPECT_TRUE(said.startsWith("保存失败！") &&
                said.contains(QString("第%1行（采购建议号[%2]分录号 %3）")
                                  .arg(over)
                                  .arg(g.Text(col::BillNo, over), key.section('_', 1))))
        << said.toStdString();
    EXPECT_DOUBLE_EQ(Entry(key, "push_qty").toDouble(), had.toDouble());
    g.SetText(col::PushQty, over, had);

    h.Click(col::Memo, 1);
    h.Type("closing note");
    prompts->Clear();
    prompts->QueueAnswer(ui::Yes);
    list->close();
    EXPECT_EQ(Said().value(0) + "|" + Entry(first, "memo"),
              "当前记录信息已经改变，是否需要保存？|closing note");
}

// A note and a push quantity typed on a merged row reach its entries, each entry taking its share;
// pushed from the merged view, each entry is ordered at its own price, discount and note. Nothing
// else changes.
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
    h.Tool("Merge");
    ASSERT_TRUE(State().IsMergedView);

    // The merged row the test works on: several entries, a supplier without a credit line.
    int merged = 0;
    for (int r = 1; r <= g.MaxRows() && !merged; ++r)
        if (g.Text(col::Key, r).contains(',') &&
            !QString("01.005 01.008").contains(g.Text(col::SupplyNumber, r)) &&
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
    h.Click(col::Memo, merged);
    h.Type("merged note");
    h.Key(Qt::Key_Return);
    const QString typed = QString::number(g.Text(col::PurchaseUnFinishQty, merged).toDouble());
    h.Click(col::PushQty, merged);
    h.Type(typed);
    h.Key(Qt::Key_Return);
    h.Tool("Merge"); // unfold: the quantity is poured into the entries
    EXPECT_EQ(g.MaxRows(), entries);
    h.Tool("Save");
    double pushed = 0;
    for (const QString& k : keys) {
        EXPECT_EQ(Entry(k, "memo"), "merged note") << k.toStdString();
        pushed += Entry(k, "push_qty").toDouble();
    }
    EXPECT_NEAR(pushed, typed.toDouble(), 1e-6);
    EXPECT_EQ(untouched(), others);

    h.Tool("Merge");
    int again = 1;
    while (again < g.MaxRows() && g.Text(col::Key, again) != mergedKey)
        ++again;
    // The cells whose entries differ say so, and the push asks first, naming them.
    EXPECT_TRUE(g.CellNote(col::Price, again).startsWith("各分录的值不同，下单时各按自己的值："));
    EXPECT_TRUE(g.CellNote(col::DiscountRate, again).contains("、"));
    EXPECT_EQ(g.CellNote(col::Memo, again), "") << "the note the entries now share is shown";
    EXPECT_EQ(g.Text(col::Memo, again), "merged note");
    h.Click(col::CheckBox, again);
    QString asked;
    FollowPush([&](QDialog& d) {
        if (auto* text = d.findChild<QPlainTextEdit*>("txtMessage"))
            asked += text->toPlainText();
    });
    const QVariant lastOrder = db->Scalar("SELECT MAX(id) FROM purchase_orders");
    prompts->Clear();
    h.Tool("PushBill");
    EXPECT_TRUE(prompts->Log.isEmpty()) << prompts->Log.value(0).Text.toStdString();
    const QStringList lines = asked.split(QRegularExpression("[\r\n]+"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << asked.toStdString();
    // Dates differ in the demo data as well; the edited note is shared now.
    EXPECT_TRUE(
        lines[1].startsWith(QString("第%1行（含税单价、折扣率(%)、建议交货日期）：采购建议号[").arg(again)))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "是否继续下推？");
    // The merged row's entries must differ in discount for the comparison to mean anything.
    EXPECT_EQ(Rows(*db, QString("SELECT CASE WHEN COUNT(DISTINCT e.discount_rate) > 1 THEN 'differ' END,"
                                " SUM(CASE WHEN abs(l.price - e.price) > 0.00001 OR l.discount_rate <>"
                                " e.discount_rate OR l.memo <> e.memo THEN 1 ELSE 0 END)"
                                " FROM purchase_order_line_sources s JOIN purchase_order_lines l"
                                " ON l.order_id = s.order_id AND l.line_no = s.line_no JOIN plan_entries e"
                                " ON e.plan_id = s.plan_id AND e.entry_id = s.entry_id WHERE s.order_id > %1")
                            .arg(lastOrder.toLongLong())),
              "differ|0");
    EXPECT_EQ(untouched(), others);
}

// A delete in the merged view deletes every plan its rows name, logging each; the result window
// has a line for each plan, naming that plan alone.
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
    QStringList results, expected;
    Answer([&](QDialog& d) {
        if (auto* lines = d.findChild<QListWidget*>("lstResult"))
            for (int i = 0; i < lines->count(); ++i)
                results << lines->item(i)->text();
    });
    list->Tool("mnuEdit", "Delete")->trigger();
    for (const QString& bill : bills) {
        expected << "删除[采购建议号：" + bill + " ]该记录成功";
        EXPECT_TRUE(Said().value(0).contains(bill)) << Said().value(0).toStdString();
        EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_plans WHERE bill_no = ?", {bill}), 0);
        EXPECT_EQ(Count("SELECT COUNT(*) FROM operation_log WHERE object_code = 'CGPlan002' AND "
                        "operation_name LIKE ?",
                        {QString("%" + bill + "%")}),
                  1);
    }
    EXPECT_EQ(results, expected);
}

// A push sends each entry with the version the list holds of it. An entry another program changed
// since the list read it (price, note or delivery date, its version moved) refuses the whole push,
// naming the row, plan and entry, and nothing is written; in the merged view a change to any one
// entry of a merged row does, and after a fold and unfold the rows still find their versions. A
// list's own save moves its versions on, so the save and a push after it go through, and after a
// push the list holds the versions the push left.
TEST_P(AppTest, APushRefusesEntriesChangedElsewhereSinceTheListReadThem) {
    enum View { Plain, Merged, Unfolded };
    const QString later = QDate::currentDate().addDays(45).toString("yyyy-MM-dd");
    const struct {
        const char* name;
        View view;
        QString change; // what the other program sets; none: the list's own save, then the push
    } cases[] = {
        {"plain, price", Plain, "price = 1.432"},
        {"plain, note", Plain, "memo = 'changed elsewhere'"},
        {"plain, date", Plain, "finish_date = '" + later + "'"},
        {"merged, price of a later entry", Merged, "price = 1.432"},
        {"merged, note of a later entry", Merged, "memo = 'changed elsewhere'"},
        {"folded and unfolded, price", Unfolded, "price = 1.432"},
        {"plain, unchanged", Plain, {}},
        {"merged, unchanged", Merged, {}},
    };
    const QString refusal = "第%1行（采购建议号[%2]分录号 %3）：该分录已被其他用户修改，请刷新后重新下推";
    // Every write of a push adds an order, a line or a version.
    const QString written = "SELECT (SELECT COUNT(*) FROM purchase_orders), (SELECT COUNT(*) FROM"
                            " purchase_order_lines), (SELECT SUM(row_version) FROM plan_entries)";
    QSet<QString> used; // entries of earlier cases
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (QWidget* w : OpenListWindows())
            w->close();
        QApplication::processEvents();
        frmPurchasePlan* list = OpenList();
        ASSERT_TRUE(list);
        Hands h{*list};
        controls::SpreadGrid& g = h.g;
        if (c.view != Plain)
            h.Tool("Merge");
        if (c.view == Unfolded)
            h.Tool("Merge");
        ASSERT_EQ(State().IsMergedView, c.view == Merged);

        // The row to push and the entry of it that changes: in the merged view an entry after the
        // first that has something to push, so each entry must carry its own version.
        int row = 0;
        QString key;
        for (int r : PushableRows(g, g.MaxRows(), false)) {
            const QStringList keys = g.Text(col::Key, r).split(',');
            QStringList pushing;
            for (const QString& k : keys)
                if (Entry(k, "push_qty").toDouble() > 0)
                    pushing << k;
            const bool fresh =
                std::none_of(keys.begin(), keys.end(), [&](const QString& k) { return used.contains(k); });
            if (fresh && (c.view == Merged ? pushing.size() >= 2 : keys.size() == 1)) {
                row = r;
                key = pushing.value(c.view == Merged ? 1 : 0);
                for (const QString& k : keys)
                    used.insert(k);
                break;
            }
        }
        ASSERT_GT(row, 0) << "the demo data must hold a row to push";
        const QString plan = key.section('_', 0, 0), entry = key.section('_', 1);

        if (c.change.isEmpty()) {
            h.Click(col::Memo, row);
            h.Type("own save");
            h.Key(Qt::Key_Return);
            prompts->Clear();
            h.Tool("Save");
            ASSERT_EQ(Said(), QStringList{"保存成功！"});
            ASSERT_EQ(Entry(key, "memo"), "own save");
        } else {
            // Another program on a connection of its own, writing as the program's save does.
            const store::StorePtr other = store::Store::Open(location);
            other->Exec("UPDATE plan_entries SET " + c.change +
                            ", row_version = row_version + 1 WHERE plan_id = ? AND entry_id = ?",
                        {plan.toInt(), entry.toInt()});
        }

        // The list learns of the other program's change as it commits and asks before the push;
        // 是 goes on, and the store refuses the entry whatever the list knew.
        if (!c.change.isEmpty())
            ASSERT_TRUE(QTest::qWaitFor([&] { return !g.RowTintTip(row).isEmpty(); }, 5000));
        const QString before = Rows(*db, written);
        const int orders = Count("SELECT COUNT(*) FROM purchase_orders");
        h.Click(col::CheckBox, row);
        ASSERT_EQ(g.Text(col::CheckBox, row), "1");
        FollowPush();
        prompts->Clear();
        if (!c.change.isEmpty())
            prompts->QueueAnswer(ui::Yes);
        h.Tool("PushBill");
        if (!c.change.isEmpty()) {
            const QString billNo =
                db->Scalar("SELECT bill_no FROM purchase_plans WHERE id = ?", {plan.toInt()}).toString();
            ASSERT_EQ(Said().size(), 2);
            EXPECT_TRUE(Said()[0].startsWith(
                QString("要下推的行中，以下行已被其他用户修改（数据库会拒绝这些行，请刷新后"
                        "重新下推）：\n第%1行：")
                    .arg(row)))
                << Said()[0].toStdString();
            EXPECT_EQ(Said()[1], kNothingPushed + "\r\n" + refusal.arg(row).arg(billNo, entry));
            EXPECT_EQ(Rows(*db, written), before);
            continue;
        }
        EXPECT_EQ(Said(), QStringList{});
        EXPECT_GT(Count("SELECT COUNT(*) FROM purchase_orders"), orders);
        EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_order_line_sources WHERE plan_id = ? AND entry_id = ?",
                        {plan.toInt(), entry.toInt()}),
                  1);
        // The list read its rows again: a save of the pushed entry goes through.
        int again = 1;
        while (again < g.MaxRows() && g.Text(col::Key, again) != key)
            ++again;
        ASSERT_EQ(g.Text(col::Key, again), key);
        h.Click(col::Memo, again);
        h.Type("after push");
        h.Key(Qt::Key_Return);
        prompts->Clear();
        h.Tool("Save");
        EXPECT_EQ(Said(), QStringList{"保存成功！"});
        EXPECT_EQ(Entry(key, "memo"), "after push");
    }
}

// A merged row orders each of its entries at the entry's own delivery date: one entry without a
// date refuses the push, naming the row, plan and entry, and nothing is written.
TEST_P(AppTest, APushOfAMergedRowRefusesAnEntryWithoutADeliveryDate) {
    QString blank; // an entry after the first, with something to push, of a row a buyer may push
    {
        frmPurchasePlan* list = OpenList();
        ASSERT_TRUE(list);
        Hands h{*list};
        h.Tool("Merge");
        for (int r : PushableRows(h.g, h.g.MaxRows(), false)) {
            const QStringList keys = h.g.Text(col::Key, r).split(',');
            if (keys.size() >= 2 && Entry(keys[1], "push_qty").toDouble() > 0) {
                blank = keys[1];
                break;
            }
        }
        list->close();
        QApplication::processEvents();
    }
    ASSERT_FALSE(blank.isEmpty()) << "the demo data must hold entries that fold";
    db->Exec("UPDATE plan_entries SET finish_date = NULL WHERE plan_id || '_' || entry_id = ?", {blank});

    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    h.Tool("Merge");
    int row = 1;
    while (row < h.g.MaxRows() && !h.g.Text(col::Key, row).split(',').contains(blank))
        ++row;
    ASSERT_TRUE(h.g.Text(col::Key, row).split(',').contains(blank));
    // The merged row shows the earliest date of its other entries, which a push takes.
    ASSERT_GE(h.g.Text(col::FinishDate, row), QDate::currentDate().toString("yyyy-MM-dd"));
    h.Click(col::CheckBox, row);
    const QString written = "SELECT (SELECT COUNT(*) FROM purchase_orders), (SELECT COUNT(*) FROM"
                            " purchase_order_lines)";
    const QString before = Rows(*db, written);
    QString shown;
    FollowPush([&](QDialog& d) {
        if (auto* text = d.findChild<QPlainTextEdit*>("txtMessage"))
            shown += text->toPlainText();
    });
    h.Tool("PushBill");
    const QString billNo =
        db->Scalar("SELECT bill_no FROM purchase_plans WHERE id = ?", {blank.section('_', 0, 0).toInt()})
            .toString();
    EXPECT_EQ(shown.trimmed(),
              kNothingPushed + QString("\n第%1行（采购建议号[%2]分录号 %3）：建议交货日期不能为空")
                                   .arg(row)
                                   .arg(billNo, blank.section('_', 1)));
    EXPECT_EQ(Rows(*db, written), before);
}

// A fold and unfold gives the rows back in their order, with the marks of what was edited: a row
// edited before the fold keeps its mark, the entries of a merged row edited while folded gain
// one, and no other row is marked.
TEST_P(AppTest, AnUnfoldKeepsTheRowOrderAndMarksOnlyWhatWasEdited) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    auto* status = list->findChild<QLabel*>("lblStatus");
    auto keys = [&] {
        QStringList k;
        for (int r = 1; r <= g.MaxRows(); ++r)
            k << g.Text(col::Key, r);
        return k;
    };
    auto marked = [&] {
        QStringList k;
        for (int r = 1; r <= g.MaxRows(); ++r)
            if (g.RowChanged(r))
                k << g.Text(col::Key, r);
        return k;
    };
    const QStringList order = keys();

    h.Tool("Merge");
    ASSERT_LT(g.MaxRows(), order.size()) << "the demo data must hold entries that fold";
    h.Tool("Merge");
    EXPECT_EQ(keys(), order);
    EXPECT_EQ(marked(), QStringList{});

    // An edit before the fold.
    h.Click(col::Memo, 3);
    h.Type("before the fold");
    h.Key(Qt::Key_Return);
    const QString edited = g.Text(col::Key, 3);
    h.Tool("Merge");
    h.Tool("Merge");
    EXPECT_EQ(keys(), order);
    EXPECT_EQ(marked(), QStringList{edited});
    EXPECT_EQ(status->text(), QString("共 %1 行，1 行有未保存的修改").arg(g.MaxRows()));

    // An edit of a merged row while folded.
    h.Tool("Merge");
    int merged = 1;
    while (merged < g.MaxRows() &&
           (!g.Text(col::Key, merged).contains(',') || g.Text(col::Key, merged).split(',').contains(edited)))
        ++merged;
    const QStringList members = g.Text(col::Key, merged).split(',');
    ASSERT_GE(members.size(), 2);
    h.Click(col::Memo, merged);
    h.Type("while folded");
    h.Key(Qt::Key_Return);
    h.Tool("Merge");
    EXPECT_EQ(keys(), order);
    QStringList expected = members;
    expected << edited;
    QStringList got = marked();
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    // A save then stores the edits.
    h.Tool("Save");
    EXPECT_EQ(Entry(edited, "memo"), "before the fold");
    for (const QString& k : members)
        EXPECT_EQ(Entry(k, "memo"), "while folded") << k.toStdString();
}
