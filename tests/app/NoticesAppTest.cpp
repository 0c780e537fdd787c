// Two programs on one store: what another user commits is marked in an open list as it commits,
// without changing a value under the user, and the user decides when to read again.
#include "AppFixture.h"
#include "component/list/ListNotices.h"
#include "component/list/PlanSort.h"
#include "services/planning/HighPrice.h"
#include "services/planupdate/PurchasePlanUpdateService.h"
#include "services/store/Session.h"

#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

namespace zpp::test {

namespace {
// Another program on the list's store, logged in as user (on PostgreSQL as the user's own role).
store::SessionPtr OtherProgram(const store::StorePtr& db, const QString& location, const char* user) {
    return db->IsSQLite() ? std::make_shared<store::Session>(store::LogIn(store::Store::Open(location), user))
                          : OwnRoleSession(db, location, user);
}

QString KeyOf(const controls::SpreadGrid& g, int r) {
    return g.Text(col::InterID, r) + "/" + g.Text(col::EntryID, r);
}
} // namespace

TEST_P(AppTest, ChangesOtherUsersCommitAreMarkedAsTheyCommitAndRefreshReadsThem) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    Hands h{*list};
    controls::SpreadGrid& g = h.g;
    // Rows of suppliers buyer may use, so that buyer's program may change them.
    QVector<int> rows;
    for (int r = 1; r <= g.MaxRows() && rows.size() < 4; ++r)
        if (!QStringList({"01.007", "01.012", "01.019"}).contains(g.Text(col::SupplyNumber, r)))
            rows << r;
    ASSERT_EQ(rows.size(), 4);
    const store::StorePtr other = OtherProgram(db, location, "buyer")->Db;
    const QString where = "WHERE plan_id || '/' || entry_id = ?";
    const QString memoBefore = g.Text(col::Memo, rows[0]);
    other->Exec("UPDATE plan_entries SET memo = '他人的备注' " + where, {KeyOf(g, rows[0])});
    other->Exec("UPDATE plan_entries SET close_mark = 'Y' " + where, {KeyOf(g, rows[1])});
    auto* bar = list->findChild<QFrame*>("barNotices");
    auto* text = list->findChild<QLabel*>("lblNotices");
    ASSERT_TRUE(bar && text);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !g.RowTintTip(rows[1]).isEmpty(); }, 5000));
    EXPECT_TRUE(g.RowTintTip(rows[0]).startsWith("buyer 在 ") &&
                g.RowTintTip(rows[0]).endsWith("修改了此分录"))
        << g.RowTintTip(rows[0]).toStdString();
    EXPECT_TRUE(g.RowTintTip(rows[1]).endsWith("关闭了此分录")) << g.RowTintTip(rows[1]).toStdString();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(text->text(), "列表中有 2 个分录已被其他用户修改。");
    EXPECT_EQ(g.Text(col::Memo, rows[0]), memoBefore) << "nothing changes under the user";

    // The user's own save is not news to its own list; a row edited here and changed there is a
    // conflict, and a save of it asks first (否 saves nothing).
    h.RightTo(rows[2], col::Memo);
    h.Type("mine");
    h.Key(Qt::Key_Return);
    h.Tool("Save");
    QTest::qWait(600);
    EXPECT_TRUE(g.RowTintTip(rows[2]).isEmpty());
    other->Exec("UPDATE plan_entries SET memo = 'theirs' " + where, {KeyOf(g, rows[3])});
    h.RightTo(rows[3], col::Memo);
    h.Type("clash");
    h.Key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return g.RowTintTip(rows[3]).startsWith("冲突："); }, 5000))
        << g.RowTintTip(rows[3]).toStdString();
    prompts->QueueAnswer(ui::No);
    const int said = Said().size();
    h.Tool("Save");
    ASSERT_EQ(Said().size(), said + 1);
    EXPECT_TRUE(Said().last().startsWith("要保存的行中，以下行已被其他用户修改") &&
                Said().last().contains(QString("第%1行：buyer 在 ").arg(rows[3])))
        << Said().last().toStdString();
    EXPECT_EQ(db->Scalar("SELECT memo FROM plan_entries " + where, {KeyOf(g, rows[3])}).toString(), "theirs");

    // A sort moves the marked rows: their tints and 逐个查看 follow the entries, and a change that
    // arrives after the sort marks its entry's new row.
    QStringList marked;
    for (int r : {rows[0], rows[1], rows[3]})
        marked << KeyOf(g, r);
    const QString late = KeyOf(g, rows[2]);
    HeaderCommand(g, col::Qty, PlanSort::Descending);
    other->Exec("UPDATE plan_entries SET memo = 'after the sort' " + where, {late});
    marked << late;
    QVector<int> now;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            now.clear();
            for (int r = 1; r <= g.MaxRows(); ++r)
                if (marked.contains(KeyOf(g, r)))
                    now << r;
            return now.size() == 4 && !g.RowTintTip(now[0]).isEmpty() && !g.RowTintTip(now[1]).isEmpty() &&
                   !g.RowTintTip(now[2]).isEmpty() && !g.RowTintTip(now[3]).isEmpty();
        },
        5000));
    // 逐个查看 walks the marked rows, wrapping; 刷新 reads the store and clears the marks.
    g.SetActiveCell(col::ItemNumber, now[0]);
    QVector<int> walked;
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(list->findChild<QPushButton*>("cmdNextNotice"), Qt::LeftButton);
        walked << g.ActiveRow();
    }
    EXPECT_EQ(walked, QVector<int>({now[1], now[2], now[3], now[0]}));
    list->Notices(); // the list's notices, reached as the window reaches them
    QTest::mouseClick(list->findChild<QPushButton*>("cmdNoticeRefresh"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar->isVisible());
    int shown = 0;
    for (int r = 1; r <= g.MaxRows(); ++r)
        shown += !g.RowTintTip(r).isEmpty();
    EXPECT_EQ(shown, 0);
}

