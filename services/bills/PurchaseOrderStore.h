#pragma once

#include "platform/records/Amounts.h"
#include "services/store/Session.h"

#include <QDate>
#include <QVector>
#include <optional>

namespace zpp::services {

// A plan entry an order line was pushed from, with the quantity the line took from it.
struct LineSource {
    QString PlanBillNo;
    qint32 PlanId = 0, EntryId = 0;
    double Qty = 0;
};

struct OrderLine {
    int LineNo = 0;
    QString ItemNumber, ItemName, ItemModel, UnitName, Memo;
    double Qty = 0, Price = 0, DiscountRate = 0, TaxRate = 0;
    QDate FinishDate;
    int QtyDecimals = 4, PriceDecimals = 4;
    qint32 ItemId = 0, UnitId = 0;
    qint64 Version = 1; // as loaded; every write of the line moves it on
    QVector<LineSource> Sources;
};

struct PurchaseOrder {
    qint64 Id = 0;
    QString BillNo, SupplyNumber, SupplyName, Buyer;
    QDate Date;
    bool Closed = false;
    // What the reading user may do: without the price right the lines carry no price (0) and
    // the window shows none; without the push right, or for a supplier the user may not use, the
    // order can only be looked at.
    bool PricesShown = true, MayEdit = true;
    QVector<OrderLine> Lines;
    qint32 SupplierId = 0;
};

// What a line or an order comes to, to the cent (see values::LineAmount).
using OrderAmounts = values::LineAmount;
// Rates (discount, tax) are shown with two decimals.
constexpr int kRateDecimals = 2;
// A value as the order shows it: rounded to its decimals as the text is.
double ShownValue(double value, int decimals);
// qty × price less the discount; without tax = amount / (1 + tax rate), each rounded to the cent.
// Quantity, price and rates are taken as shown (at their decimals), not as stored.
OrderAmounts LineAmounts(const OrderLine& line);
// The sums of the lines' rounded figures, so the totals add up to what the lines show.
OrderAmounts OrderTotals(const QVector<OrderLine>& lines);

// The reason a line cannot be saved as it is (negative quantity or price, a missing or early
// delivery date); nothing when it can.
std::optional<QString> CheckLine(const OrderLine& line, const QDate& orderDate);

// Purchase orders in the store, read for the order window and written back from it, for the
// session's user: reading needs the right to open the plan list, changing needs the push right
// (the quantity moves the plan's ordered quantity) and a supplier the user may use, and a price
// change needs the price right.
class PurchaseOrderStore {
public:
    explicit PurchaseOrderStore(store::SessionPtr session) : m_session(session), m_db(session->Db) {}

    // Fails with an Error when there is no such order.
    PurchaseOrder Load(qint64 orderId) const;

    // Writes the quantity, price or delivery date of every line of edited that differs from
    // loaded (only the fields that differ), in one transaction. A changed quantity moves the linked plan
    // entries' ordered quantity with it: a decrease gives back to the entries (last one first), an increase
    // takes from their unordered quantity in order and is refused when they do not have enough. The entries
    // are read under the transaction, so a push made since loading counts.
    // A raised price above the supplier's price-list limit is refused unless its line is among
    // confirmedHighPrices: the user was shown those HighPricedLines and chose to save.
    void Save(const PurchaseOrder& loaded, const QVector<OrderLine>& edited,
              const QVector<int>& confirmedHighPrices = {}) const;

    // The edited lines whose price was raised above the supplier's price-list limit, numbered.
    QVector<int> HighPricedLines(const PurchaseOrder& loaded, const QVector<OrderLine>& edited) const;

private:
    void MoveEntryQty(qint64 orderId, const OrderLine& line, double delta) const;
    void CheckCredit(const QVariant& supplierId) const;
    QVector<int> HighPriced(const PurchaseOrder& loaded, const QVector<OrderLine>& edited,
                            const QVariant& supplierId) const;

    store::SessionPtr m_session;
    store::StorePtr m_db;
};

} // namespace zpp::services
