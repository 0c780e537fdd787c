// What is left to order (the filter's box, 全选 and 下推 over ordered rows), rows and commands a
// user may not change, and the supplier cell, driven with real keys and clicks over a real store.
#include "AppFixture.h"
#include "component/host/Access.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "support/OrderedElsewhere.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>
#include <cmath>

using namespace zpp;
using namespace zpp::test;

namespace {

const QString kNothingPushed = "没有下推任何分录，也没有生成采购订单。";

QStringList Keys(controls::SpreadGrid& g) {
    QStringList keys;
    for (int r = 1; r <= g.MaxRows(); ++r)
        keys << g.Text(col::Key, r);
    return keys;
}

// Today's open entries ("plan_entry") with what each has left and its item's quantity decimals.
struct Open {
    QString Key;
    double Left;
    int Decimals;
};
QList<Open> TodaysOpen(const store::Store& db) {
    QSqlQuery q = db.Exec("SELECT e.plan_id || '_' || e.entry_id, e.unordered_qty, i.qty_decimals"
                          " FROM plan_entries e JOIN items i ON i.id = e.item_id"
                          " WHERE e.entry_date = ? AND e.close_mark = '' ORDER BY e.plan_id, e.entry_id",
                          {QDate::currentDate().toString("yyyy-MM-dd")});
    QList<Open> open;
    while (q.next())
        open.append({q.value(0).toString(), q.value(1).toDouble(), q.value(2).toInt()});
    return open;
}

void Order(const store::Store& db, const QString& key, double qty) {
    OrderElsewhere(db, key.section('_', 0, 0).toInt(), key.section('_', 1).toInt(), qty);
}

} // namespace

