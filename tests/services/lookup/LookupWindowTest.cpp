#include "LookupFixture.h"

#include "component/filter/MRpt.h"
#include "services/lookup/BaseDataModel.h"
#include "services/lookup/frmBaseDataLookup.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace zpp;
using namespace zpp::test;
using services::frmBaseDataLookup;

namespace {
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

using LookupWindow = LookupTest;

// Screen readers and UI automation find every control of the window by name.
TEST_P(LookupWindow, OpensWithTheSearchFilledInItsMatchesShownAndTheFocusInTheSearchBox) {
    ZPP_OPEN_OR_SKIP();
    EXPECT_EQ(Chosen(Lookup(services::kBaseDataItem, "螺",
                            [](frmBaseDataLookup& w) {
                                EXPECT_EQ(w.windowTitle(), "物料查询");
                                EXPECT_EQ(SearchBox(w)->text(), "螺");
                                EXPECT_EQ(w.focusWidget(), SearchBox(w));
                                EXPECT_EQ(ModelOf(w).rowCount(), 2);
                                EXPECT_EQ(CurrentCode(w), "01.001");
                                EXPECT_EQ(Status(w), "共 2 条");
                                EXPECT_TRUE(w.findChild<QPushButton*>("cmdOK")->isEnabled());
                                EXPECT_EQ(MissingAccessibleNames(w), QStringList());
                                w.reject();
                            })),
              "(nothing)");
    Lookup(services::kBaseDataItem, "批量", [](frmBaseDataLookup& w) {
        EXPECT_EQ(Status(w), "已显示 100 条，向下滚动显示更多");
        TypeText(w, "没有这个");
        EXPECT_EQ(Status(w), "没有符合条件的记录");
        EXPECT_FALSE(w.findChild<QPushButton*>("cmdOK")->isEnabled());
        w.reject();
    });
}

// Arrows move the current row while the focus stays in the search box (and walk on past the first
// page), Enter chooses, also right after typing before the list followed; a double-click chooses,
// and typing in the list goes to the search box.
TEST_P(LookupWindow, ArrowsMoveTheCurrentRowWhileTypingAndEnterChoosesIt) {
    ZPP_OPEN_OR_SKIP();
    const auto keys = [](std::initializer_list<Qt::Key> keys) {
        return [keys](frmBaseDataLookup& w) {
            for (Qt::Key k : keys)
                QTest::keyClick(SearchBox(w), k);
        };
    };
    const struct {
        qint32 Type;
        const char* Search;
        std::function<void(frmBaseDataLookup&)> Act;
        const char* Chosen;
    } cases[] = {
        {services::kBaseDataItem, "",
         [&](frmBaseDataLookup& w) {
             TypeText(w, "六角");
             keys({Qt::Key_Down, Qt::Key_Down})(w); // stays on the last row
             EXPECT_EQ(CurrentCode(w), "01.002");
             keys({Qt::Key_Up, Qt::Key_Down})(w);
             EXPECT_EQ(SearchBox(w)->text(), "六角");
             EXPECT_TRUE(SearchBox(w)->hasFocus() || !QApplication::focusWidget());
             keys({Qt::Key_Return})(w);
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
    };
    for (const auto& c : cases)
        EXPECT_EQ(Chosen(Lookup(c.Type, c.Search, c.Act)), c.Chosen);
}

TEST_P(LookupWindow, EscCancelAndCloseChooseNothingAndEnterOnAnEmptyListWaits) {
    ZPP_OPEN_OR_SKIP();
    const std::function<void(frmBaseDataLookup&)> ways[] = {
        [](frmBaseDataLookup& w) { QTest::keyClick(SearchBox(w), Qt::Key_Escape); },
        [](frmBaseDataLookup& w) { QTest::keyClick(List(w), Qt::Key_Escape); },
        [](frmBaseDataLookup& w) { w.findChild<QPushButton*>("cmdCancel")->click(); },
        [](frmBaseDataLookup& w) { w.close(); },
    };
    for (const auto& cancel : ways)
        EXPECT_EQ(Chosen(Lookup(services::kBaseDataItem, "螺",
                                [&](frmBaseDataLookup& w) {
                                    cancel(w);
                                    EXPECT_FALSE(w.isVisible());
                                })),
                  "(nothing)");
    EXPECT_EQ(Chosen(Lookup(services::kBaseDataSupplier, "没有这个",
                            [](frmBaseDataLookup& w) {
                                QTest::keyClick(SearchBox(w), Qt::Key_Return);
                                w.findChild<QPushButton*>("cmdOK")->click();
                                EXPECT_TRUE(w.isVisible());
                                w.reject();
                            })),
              "(nothing)");
}

TEST_P(LookupWindow, EnglishLogInSeesEnglishTexts) {
    ZPP_OPEN_OR_SKIP("en");
    Lookup(services::kBaseDataSupplier, "有限公司", [](frmBaseDataLookup& w) {
        EXPECT_EQ(w.windowTitle(), "Supplier Lookup");
        EXPECT_EQ(w.findChild<QLabel*>("lblSearch")->text(), "Find");
        EXPECT_EQ(Status(w), "Rows: 2");
        const QAbstractItemModel& m = ModelOf(w);
        EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "Code");
        EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "Name");
        EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), "Tax rate (%)");
        EXPECT_NE(w.findChild<QPushButton*>("cmdOK")->text(), "确定(&O)");
        w.reject();
    });
}

// The component's own call, through the service the host program registers.
TEST_P(LookupWindow, TheWiredServiceAnswersTheFilterDialogsLookup) {
    ZPP_OPEN_OR_SKIP();
    ui::SetModalHandler([](QDialog& d) {
        d.show();
        auto& w = dynamic_cast<frmBaseDataLookup&>(d);
        EXPECT_EQ(SearchBox(w)->text(), "螺母");
        QTest::keyClick(SearchBox(w), Qt::Key_Return);
        return d.result();
    });
    EXPECT_EQ(Chosen(LookupBaseData(kLookupItem, "螺母", "", 1)), "2|01.002|六角螺母");

    ui::SetModalHandler([](QDialog& d) {
        d.reject();
        return d.result();
    });
    EXPECT_EQ(LookupBaseData(kLookupSupplier, "", "", 1), nullptr);
    EXPECT_TRUE(prompts->Log.isEmpty());

    EXPECT_EQ(LookupBaseData(5, "", "", 1), nullptr);
    ASSERT_EQ(prompts->Log.size(), 1);
    EXPECT_TRUE(prompts->Log[0].Text.contains("不支持的基础资料类型 5"))
        << prompts->Log[0].Text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Stores, LookupWindow, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
