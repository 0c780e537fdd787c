#include "InputFixture.h"

#include "component/grid/PlanGrid.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"

#include <QAbstractItemModel>
#include <QTableView>

using namespace zpp;
using namespace zpp::test;

namespace {

struct Field {
    int Col;
    const char* Key;     // the entry record's key
    const char* Caption; // how a message names it
    bool Date;
};

const Field kFields[] = {{col::PushQty, "FPushQty", "下推数量", false},
                         {col::Price, "FPrice", "含税单价", false},
                         {col::DiscountRate, "FDiscountRate", "折扣率", false},
                         {col::TaxRate, "FTaxRate", "税率", false},
                         {col::FinishDate, "FFinishDate", "建议交货日期", true}};

const QStringList kBadNumbers = {QString(),
                                 QStringLiteral("abc"),
                                 QStringLiteral("1e309"),
                                 QStringLiteral("NaN"),
                                 QStringLiteral("-1"),
                                 QStringLiteral("1,5"),
                                 QStringLiteral("1234567890123456789012345678901234567890")};
const QStringList kBadDates = {QStringLiteral("2024-02-30"), QStringLiteral("0000-01-01"),
                               QStringLiteral("9999-12-32"), QStringLiteral("昨天")};

// Entries and order lines whose numbers are out of what the store may hold: NaN, infinite or negative.
const char* kBadStored =
    "SELECT (SELECT COUNT(*) FROM plan_entries WHERE NOT (push_qty BETWEEN 0 AND 1e300 AND price BETWEEN 0"
    " AND 1e300 AND discount_rate BETWEEN 0 AND 100 AND tax_rate BETWEEN 0 AND 100 AND qty BETWEEN 0 AND"
    " 1e300 AND ordered_qty BETWEEN 0 AND 1e300))"
    " + (SELECT COUNT(*) FROM purchase_order_lines WHERE NOT (qty BETWEEN 0 AND 1e300 AND price BETWEEN 0"
    " AND 1e300 AND discount_rate BETWEEN 0 AND 100 AND tax_rate BETWEEN 0 AND 100))";

} // namespace

class BadValuesTest : public InputTest {
protected:
    struct Tally {
        qint64 Tried = 0, GridRefused = 0, Refused = 0, Accepted = 0, Unnamed = 0, SqlErrors = 0;
    };

    // The row's entry as the store holds the fields under test.
    QString Stored(controls::SpreadGrid& g, int row) {
        return Rows(*db, QStringLiteral("SELECT push_qty, price, discount_rate, tax_rate, finish_date"
                                        " FROM plan_entries WHERE plan_id = %1 AND entry_id = %2")
                             .arg(g.Text(col::InterID, row).toInt())
                             .arg(g.Text(col::EntryID, row).toInt()));
    }

    // A message about the value: refused naming the field, or something else.
    void Judge(Tally& t, const QString& message, const Field& field, const QString& what) {
        if (IsSqlError(message)) {
            ++t.SqlErrors;
            ADD_FAILURE() << what.toStdString() << ": " << message.toStdString();
        } else if (message.isEmpty() || message == QStringLiteral("保存成功！")) {
            ++t.Accepted;
            ADD_FAILURE() << what.toStdString() << " was accepted";
        } else if (!message.contains(QString::fromUtf8(field.Caption))) {
            ++t.Unnamed;
            ADD_FAILURE() << what.toStdString() << ": " << message.toStdString();
        } else {
            ++t.Refused;
        }
    }

    // A push line of the row with good values, for the service's push.
    RecordPtr PushLine(controls::SpreadGrid& g, int row) {
        auto r = KeyedRecord::Create();
        for (const auto& [key, column] :
             std::initializer_list<std::pair<const char*, int>>{{"FInterID", col::InterID},
                                                                {"FEntryID", col::EntryID},
                                                                {"FBillNo", col::BillNo},
                                                                {"FSupplyID", col::SupplyID},
                                                                {"FItemID", col::ItemID},
                                                                {"FPrice", col::Price},
                                                                {"FDiscountRate", col::DiscountRate},
                                                                {"FTaxRate", col::TaxRate},
                                                                {"FFinishDate", col::FinishDate},
                                                                {"FMemo", col::Memo}})
            r->Set(QString::fromLatin1(key), g.Text(column, row));
        r->Set(QStringLiteral("FPushQty"), QStringLiteral("1"));
        return r;
    }

    void Report(const char* route, const Tally& t) {
        const auto figure = [&](const char* what, qint64 value) {
            Figure("bad values", QByteArray(QByteArray(route) + ": " + what).constData(), value);
        };
        figure("values tried", t.Tried);
        figure("refused by the grid editor", t.GridRefused);
        figure("refused naming the field", t.Refused);
        figure("accepted", t.Accepted);
        figure("refused without naming the field", t.Unnamed);
        figure("SQL errors", t.SqlErrors);
    }
};