// The filter's "只显示未下推完的分录", ticked with a click, keeps the entries with something left
// as the list shows it: one ordered in full and one ordered to less than its item's smallest unit
// go, one ordered in part stays. The default scheme keeps the box; a scheme saved before the box
// existed still loads, with the box clear.
TEST_P(AppTest, TheFilterKeepsOnlyEntriesLeftToOrderAndItsSchemeRemembersTheBox) {
    const QList<Open> open = TodaysOpen(*db);
    ASSERT_GE(open.size(), 4);
    db->InTransaction([&] {
        Order(*db, open[0].Key, open[0].Left);
        Order(*db, open[1].Key, open[1].Left - 0.4 / std::pow(10, open[1].Decimals));
        Order(*db, open[2].Key, 1 / std::pow(10, open[2].Decimals));
    });
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    EXPECT_EQ(h.g.MaxRows(), open.size());

    Answer([](QDialog& d) {
        auto* box = d.findChild<QCheckBox*>("chkUnordered");
        EXPECT_FALSE(box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    h.Tool("iFilter");
    QStringList left;
    for (const Open& o : open.mid(2))
        left << o.Key;
    EXPECT_EQ(Keys(h.g), left);

    bool ticked = false, closedTicked = false;
    Answer([&](QDialog& d) {
        ticked = d.findChild<QCheckBox*>("chkUnordered")->isChecked();
        closedTicked = d.findChild<QCheckBox*>("chkClosed")->isChecked();
    });
    h.Tool("iFilter");
    EXPECT_TRUE(ticked && closedTicked);
    db->Exec("DELETE FROM filter_scheme_values WHERE key = 'chkUnordered'");
    h.Tool("iFilter");
    EXPECT_TRUE(!ticked && closedTicked);
    EXPECT_EQ(Keys(h.g), left) << "a cancelled filter keeps the list";
}

// 全选 and 下推 over a list holding entries ordered in full push the others and say in one line
// that those were skipped; over nothing left, the message's first line says nothing was pushed.
TEST_P(AppTest, SelectAllAndPushSkipsRowsOrderedInFullInOneLine) {
    // Every open entry of today can be pushed: a supplier, a delivery date ahead, no credit line.
    db->Exec("UPDATE plan_entries SET finish_date = '2099-12-31',"
             " supplier_id = COALESCE(supplier_id, (SELECT MIN(id) FROM suppliers))");
    db->Exec("UPDATE suppliers SET credit_line = NULL");
    const QList<Open> open = TodaysOpen(*db);
    ASSERT_GE(open.size(), 3);
    db->InTransaction([&] {
        for (int i : {0, 2})
            Order(*db, open[i].Key, open[i].Left);
    });
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    const QString leftSql = "SELECT COUNT(*) FROM plan_entries WHERE entry_date = ? AND unordered_qty > 0";
    const int orders = Count("SELECT COUNT(*) FROM purchase_orders");
    QString note;
    FollowPush([&](QDialog& d) {
        if (d.objectName() == "frmMrpResult")
            note = d.findChild<QLabel*>("lblNote")->text();
    });
    h.Tool("SelectAll");
    h.Tool("PushBill");
    EXPECT_EQ(Said(), QStringList());
    EXPECT_EQ(note, "2 行已全部下推，已跳过");
    EXPECT_EQ(Count(leftSql, {today}), 0);
    EXPECT_GT(Count("SELECT COUNT(*) FROM purchase_orders"), orders);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM plan_entries WHERE ordered_qty > qty"), 0);

    // The list read again holds only entries ordered in full.
    const int all = Count("SELECT COUNT(*) FROM purchase_orders");
    ASSERT_EQ(h.g.MaxRows(), open.size());
    h.Tool("SelectAll");
    h.Tool("PushBill");
    EXPECT_EQ(Said(),
              QStringList(kNothingPushed + "\r\n" + QString("%1 行已全部下推，已跳过").arg(open.size())));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM purchase_orders"), all);
}

// A buyer denied supplier 01.007 sees its rows greyed with a tip saying why; typing into one, F2,
// a click on its tick box or its supplier cell, a double click and 批量填充 from above change
// nothing and (but the fill) say why at once; 全选 leaves the row out. In English too.
TEST_P(AppTest, RowsOfAForbiddenSupplierAreReadOnlyAndSayWhyAtOnce) {
    const QList<Open> open = TodaysOpen(*db);
    ASSERT_GE(open.size(), 3);
    db->Exec("UPDATE plan_entries SET supplier_id = (SELECT id FROM suppliers WHERE code = ?)"
             " WHERE plan_id || '_' || entry_id = ?",
             {"01.001", open[0].Key});
    db->Exec("UPDATE plan_entries SET supplier_id = (SELECT id FROM suppliers WHERE code = ?)"
             " WHERE plan_id || '_' || entry_id = ?",
             {"01.007", open[2].Key});
    for (const QString lang : {"", "en"}) {
        frmPurchasePlan* list = OpenList("buyer", lang);
        ASSERT_TRUE(list);
        Hands h{*list};
        controls::SpreadGrid& g = h.g;
        const int row = int(Keys(g).indexOf(open[2].Key)) + 1, free = int(Keys(g).indexOf(open[0].Key)) + 1;
        ASSERT_TRUE(row > free && free >= 1);
        const QString why = lang.isEmpty() ? "没有供应商“01.007”的权限，该行只能查看，不能修改。"
                                           : "You may not use supplier “01.007”: this row can be viewed but "
                                             "not changed.";
        const auto cells = [&] {
            QStringList texts;
            for (int c : {col::CheckBox, col::SupplyNumber, col::PushQty, col::FinishDate, col::Memo})
                texts << g.Text(c, row);
            return texts;
        };
        const QStringList before = cells();
        const QModelIndex at = g.View()->model()->index(row - 1, col::PushQty - 1);
        EXPECT_TRUE(at.data(Qt::BackgroundRole).isValid());
        EXPECT_FALSE(g.View()->model()->index(free - 1, col::PushQty - 1).data(Qt::BackgroundRole).isValid());
        g.View()->scrollTo(at);
        const QPoint centre = g.View()->visualRect(at).center();
        QHelpEvent tip(QEvent::ToolTip, centre, g.View()->viewport()->mapToGlobal(centre));
        QApplication::sendEvent(g.View()->viewport(), &tip);
        EXPECT_EQ(QToolTip::text(), why);

        h.Click(col::Memo, free);
        h.Type("fill");
        h.Key(Qt::Key_Return);
        h.Key(Qt::Key_F6);
        EXPECT_EQ(g.Text(col::Memo, row), before[4]);
        prompts->Clear();
        h.Click(col::PushQty, row);
        h.Type("5");
        EXPECT_FALSE(h.Editor());
        h.Key(Qt::Key_F2);
        h.Click(col::CheckBox, row);
        Answer([](QDialog& d) { ADD_FAILURE() << d.objectName().toStdString() << " opened"; });
        h.Click(col::SupplyNumber, row);
        list->PurchasePlanUI()->GetRightSupply(col::SupplyNumber, row, 0); // as 下推 checks the active cell
        // A double click as the window system delivers it: a click, then the double click.
        QTest::mouseClick(g.View()->viewport(), Qt::LeftButton, {}, g.View()->visualRect(at).center());
        QTest::mouseDClick(g.View()->viewport(), Qt::LeftButton, {}, g.View()->visualRect(at).center());
        Answer([](QDialog&) {});
        EXPECT_EQ(Said(), QStringList(5, why));
        h.Tool("SelectAll");
        EXPECT_EQ(g.Text(col::CheckBox, free) + g.Text(col::CheckBox, row), "10");
        EXPECT_EQ(cells(), before);
        EXPECT_FALSE(g.RowChanged(row));
        prompts->QueueAnswer(ui::No); // the note filled down is not saved
        list->close();
    }
}

// The supplier cell opened by a click lists every supplier the user may use, the row's own chosen.
// A code the user may not use, or that no supplier has, typed and ended with Enter is refused at
// once: the row keeps its supplier and price, and its change mark (none, or that of an edit made
// before). A code the user may use shows its name and price at once, the cell still active.
TEST_P(AppTest, TheSupplierCellListsEverySupplierAndChecksATypedCodeOnEnter) {
    db->Exec("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use) VALUES (1, '01.007', 0)");
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    int row = 1;
    while (row <= g.MaxRows() && QString(",,01.007").contains(g.Text(col::SupplyNumber, row)))
        ++row;
    ASSERT_LE(row, g.MaxRows());
    const auto shown = [&] {
        return QStringList({g.Text(col::SupplyNumber, row), g.Text(col::SupplyName, row),
                            g.Text(col::SupplyID, row), g.Text(col::Price, row)});
    };
    const QStringList before = shown();
    QStringList listed;
    Answer([&](QDialog& d) {
        auto* view = d.findChild<QTableView*>("grdList");
        listed << d.findChild<QLineEdit*>("txtSearch")->text() << view->currentIndex().data().toString();
        for (int r = 0; r < view->model()->rowCount(); ++r)
            listed << view->model()->index(r, 0).data().toString();
    });
    h.Click(col::SupplyNumber, row);
    Answer([](QDialog&) {});
    EXPECT_EQ(listed, QStringList({"", before[0]}) +
                          RowTexts(*db, "SELECT code FROM suppliers WHERE code <> '01.007' ORDER BY code"));

    const char* codes[] = {"01.007", "01.099", "01.007"};
    for (int i = 0; i < 3; ++i) {
        const QString code = codes[i];
        prompts->Clear();
        h.RightTo(row, col::SupplyNumber);
        h.Type(code);
        h.Key(Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_EQ(Said(), QStringList(code == "01.007" ? "没有供应商的权限，请与系统管理员联系!"
                                                       : "没有代码为“01.099”的供应商。"));
        EXPECT_EQ(shown(), before);
        // Unmarked at first; after a note the row keeps the note's mark.
        EXPECT_EQ(g.ChangedRowCount(), i > 0 ? 1 : 0) << i;
        EXPECT_EQ(g.RowChanged(row), i > 0) << i;
        h.Click(col::Memo, row);
        h.Type("kept");
        h.Key(Qt::Key_Return);
    }

    QSqlQuery other = db->Exec(
        "SELECT s.code, s.name, p.price FROM supplier_prices p JOIN suppliers s ON s.id = p.supplier_id"
        " WHERE p.item_id = ? AND s.code NOT IN (?, '01.007') AND p.valid_from <= ?"
        " ORDER BY p.valid_from DESC",
        {g.Text(col::ItemID, row).toInt(), before[0], QDate::currentDate().toString("yyyy-MM-dd")});
    ASSERT_TRUE(other.next());
    h.RightTo(row, col::SupplyNumber);
    h.Type(other.value(0).toString());
    h.Key(Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(QPoint(g.ActiveCol(), g.ActiveRow()), QPoint(col::SupplyNumber, row));
    EXPECT_EQ(g.Text(col::SupplyName, row) + "|" + g.Text(col::Price, row),
              other.value(1).toString() + "|" + QString::number(other.value(2).toDouble(), 'f', 4));
}

// A command the user lacks the right for names that right below the refusal, in either language.
TEST_P(AppTest, CommandsWithoutTheirRightNameTheRight) {
    db->Exec("UPDATE user_rights SET granted_mask = granted_mask & ? WHERE user_id ="
             " (SELECT id FROM users WHERE name = 'buyer')",
             {~qint64(rights::Close)});
    for (const QString lang : {"", "en"}) {
        frmPurchasePlan* list = OpenList("buyer", lang);
        ASSERT_TRUE(list);
        prompts->Clear();
        Hands{*list}.Tool("Delete");
        list->Tool("mnuEdit", "Close")->trigger();
        list->Tool("mnuEdit", "UnClose")->trigger();
        EXPECT_EQ(Said(), lang.isEmpty() ? QStringList({"对不起，你没有相应的权限！\n所需权限：删除",
                                                        "对不起，你没有相应的权限！\n所需权限：关闭",
                                                        "对不起，你没有相应的权限！\n所需权限：关闭"})
                                         : QStringList({"Sorry, you do not have the required right!\nRight "
                                                        "required: Delete",
                                                        "Sorry, you do not have the required right!\nRight "
                                                        "required: Close",
                                                        "Sorry, you do not have the required right!\nRight "
                                                        "required: Close"}));
        list->close();
    }
}
