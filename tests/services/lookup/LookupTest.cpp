#include "services/ServiceFixture.h"

#include "component/filter/MRpt.h"
#include "component/host/contracts/GLView.h"
#include "services/lookup/BaseDataModel.h"
#include "services/lookup/LookupViewService.h"
#include "services/lookup/frmBaseDataLookup.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <algorithm>

using namespace zpp;
using namespace zpp::test;
using services::BaseDataModel;
using services::frmBaseDataLookup;

namespace {

// A store of either kind holding a few hand-made items and suppliers:
//   items   01.001 六角螺栓, 01.002 六角螺母, 01.010 平垫圈, 02.001 冷轧钢板, A-100 Widget,
//           B-200 Äpfelkiste, P50%折扣件 50%折扣件, X_1 下划线件, XA1 普通件, Z!1 注意!标签,
//           and kBulkItems items 03.0000.. named 批量物料 (more than two pages)
//   suppliers 01.001 上海宏达五金有限公司 (13 %), 01.002 苏州恒信电子科技有限公司 (9 %),
//             02.001 佛山顺达塑胶制品厂 (3 %)
class LookupTest : public WiredStoreTest {
protected:
    static constexpr int kBulkItems = 250;
    void Seed() override {
        db->Exec("INSERT INTO units (id, name) VALUES (1, '个')");
        const char* items[][2] = {{"01.001", "六角螺栓"},      {"01.002", "六角螺母"},
                                  {"01.010", "平垫圈"},        {"02.001", "冷轧钢板"},
                                  {"A-100", "Widget"},         {"B-200", "Äpfelkiste"},
                                  {"P50%折扣件", "50%折扣件"}, {"X_1", "下划线件"},
                                  {"XA1", "普通件"},           {"Z!1", "注意!标签"}};
        QSqlQuery insert = db->Prepare("INSERT INTO items (id, code, name, unit_id) VALUES (?, ?, ?, 1)");
        int id = 0;
        for (const auto& [code, name] : items)
            db->Run(insert, {++id, QString::fromUtf8(code), QString::fromUtf8(name)});
        for (int i = 0; i < kBulkItems; ++i)
            db->Run(insert, {++id, QString("03.%1").arg(i, 4, 10, QChar('0')), QString("批量物料%1").arg(i)});
        db->Exec("INSERT INTO suppliers (id, code, name, tax_rate) VALUES (1, '01.001', "
                 "'上海宏达五金有限公司', 13),"
                 " (2, '01.002', '苏州恒信电子科技有限公司', 9), (3, '02.001', '佛山顺达塑胶制品厂', 3)");
    }
    // Opens the lookup through the service; act runs while its window is open.
    std::shared_ptr<LookupResult> Lookup(qint32 type, QString search,
                                         const std::function<void(frmBaseDataLookup&)>& act) {
        OnModal([&](QDialog& d) { act(dynamic_cast<frmBaseDataLookup&>(d)); });
        QString extra;
        RecordPtr options = KeyedRecord::Create();
        return services::LookupViewService(session).ItemLookUp(type, search, extra, options);
    }
};

// Every code the model lists once all its pages are read.
QStringList AllCodes(BaseDataModel& model) {
    while (model.canFetchMore({}))
        model.fetchMore({});
    QStringList codes;
    for (int r = 0; r < model.rowCount(); ++r)
        codes << model.At(r).Code;
    return codes;
}

BaseDataModel& ModelOf(frmBaseDataLookup& window) {
    return *qobject_cast<BaseDataModel*>(window.findChild<QTableView*>("grdList")->model());
}

QString CurrentCode(frmBaseDataLookup& window) {
    const QModelIndex current = window.findChild<QTableView*>("grdList")->currentIndex();
    return current.isValid() ? ModelOf(window).At(current.row()).Code : QString();
}

void TypeText(frmBaseDataLookup& window, const QString& text) {
    auto* box = window.findChild<QLineEdit*>("txtSearch");
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(box, &commit);
    const QString expected = box->text().trimmed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ModelOf(window).Search() == expected; }, 2000))
        << "the list did not follow the search text " << expected.toStdString();
}

QLineEdit* SearchBox(frmBaseDataLookup& w) {
    return w.findChild<QLineEdit*>("txtSearch");
}
QTableView* List(frmBaseDataLookup& w) {
    return w.findChild<QTableView*>("grdList");
}
QString Status(frmBaseDataLookup& w) {
    return w.findChild<QLabel*>("lblStatus")->text();
}
// What a lookup chose, as "id|code|name".
QString Chosen(const std::shared_ptr<LookupResult>& result) {
    if (!result || !result->ReturnOK || !result->ReturnObject)
        return result && !result->ReturnOK && !result->ReturnObject ? "(nothing)" : "(broken result)";
    return QString("%1|%2|%3")
        .arg(result->ReturnObject->ID)
        .arg(result->ReturnObject->Number, result->ReturnObject->Name);
}

} // namespace

