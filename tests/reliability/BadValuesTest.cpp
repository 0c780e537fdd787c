#include "InputFixture.h"
#include "Reliability.h"

#include "component/grid/PlanGrid.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/PurchasePlanUpdate.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Error.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <functional>
#include <optional>

using namespace zpp;
using namespace zpp::test;

namespace {

struct Field {
    int Col;             // 0: not a cell of the grid, only in the records the services take
    const char* Key;     // the entry record's key
    const char* Caption; // how a message names it
    bool Date;
};

const Field kFields[] = {{col::PushQty, "FPushQty", "下推数量", false},
                         {col::Price, "FPrice", "含税单价", false},
                         {col::DiscountRate, "FDiscountRate", "折扣率", false},
                         {col::TaxRate, "FTaxRate", "税率", false},
                         {col::FinishDate, "FFinishDate", "建议交货日期", true},
                         {0, "FInterID", "采购建议内码", false},
                         {0, "FEntryID", "分录号", false}};

const QStringList kBadNumbers = {"abc", "1e309", "NaN",
                                 "-1",  "1,5",   "1234567890123456789012345678901234567890"};
const QStringList kBadDates = {"2024-02-30", "0000-01-01", "9999-12-32", "昨天"};

// The keys of an entry record the services take (a save needs the first three), and the grid
// columns they come from.
const char* const kRecordKeys[] = {"FInterID", "FEntryID",      "FBillNo",  "FSupplyID",   "FItemID",
                                   "FPrice",   "FDiscountRate", "FTaxRate", "FFinishDate", "FMemo"};
const int kRecordColumns[] = {col::InterID, col::EntryID,      col::BillNo,  col::SupplyID,   col::ItemID,
                              col::Price,   col::DiscountRate, col::TaxRate, col::FinishDate, col::Memo};

// Entries and order lines whose numbers are out of what the store may hold: NaN, infinite or negative.
const char* kBadStored =
    "SELECT (SELECT COUNT(*) FROM plan_entries WHERE NOT (push_qty BETWEEN 0 AND 1e300 AND price BETWEEN 0"
    " AND 1e300 AND discount_rate BETWEEN 0 AND 100 AND tax_rate BETWEEN 0 AND 100 AND qty BETWEEN 0 AND"
    " 1e300 AND ordered_qty BETWEEN 0 AND 1e300))"
    " + (SELECT COUNT(*) FROM purchase_order_lines WHERE NOT (qty BETWEEN 0 AND 1e300 AND price BETWEEN 0"
    " AND 1e300 AND discount_rate BETWEEN 0 AND 100 AND tax_rate BETWEEN 0 AND 100))";

} // namespace

using BadValuesTest = InputTest;

