// The rules of the records a company starts with, one function a kind: units, items, suppliers,
// price lists and supplier rights. Plans have their own file: their rows make plans and entries.

#include "Importer.h"
#include "component/host/PlanFields.h"

namespace zpp::services::importing {

void Importer::Row(const Values& v) {
    switch (m_kind.Kind) {
    case ImportKind::Units:
        return Unit(v);
    case ImportKind::Items:
        return Item(v);
    case ImportKind::Suppliers:
        return Supplier(v);
    case ImportKind::Prices:
        return Price(v);
    case ImportKind::SupplierRights:
        return SupplierRight(v);
    case ImportKind::Plans:
        return Entry(v);
    }
}

void Importer::Unit(const Values& v) {
    const QString name = v[0].toString();
    if (!Fits(v, 0, kCodeChars) || !FirstTime(m_seen, name, 0, name))
        return;
    const bool exists = m_units.contains(name);
    if (!MayChange(exists, 0, name) || exists || !m_write)
        return;
    m_db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (?, ?)"), {m_nextId, name});
    m_units.insert(name, m_nextId++);
    ++m_result.Added;
}

void Importer::Item(const Values& v) {
    const QString code = v[0].toString();
    bool ok = Fits(v, 0, kCodeChars) & Fits(v, 1, kNameChars) & Fits(v, 2, kNameChars) &
              InRange(v, 4, 0, 10) & InRange(v, 5, 0, 10);
    std::optional<int> unit;
    if (m_columnOf[3] >= 0) {
        unit = Known(m_units, v, 3, "没有单位“%1”");
        ok = ok && unit;
    }
    ok = ok && FirstTime(m_seen, code, 0, code);
    const bool exists = ok && m_items.contains(code);
    if (!ok || !MayChange(exists, 0, code) || (!exists && !MayAdd(code)) ||
        (exists && unit && !UnitMayChange(code, *unit)) || !m_write)
        return;
    const int qtyDecimals = v[4].isNull() ? 4 : v[4].toInt();
    const int priceDecimals = v[5].isNull() ? 4 : v[5].toInt();
    const QString model = v[2].isNull() ? QStringLiteral("") : v[2].toString();
    if (exists) {
        Update("items",
               {{1, "name", v[1]},
                {2, "model", model},
                {3, "unit_id", unit ? QVariant(*unit) : QVariant()},
                {4, "qty_decimals", qtyDecimals},
                {5, "price_decimals", priceDecimals}},
               QStringLiteral("code = ?"), {code});
        return;
    }
    m_db.Exec(
        QStringLiteral("INSERT INTO items (id, code, name, model, unit_id, qty_decimals, price_decimals)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {m_nextId, code, v[1].toString(), model, *unit, qtyDecimals, priceDecimals});
    m_items.insert(code, m_nextId++);
    ++m_result.Added;
}

bool Importer::UnitMayChange(const QString& code, int unit) {
    const int was = m_itemUnits.value(code);
    if (unit == was || !m_db.Scalar(QStringLiteral("SELECT 1 FROM plan_entries WHERE item_id = ? LIMIT 1"),
                                    {m_items.value(code)})
                            .isValid())
        return true;
    Problem(3, Tr("物料“%1”已有采购计划分录，不能把单位从“%2”改为“%3”")
                   .arg(code, m_units.key(was), m_units.key(unit)));
    return false;
}

void Importer::Supplier(const Values& v) {
    const QString code = v[0].toString();
    QString control = v[4].toString();
    static const QHash<QString, QString> controls{{"", ""},   {"0", ""},     {"不控制", ""},  {"none", ""},
                                                  {"2", "2"}, {"提示", "2"}, {"警告", "2"},   {"warn", "2"},
                                                  {"3", "3"}, {"禁止", "3"}, {"forbid", "3"}, {"1", ""}};
    bool ok = Fits(v, 0, kCodeChars) & Fits(v, 1, kNameChars) & InRange(v, 2, 0, 100) &
              InRange(v, 3, 0, kLargestAmount);
    if (!controls.contains(control.toLower())) {
        Problem(4, Tr("“%1”应为 空、2（提示）或 3（禁止）").arg(control));
        ok = false;
    }
    ok = ok && FirstTime(m_seen, code, 0, code);
    const bool exists = ok && m_suppliers.contains(code);
    if (!ok || !MayChange(exists, 0, code) || (!exists && !MayAdd(code)) || !m_write)
        return;
    control = controls.value(control.toLower());
    const QVariant tax = v[2].isNull() ? QVariant(13.0) : v[2];
    const QVariant line = v[3].isNull() ? QVariant(QMetaType::fromType<double>()) : v[3];
    if (exists) {
        Update("suppliers",
               {{1, "name", v[1]},
                {2, "tax_rate", tax},
                {3, "credit_line", line},
                {4, "credit_control", control}},
               QStringLiteral("code = ?"), {code});
        return;
    }
    m_db.Exec(QStringLiteral("INSERT INTO suppliers (id, code, name, tax_rate, credit_line, credit_control)"
                             " VALUES (?, ?, ?, ?, ?, ?)"),
              {m_nextId, code, v[1].toString(), tax, line, control});
    m_suppliers.insert(code, m_nextId++);
    ++m_result.Added;
}

void Importer::Price(const Values& v) {
    const auto supplier = Known(m_suppliers, v, 0, "没有供应商“%1”");
    const auto item = Known(m_items, v, 1, "没有物料“%1”");
    std::optional<int> unit;
    if (!v[2].isNull())
        unit = Known(m_units, v, 2, "没有单位“%1”");
    else if (item)
        unit = m_itemUnits.value(v[1].toString());
    const bool ok = InRange(v, 3, 0, kLargestAmount) && supplier && item && unit && !m_bad[4] &&
                    FirstTime(m_seen, v[0].toString() + u'\n' + v[1].toString() + u'\n' + v[4].toString(), 4,
                              v[0].toString() + u' ' + v[1].toString() + u' ' + v[4].toString());
    if (!ok)
        return;
    const bool exists = m_db.Scalar(QStringLiteral("SELECT 1 FROM supplier_prices WHERE supplier_id = ?"
                                                   " AND item_id = ? AND valid_from = ?"),
                                    {*supplier, *item, v[4]})
                            .isValid();
    const QString shown = v[0].toString() + u' ' + v[1].toString() + u' ' + v[4].toString();
    if (!MayChange(exists, 4, shown) || (!exists && !MayAdd(shown)) || !m_write)
        return;
    const QVariant price =
        v[3].isNull() ? v[3] : QVariant(AtDecimals(v[3].toDouble(), m_priceDecimals.value(v[1].toString())));
    if (exists) {
        Update("supplier_prices", {{2, "unit_id", *unit}, {3, "price", price}},
               QStringLiteral("supplier_id = ? AND item_id = ? AND valid_from = ?"),
               {*supplier, *item, v[4]});
        return;
    }
    m_db.Exec(QStringLiteral("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
                             " VALUES (?, ?, ?, ?, ?)"),
              {*supplier, *item, *unit, price, v[4]});
    ++m_result.Added;
}

void Importer::SupplierRight(const Values& v) {
    const auto user = Known(m_users, v, 0, "没有用户“%1”");
    const auto supplier = Known(m_suppliers, v, 1, "没有供应商“%1”");
    if (!user || !supplier ||
        !FirstTime(m_seen, v[0].toString() + u'\n' + v[1].toString(), 1,
                   v[0].toString() + u' ' + v[1].toString()))
        return;
    const bool exists = m_db.Scalar(QStringLiteral("SELECT 1 FROM user_supplier_rights WHERE user_id = ?"
                                                   " AND supplier_code = ?"),
                                    {*user, v[1]})
                            .isValid();
    const QString shown = v[0].toString() + u' ' + v[1].toString();
    if (!MayChange(exists, 1, shown) || (!exists && !MayAdd(shown)) || !m_write || m_columnOf[2] < 0)
        return;
    const int mayUse = v[2].toBool() ? 1 : 0;
    if (exists) {
        m_db.Exec(QStringLiteral("UPDATE user_supplier_rights SET may_use = ? WHERE user_id = ?"
                                 " AND supplier_code = ?"),
                  {mayUse, *user, v[1]});
        ++m_result.Updated;
    } else {
        m_db.Exec(QStringLiteral("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use)"
                                 " VALUES (?, ?, ?)"),
                  {*user, v[1], mayUse});
        ++m_result.Added;
    }
}

} // namespace zpp::services::importing