using LookupModel = LookupTest;

// The search matches code or name anywhere, with the user's wildcards taken literally. Pages
// follow one another without gaps or repeats, in byte order of the code in both stores ("XA1"
// before "X_1"), also where the database's language locale sorts "_" before letters.
TEST_P(LookupModel, MatchesLiterallyAndPagesFollowInByteOrderOfTheCode) {
    ZPP_OPEN_OR_SKIP();
    if (!db->IsSQLite())
        db->Exec("ALTER TABLE items ALTER COLUMN code TYPE TEXT COLLATE \"en-US-x-icu\"");
    BaseDataModel model(db, services::kBaseDataItem);
    // Fatal: a broken model contract aborts the program, which fails the test run.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // The tester's own fetchMore runs inside the modelReset signal, before it has noted the reset as
    // finished, and then takes the next page's insertion for a nested change. The pages are fetched
    // below instead, and the tester checks every insertion.
    tester.setUseFetchMore(false);
    const struct {
        const char* Search;
        QStringList Codes;
    } cases[] = {
        {"螺", {"01.001", "01.002"}},    // name
        {"01.00", {"01.001", "01.002"}}, // code
        {"  六角螺栓 ", {"01.001"}},     // blanks around the text do not count
        {"widGET", {"A-100"}},           // ASCII letters fold in both stores
        {"äpfel", {}},                   // other letters do not, in either store
        {"50%", {"P50%折扣件"}},         // % is a character, not "anything"
        {"X_1", {"X_1"}},                // _ is a character, not "one character"
        {"!标", {"Z!1"}},                // the escape character itself
        {"X", {"XA1", "X_1"}},
    };
    for (const auto& c : cases) {
        model.SetSearch(QString::fromUtf8(c.Search));
        EXPECT_EQ(AllCodes(model), c.Codes) << c.Search;
    }
    model.SetSearch("批量");
    EXPECT_EQ(AllCodes(model).size(), kBulkItems);
    model.SetSearch("  "); // a new search starts again at its first page
    EXPECT_EQ(model.rowCount(), services::kLookupPageSize);
    const QStringList all = AllCodes(model);
    EXPECT_EQ(all.size(), kBulkItems + 10);
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end(),
                                 [](const QString& a, const QString& b) { return a.toUtf8() >= b.toUtf8(); }),
              all.end());
}

INSTANTIATE_TEST_SUITE_P(Stores, LookupModel, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);

using LookupWindow = LookupTest;

// The window opens with the search filled in, its matches shown and the focus in the search box;
// screen readers find every control by name. Arrows move the current row while the focus stays in
// the search box (and walk on past the first page), Enter chooses, also right after typing before
// the list followed; a double-click chooses, and typing in the list goes to the search box. Esc
// and Cancel choose nothing.
TEST_P(LookupWindow, ArrowsMoveTheCurrentRowWhileTypingAndEnterChoosesIt) {
    ZPP_OPEN_OR_SKIP();
    const struct {
        qint32 Type;
        const char* Search;
        std::function<void(frmBaseDataLookup&)> Act;
        const char* Chosen;
    } cases[] = {
        {services::kBaseDataItem, "",
         [](frmBaseDataLookup& w) {
             TypeText(w, "六角");
             QTest::keyClick(SearchBox(w), Qt::Key_Down);
             QTest::keyClick(SearchBox(w), Qt::Key_Down); // stays on the last row
             EXPECT_EQ(CurrentCode(w), "01.002");
             QTest::keyClick(SearchBox(w), Qt::Key_Up);
             QTest::keyClick(SearchBox(w), Qt::Key_Down);
             EXPECT_EQ(SearchBox(w)->text(), "六角");
             EXPECT_TRUE(SearchBox(w)->hasFocus() || !QApplication::focusWidget());
             QTest::keyClick(SearchBox(w), Qt::Key_Return);
         },
         "2|01.002|六角螺母"},
        {services::kBaseDataItem, "",
         [](frmBaseDataLookup& w) {
             QTest::keyClicks(SearchBox(w), "xa");
             QTest::keyClick(SearchBox(w), Qt::Key_Enter);
         },
         "9|XA1|普通件"},
        {services::kBaseDataItem, "批量",
         [](frmBaseDataLookup& w) {
             for (int i = 0; i < services::kLookupPageSize; ++i)
                 QTest::keyClick(SearchBox(w), Qt::Key_Down);
             EXPECT_EQ(ModelOf(w).rowCount(), 2 * services::kLookupPageSize);
             EXPECT_EQ(Status(w), "已显示 200 条，向下滚动显示更多");
             QTest::keyClick(SearchBox(w), Qt::Key_Return);
         },
         "111|03.0100|批量物料100"},
        {services::kBaseDataSupplier, "",
         [](frmBaseDataLookup& w) {
             // A real double-click starts with a click; QTest sends only the double-click event.
             EXPECT_EQ(ModelOf(w).data(ModelOf(w).index(1, 2)).toString(), "9"); // the tax rate
             const QPoint at = List(w)->visualRect(ModelOf(w).index(1, 1)).center();
             QTest::mouseClick(List(w)->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(List(w)->viewport(), Qt::LeftButton, {}, at);
         },
         "2|01.002|苏州恒信电子科技有限公司"},
        {services::kBaseDataItem, "",
         [](frmBaseDataLookup& w) {
             List(w)->setFocus();
             QTest::keyClicks(List(w), "wid");
             EXPECT_EQ(SearchBox(w)->text(), "wid");
             ASSERT_TRUE(QTest::qWaitFor([&] { return ModelOf(w).Search() == "wid"; }, 2000));
             QTest::keyClick(List(w), Qt::Key_Return);
         },
         "5|A-100|Widget"},
        {services::kBaseDataItem, "螺",
         [](frmBaseDataLookup& w) {
             EXPECT_EQ(w.focusWidget(), SearchBox(w));
             EXPECT_EQ(CurrentCode(w) + " " + Status(w), "01.001 共 2 条");
             EXPECT_EQ(MissingAccessibleNames(w), QStringList());
             TypeText(w, "批量");
             EXPECT_EQ(Status(w), "已显示 100 条，向下滚动显示更多");
             TypeText(w, "没有这个");
             EXPECT_EQ(Status(w), "没有符合条件的记录");
             QTest::keyClick(SearchBox(w), Qt::Key_Return); // waits on an empty list
             EXPECT_TRUE(w.isVisible());
             QTest::keyClick(SearchBox(w), Qt::Key_Escape);
         },
         "(nothing)"},
        {services::kBaseDataItem, "螺",
         [](frmBaseDataLookup& w) { QTest::keyClick(List(w), Qt::Key_Escape); }, "(nothing)"},
        {services::kBaseDataItem, "螺",
         [](frmBaseDataLookup& w) { w.findChild<QPushButton*>("cmdCancel")->click(); }, "(nothing)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Chosen(Lookup(c.Type, c.Search,
                                [&](frmBaseDataLookup& w) {
                                    c.Act(w);
                                    EXPECT_FALSE(w.isVisible()) << c.Chosen;
                                })),
                  c.Chosen);
}