// Bad numbers, dates and ids typed into the grid and saved, put straight into its cells and saved,
// or sent to the update service's save and push: every one is refused (by the cell or with a
// message naming the field, never a store error), the store keeps what it had, and nothing stored
// is NaN, infinite or negative.
TEST_P(BadValuesTest, BadNumbersAndDatesAreRefusedNamingTheField) {
    LogIn(QStringLiteral("admin"));
    frmPurchasePlan* list = OpenList();
    controls::SpreadGrid& g = list->vsProc();
    QAbstractItemModel* model = g.View()->model();
    auto update = CreateObject<PurchasePlanUpdate>(QString::fromLatin1(progid::PurchasePlanUpdate));

    // Pushable rows: open, with a supplier and something left to order.
    QList<int> rows;
    for (int r = 1; r <= g.MaxRows(); ++r)
        if (g.Text(col::Close, r).trimmed().isEmpty() && g.Text(col::SupplyID, r).toInt() > 0 &&
            g.Text(col::PurchaseUnFinishQty, r).toDouble() >= 1)
            rows << r;
    ASSERT_FALSE(rows.isEmpty());
    // The full form goes through every such row; the bounded one through the first.
    if (!reliability::Soak())
        rows = rows.mid(0, 1);
    const auto stored = [&](int row) {
        return Rows(*db, QStringLiteral("SELECT push_qty, price, discount_rate, tax_rate, finish_date FROM"
                                        " plan_entries WHERE plan_id = %1 AND entry_id = %2")
                             .arg(g.Text(col::InterID, row).toInt())
                             .arg(g.Text(col::EntryID, row).toInt()));
    };
    // The row's entry as a one-record list: its first `fields` keys from the grid (a push line
    // takes 1 to order), then the value under test.
    const auto Record = [&](int row, std::size_t fields, const Field& f, const QString& value) {
        auto r = KeyedRecord::Create();
        if (fields > 3)
            r->Set(QStringLiteral("FPushQty"), QStringLiteral("1"));
        for (std::size_t i = 0; i < fields; ++i)
            r->Set(QString::fromLatin1(kRecordKeys[i]), g.Text(kRecordColumns[i], row));
        r->Set(QString::fromLatin1(f.Key), value);
        RecordListPtr list = RecordList::Create();
        list->Add(r);
        return list;
    };
    const auto saveList = [&] {
        list->DataChanged = true;
        prompts->Clear();
        list->ToolClick(QStringLiteral("Save"));
        return prompts->Log.value(0).Text;
    };
    const auto described = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.Description();
        }
        return QString();
    };
    // A route gives the message a value met, or nothing when the grid's cell refused it.
    using Route = std::function<std::optional<QString>(int row, const Field&, const QString& value)>;
    const std::pair<const char*, Route> routes[] = {
        {"typed and saved",
         [&](int row, const Field& f, const QString& value) -> std::optional<QString> {
             const QString shownBefore = g.Text(f.Col, row);
             if (!model->setData(model->index(row - 1, f.Col - 1), value, Qt::EditRole) ||
                 g.Text(f.Col, row) == shownBefore)
                 return std::nullopt;
             return saveList();
         }},
        {"in the cell and saved",
         [&](int row, const Field& f, const QString& value) -> std::optional<QString> {
             try {
                 g.SetText(f.Col, row, value); // as a fill-down or another program would put it
             } catch (const Error&) {
                 return std::nullopt; // the cell's type refuses it
             }
             return saveList();
         }},
        {"save record",
         [&](int row, const Field& f, const QString& value) -> std::optional<QString> {
             RecordListPtr entries = Record(row, 3, f, value);
             return described([&] { update->UpdatePurchasePlanEntry(GetPropsString(), entries); });
         }},
        {"push record",
         [&](int row, const Field& f, const QString& value) -> std::optional<QString> {
             RecordListPtr lines = Record(row, std::size(kRecordKeys), f, value);
             QString orderIds;
             QDate billDate = QDate::currentDate();
             return described([&] { update->PushBill(GetPropsString(), lines, 1, orderIds, billDate); });
         }},
    };

    QMap<QString, qint64> figures;
    const int ordersBefore = db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_orders")).toInt();
    for (int row : rows) {
        for (const Field& field : kFields) {
            for (const QString& value : field.Date ? kBadDates : kBadNumbers) {
                const QString before = stored(row);
                for (const auto& [route, run] : routes) {
                    if (field.Col == 0 && QByteArray(route).endsWith("saved"))
                        continue;
                    const QString what =
                        QStringLiteral("%1: %2 “%3” row %4").arg(route, field.Key, value).arg(row);
                    const auto figure = [&](const char* name) { ++figures[QString(route) + ": " + name]; };
                    figure("values tried");
                    const std::optional<QString> message = run(row, field, value);
                    if (!message)
                        figure("refused by the grid editor");
                    else if (IsSqlError(*message))
                        figure("SQL errors"), ADD_FAILURE()
                                                  << what.toStdString() << ": " << message->toStdString();
                    else if (message->isEmpty() || *message == QStringLiteral("保存成功！"))
                        figure("accepted"), ADD_FAILURE() << what.toStdString() << " was accepted";
                    else if (!message->contains(QString::fromUtf8(field.Caption)))
                        figure("refused without naming the field"),
                            ADD_FAILURE() << what.toStdString() << ": " << message->toStdString();
                    else
                        figure("refused naming the field");
                    list->ToolClick(QStringLiteral("iRefresh"));
                    EXPECT_EQ(stored(row), before) << what.toStdString();
                }
            }
        }
    }
    const qint64 badStored = db->Scalar(QString::fromLatin1(kBadStored)).toLongLong();
    const qint64 orders =
        db->Scalar(QStringLiteral("SELECT COUNT(*) FROM purchase_orders")).toInt() - ordersBefore;
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        Figure("bad values", it.key(), it.value());
    Figure("bad values", "stored NaN, infinite or negative", badStored);
    Figure("bad values", "orders written", orders);
    EXPECT_EQ(badStored, 0);
    EXPECT_EQ(orders, 0);
    EXPECT_EQ(Rows(*db, "SELECT x FROM canary"), "42");
}

INSTANTIATE_TEST_SUITE_P(Stores, BadValuesTest, ::testing::Values(StoreKind::SQLite, StoreKind::PostgreSQL),
                         StoreKindName);