// Another program's push marks its entries as ordered, and a plan another program imports (the
// command line, a process of its own) is counted as added; neither changes a value shown.
TEST_P(AppTest, APushAndAnImportOfAnotherProgramAreMarkedAsTheyCommit) {
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    controls::SpreadGrid& g = Hands{*list}.g;
    int row = 0;
    for (int r = 1; r <= g.MaxRows() && !row; ++r)
        if (g.Text(col::SupplyID, r).toInt() > 0 && g.Text(col::PurchaseUnFinishQty, r).toDouble() >= 1)
            row = r;
    ASSERT_GT(row, 0);
    const QString left = g.Text(col::PurchaseUnFinishQty, row);
    const store::SessionPtr other = OtherProgram(db, location, "admin");
    auto line = KeyedRecord::Create();
    for (const auto& [key, value] :
         std::initializer_list<std::pair<const char*, QString>>{{"FInterID", g.Text(col::InterID, row)},
                                                                {"FEntryID", g.Text(col::EntryID, row)},
                                                                {"FSupplyID", g.Text(col::SupplyID, row)},
                                                                {"FPushQty", "1"},
                                                                {"FPrice", g.Text(col::Price, row)},
                                                                {"FDiscountRate", "0"},
                                                                {"FTaxRate", "13"},
                                                                {"FFinishDate", ""},
                                                                {"FMemo", ""},
                                                                {"FBillNo", ""},
                                                                {"FIsMerge", "0"}})
        line->Set(QString::fromLatin1(key), value);
    line->Set(services::kHighPriceConfirmedField, 1);
    RecordListPtr push = RecordList::Create();
    push->Add(line);
    QString orders;
    QDate day = QDate::currentDate();
    ASSERT_TRUE(services::PurchasePlanUpdateService(other).PushBill({}, push, other->UserId, orders, day));
    EXPECT_TRUE(QTest::qWaitFor([&] { return g.RowTintTip(row).endsWith("下推了此分录"); }, 5000))
        << g.RowTintTip(row).toStdString();
    EXPECT_EQ(g.Text(col::PurchaseUnFinishQty, row), left);

    QTemporaryDir dir;
    QFile plan(dir.filePath("plan.csv"));
    const QString item = db->Scalar("SELECT code FROM items ORDER BY id LIMIT 1").toString();
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(QString("采购建议号,日期,物料代码,数量\nNOTICE-1,%1,%2,5\nNOTICE-1,%1,%2,6\n")
                   .arg(QDate::currentDate().toString("yyyy-MM-dd"), item)
                   .toUtf8());
    plan.close();
    QUrl own(location);
    if (!db->IsSQLite()) {
        own.setUserName("admin");
        own.setPassword("admin");
    }
    QProcess program;
    program.start(QStringLiteral(ZPP_APP_PATH), {"--store", db->IsSQLite() ? location : own.toString(),
                                                 "--import", "plans", plan.fileName()});
    ASSERT_TRUE(program.waitForFinished(60000));
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    auto* text = list->findChild<QLabel*>("lblNotices");
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->text().contains("其他用户新增了 2 个分录。"); }, 5000))
        << text->text().toStdString();
}

// A listener the server cuts off says the list may have missed changes and offers 刷新.
TEST_P(AppTest, ALostListenerSaysTheListMayHaveMissedChanges) {
    if (GetParam() == StoreKind::SQLite)
        GTEST_SKIP() << "a file has no connection to lose";
    frmPurchasePlan* list = OpenList();
    ASSERT_TRUE(list);
    db->Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database()"
             " AND query LIKE 'LISTEN%'");
    auto* text = list->findChild<QLabel*>("lblNotices");
    EXPECT_TRUE(QTest::qWaitFor([&] { return text->text().contains("可能漏掉了其他用户的修改"); }, 5000))
        << text->text().toStdString();
    EXPECT_TRUE(list->findChild<QFrame*>("barNotices")->isVisible());
}

} // namespace zpp::test