// The component's own call, through the service the host program registers. A code to select
// is made current, pages read up to it (past the first); one not listed leaves the first row.
TEST_P(LookupWindow, TheWiredServiceAnswersTheFilterDialogsLookup) {
    ZPP_OPEN_OR_SKIP();
    OnModal(
        [](QDialog& d) { QTest::keyClick(SearchBox(dynamic_cast<frmBaseDataLookup&>(d)), Qt::Key_Return); });
    EXPECT_EQ(Chosen(LookupBaseData(kLookupItem, "螺母", "", 1)), "2|01.002|六角螺母");
    EXPECT_EQ(Chosen(LookupBaseData(kLookupItem, "", "", 1, "03.0180")), "191|03.0180|批量物料180");
    int rows = 0;
    OnModal([&](QDialog& d) {
        rows = ModelOf(dynamic_cast<frmBaseDataLookup&>(d)).rowCount();
        QTest::keyClick(SearchBox(dynamic_cast<frmBaseDataLookup&>(d)), Qt::Key_Return);
    });
    EXPECT_EQ(Chosen(LookupBaseData(kLookupItem, "", "", 1, "03.0180x")), "1|01.001|六角螺栓");
    EXPECT_EQ(rows, 2 * services::kLookupPageSize) << "read only up to where the code would be";
    EXPECT_EQ(LookupBaseData(5, "", "", 1), nullptr);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("不支持的基础资料类型 5"))
        << prompts->Log[0].Text.toStdString();
}

// A window left open past the statement limit still searches, on the same connection: the
// statement it keeps for its pages stays open between searches, and that is not a server that
// does not answer.
TEST_P(LookupWindow, AWindowLeftOpenPastTheStatementLimitStillSearches) {
    ZPP_OPEN_OR_SKIP();
    if (db->IsSQLite())
        GTEST_SKIP() << "only a server's connection is watched";
    db->Exec(
        "UPDATE system_settings SET value = '1' WHERE section = 'Store' AND key = 'StatementTimeoutSeconds'");
    db->ApplyTimeLimits();
    EXPECT_EQ(Chosen(Lookup(services::kBaseDataItem, "批量",
                            [&](frmBaseDataLookup& w) {
                                QTest::qWait(db->AnswerLimitMs() + 1000);
                                TypeText(w, "螺");
                                EXPECT_EQ(Status(w), "共 2 条");
                                QTest::keyClick(SearchBox(w), Qt::Key_Return);
                            })),
              "1|01.001|六角螺栓");
    EXPECT_EQ(prompts->Log.size(), 0u);
    EXPECT_EQ(db->Reconnects(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, LookupWindow, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
