// The rules of a plan's rows: each row is an entry of the plan its number names, checked against
// the items, suppliers and the user's rights, and written many entries to a statement.

#include "Importer.h"
#include "component/host/PlanFields.h"
#include "services/access/Rights.h"
#include "services/planning/PriceService.h"
#include "services/store/StoredText.h"

namespace zpp::services::importing {

void Importer::Entry(const Values& v) {
    enum {
        BillNo,
        Date,
        ItemCode,
        AuxProp,
        SupplierCode,
        Qty,
        EntryPrice,
        Discount,
        Tax,
        Finish,
        Start,
        Memo,
        SourceNo
    };
    const QString billNo = v[BillNo].toString();
    bool ok = Fits(v, BillNo, kCodeChars) & Fits(v, AuxProp, kNameChars) & Fits(v, SourceNo, kNameChars) &
              Positive(v, Qty) & InRange(v, EntryPrice, 0, kLargestAmount) & InRange(v, Discount, 0, 100) &
              InRange(v, Tax, 0, 100);
    if (const QString fault = store::LengthFault(v[Memo].toString(), store::limits::Memo); !fault.isEmpty()) {
        Problem(Memo, fault);
        ok = false;
    }
    if (!v[EntryPrice].isNull() && !m_prices) {
        Problem(EntryPrice, Tr("没有单价权限，不能导入单价"));
        ok = false;
    }
    const auto item = Known(m_items, v, ItemCode, "没有物料“%1”");
    // Stored as the list would show them: at the item's decimals.
    double qty = v[Qty].toDouble();
    QVariant price = v[EntryPrice];
    if (item) {
        const int decimals = m_qtyDecimals.value(v[ItemCode].toString());
        qty = AtDecimals(qty, decimals);
        if (qty <= 0 && v[Qty].toDouble() > 0) {
            Problem(Qty, Tr("按物料的数量精度（%1 位小数）为 0").arg(decimals));
            ok = false;
        }
        if (!price.isNull())
            price = AtDecimals(price.toDouble(), m_priceDecimals.value(v[ItemCode].toString()));
    }
    std::optional<int> supplier;
    if (!v[SupplierCode].isNull()) {
        supplier = Known(m_suppliers, v, SupplierCode, "没有供应商“%1”");
        if (supplier && m_refusedSuppliers.contains(v[SupplierCode].toString())) {
            Problem(SupplierCode, SupplierRefusal(v[SupplierCode].toString()));
            ok = false;
        }
        ok = ok && supplier;
    }
    auto plan = m_plans.find(billNo);
    if (plan == m_plans.end()) {
        if (m_storedPlans.contains(billNo)) {
            Problem(BillNo, Tr("采购建议号“%1”已存在，不能再导入").arg(billNo));
            m_plans.insert(billNo, {0, 0});
            return;
        }
        plan = m_plans.insert(billNo, {0, 0});
    } else if (plan->Id == 0 && plan->Entries == 0 && m_storedPlans.contains(billNo)) {
        return; // named once already
    }
    if (++plan->Entries > 999) {
        Problem(BillNo, Tr("一张采购计划最多 999 条分录"));
        ok = false;
    }
    if (!ok || !item || !m_write)
        return;
    if (plan->Id == 0) {
        plan->Id = m_nextId++;
        m_db.Exec(QStringLiteral(
                      "INSERT INTO purchase_plans (id, bill_no, bill_date, created_by) VALUES (?, ?, ?, ?)"),
                  {plan->Id, billNo, v[Date], m_session.UserId});
    }
    QVariant auxProp(QMetaType::fromType<int>());
    if (!v[AuxProp].isNull()) {
        auto it = m_auxProps.find(v[AuxProp].toString());
        if (it == m_auxProps.end()) {
            // Properties are the plan's own words (colours, grades); a new one is simply added.
            m_db.Exec(QStringLiteral("INSERT INTO aux_props (id, name) VALUES (?, ?)"),
                      {m_nextAuxProp, v[AuxProp]});
            it = m_auxProps.insert(v[AuxProp].toString(), m_nextAuxProp++);
        }
        auxProp = *it;
    }
    QVariant tax = v[Tax];
    if (tax.isNull())
        tax = supplier ? m_supplierTax.value(v[SupplierCode].toString()) : 0.0;
    // An empty price is the supplier's list price of the plan's date, for every user: one
    // who may not see prices gets it too, without learning it.
    if (price.isNull() && m_writesPrices && supplier)
        price = SupplierListPrice(m_db, *supplier, *item, m_itemUnits.value(v[ItemCode].toString()),
                                  QDate::fromString(v[Date].toString(), Qt::ISODate));
    QVariantList row{plan->Id,
                     plan->Entries,
                     v[Date],
                     *item,
                     auxProp,
                     supplier ? QVariant(*supplier) : QVariant(QMetaType::fromType<int>()),
                     qty,
                     0.0,
                     qty,
                     qty,
                     v[Discount].isNull() ? 0.0 : v[Discount],
                     tax,
                     v[Finish].isNull() ? QVariant(QMetaType::fromType<QString>()) : v[Finish],
                     v[Start].isNull() ? QVariant(QMetaType::fromType<QString>()) : v[Start],
                     v[Memo].isNull() ? QStringLiteral("") : v[Memo].toString(),
                     v[SourceNo].isNull() ? QStringLiteral("") : v[SourceNo].toString(),
                     QStringLiteral("")};
    // A role without the price right may not write the column at all; the store's trigger
    // gives its entries their list prices.
    if (m_writesPrices)
        row << (price.isNull() ? 0.0 : price);
    AddEntry(row);
    ++m_result.Added;
}

void Importer::AddEntry(const QVariantList& row) {
    if (!m_entries) {
        QStringList columns{"plan_id",       "entry_id",  "entry_date",  "item_id",       "aux_prop_id",
                            "supplier_id",   "qty",       "ordered_qty", "unordered_qty", "push_qty",
                            "discount_rate", "tax_rate",  "finish_date", "start_date",    "memo",
                            "source_no",     "close_mark"};
        if (m_writesPrices)
            columns << QStringLiteral("price");
        m_entries.emplace(m_db, QStringLiteral("plan_entries"), columns);
    }
    m_entries->Add(row);
    if (m_entries->Pending() >= 500)
        m_entries->Flush();
}

void Importer::Finish() {
    if (m_entries)
        m_entries->Flush();
}

} // namespace zpp::services::importing