// Bad numbers and dates typed into the grid and saved, or sent straight to the update service's
// save and push: every one is refused (by the cell or with a message naming the field), the store
// keeps what it had, and nothing stored is NaN, infinite or negative.
TEST_P(BadValuesTest, BadNumbersAndDatesAreRefusedNamingTheField) {
    const bool ok = CreateStore();
    ZPP_REQUIRE_STORE(QString(ok ? "x" : ""));
    LogIn(QStringLiteral("admin"));
    frmPurchasePlan* list = OpenList();
    controls::SpreadGrid& g = list->vsProc();
    QAbstractItemModel* model = g.View()->model();
    auto update = CreateObject<PurchasePlanUpdate>(QString::fromLatin1(progid::PurchasePlanUpdate));

    // A pushable row: open, with a supplier and something left to order.
    QList<int> rows;
    for (int r = 1; r <= g.MaxRows(); ++r)
        if (g.Text(col::Close, r).trimmed().isEmpty() && g.Text(col::SupplyID, r).toInt() > 0 &&
            g.Text(col::PurchaseUnFinishQty, r).toDouble() >= 1)
            rows << r;
    ASSERT_FALSE(rows.isEmpty());
    // The full form goes through every such row; the bounded one through the first.
    if (!Soak())
        rows = rows.mid(0, 1);

    Tally typed, direct, save, push;
    const int ordersBefore = db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_orders")).toInt();
    for (int row : rows) {
        for (const Field& field : kFields) {
            for (const QString& value : field.Date ? kBadDates : kBadNumbers) {
                const QString what = QStringLiteral("%1 “%2” row %3").arg(field.Key, value).arg(row);
                const QString stored = Stored(g, row);
                // Blank is no value at all in a number cell (0) and no date: not a bad value there.
                const bool blank = value.isEmpty();

                // Typed: the cell's editor commits the text as the user left it.
                ++typed.Tried;
                const QString shownBefore = g.Text(field.Col, row);
                const bool taken = model->setData(model->index(row - 1, field.Col - 1), value, Qt::EditRole);
                if (!taken || g.Text(field.Col, row) == shownBefore) {
                    ++typed.GridRefused;
                } else if (!blank) {
                    prompts->Clear();
                    list->ToolClick(QStringLiteral("Save"));
                    Judge(typed, prompts->Log.value(0).Text, field, QStringLiteral("typed ") + what);
                }
                list->ToolClick(QStringLiteral("iRefresh"));

                // Directly into the cell, as a fill-down or another program would put it.
                if (!blank) {
                    ++direct.Tried;
                    bool held = true;
                    try {
                        g.SetText(field.Col, row, value);
                    } catch (const Error&) {
                        held = false; // the cell's type refuses it
                        ++direct.GridRefused;
                    }
                    if (held) {
                        list->DataChanged = true;
                        prompts->Clear();
                        list->ToolClick(QStringLiteral("Save"));
                        Judge(direct, prompts->Log.value(0).Text, field,
                              QStringLiteral("in the cell ") + what);
                    }
                    list->ToolClick(QStringLiteral("iRefresh"));
                }

                // Straight to the service's save and push records.
                if (!blank) {
                    ++save.Tried;
                    auto r = KeyedRecord::Create();
                    r->Set(QStringLiteral("FInterID"), g.Text(col::InterID, row));
                    r->Set(QStringLiteral("FEntryID"), g.Text(col::EntryID, row));
                    r->Set(QStringLiteral("FBillNo"), g.Text(col::BillNo, row));
                    r->Set(QString::fromLatin1(field.Key), value);
                    RecordListPtr entries = RecordList::Create();
                    entries->Add(r);
                    QString message;
                    try {
                        update->UpdatePurchasePlanEntry(GetPropsString(), entries);
                    } catch (const Error& e) {
                        message = e.Description();
                    }
                    Judge(save, message, field, QStringLiteral("save record ") + what);

                    ++push.Tried;
                    RecordPtr line = PushLine(g, row);
                    line->Set(QString::fromLatin1(field.Key), value);
                    RecordListPtr lines = RecordList::Create();
                    lines->Add(line);
                    QString orderIds;
                    QDate billDate = QDate::currentDate();
                    message.clear();
                    try {
                        update->PushBill(GetPropsString(), lines, 1, orderIds, billDate);
                    } catch (const Error& e) {
                        message = e.Description();
                    }
                    Judge(push, message, field, QStringLiteral("push record ") + what);
                }
                list->ToolClick(QStringLiteral("iRefresh"));
                if (!blank) {
                    EXPECT_EQ(Stored(g, row), stored) << what.toStdString();
                }
            }
        }
    }
    const qint64 badStored = db->Scalar(QString::fromLatin1(kBadStored)).toLongLong();
    const qint64 orders =
        db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_orders")).toInt() - ordersBefore;
    Report("typed and saved", typed);
    Report("in the cell and saved", direct);
    Report("save record", save);
    Report("push record", push);
    Figure("bad values", "stored NaN, infinite or negative", badStored);
    Figure("bad values", "orders written", orders);
    EXPECT_EQ(badStored, 0);
    EXPECT_EQ(orders, 0);
    EXPECT_EQ(CanaryRows(), 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, BadValuesTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
