#include "DemoData.h"

#include "services/store/DatabaseRoles.h"
#include "services/store/RowWriter.h"

#include "platform/records/Values.h"
#include "services/planupdate/BillNumbers.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <optional>
#include <random>

namespace zpp::store {

namespace {

struct Category {
    const char* Prefix;
    int UnitId;
    int QtyDecimals;
    bool HasAuxProps;
    double BasePrice;
    std::vector<std::pair<const char*, std::vector<const char*>>> Items; // name and its models
    std::vector<int> Suppliers;                                          // 1-based supplier numbers
};

const char* const kUnits[] = {"个", "件", "千克", "米", "箱", "套", "卷", "张", "升", "台"};
const char* const kAuxProps[] = {"红色", "蓝色", "黑色", "白色", "A级", "B级"};

struct SupplierDef {
    const char* Name;
    double TaxRate;
    double CreditLine; // 0: no credit line
    const char* CreditControl;
};

const SupplierDef kSuppliers[] = {
    {"上海宏达五金有限公司", 13, 0, ""},
    {"苏州恒信电子科技有限公司", 13, 0, ""},
    {"无锡华强钢材贸易有限公司", 13, 0, ""},
    {"宁波永盛紧固件有限公司", 13, 0, ""},
    {"东莞联丰包装制品有限公司", 13, 5000, "3"},
    {"杭州新安化工原料有限公司", 13, 0, ""},
    {"深圳市创芯微电子有限公司", 13, 0, ""},
    {"天津金鼎物资有限公司", 13, 20000, "2"},
    {"佛山顺达塑胶制品厂", 3, 0, ""},
    {"常州瑞丰机电设备有限公司", 13, 0, ""},
    {"温州德力电器配件厂", 3, 0, ""},
    {"南京恒通包装材料有限公司", 13, 0, ""},
    {"青岛海丰化学品有限公司", 13, 0, ""},
    {"合肥同创电子有限公司", 13, 0, ""},
    {"厦门鑫源贸易有限公司", 9, 0, ""},
    {"昆山精工模具有限公司", 13, 0, ""},
    {"嘉兴华美纸业有限公司", 13, 0, ""},
    {"武汉长江钢材经营部", 3, 0, ""},
    {"成都蜀光电子元件有限公司", 13, 0, ""},
    {"重庆渝发劳保用品有限公司", 3, 0, ""},
};
// Suppliers the user "buyer" may not use.
const int kBuyerRefused[] = {7, 12, 19};
constexpr qint16 kBuyerId = 2;
// Plans dated the day the store is made, with nothing ordered or closed.
constexpr int kFreshPlans = 3;

std::vector<Category> Categories() {
    return {
        {"1.01",
         3,
         2,
         false,
         6.5,
         {{"冷轧钢板", {"1.0mm×1250×2500", "1.5mm×1250×2500", "2.0mm×1250×2500"}},
          {"镀锌钢板", {"0.8mm×1000×2000", "1.2mm×1250×2500"}},
          {"不锈钢圆棒", {"304 Φ20", "304 Φ30"}},
          {"角钢", {"50×50×5", "63×63×6"}}},
         {3, 18, 8}},
        {"1.02",
         1,
         0,
         true,
         0.35,
         {{"贴片电阻", {"0603 10kΩ ±1%", "0805 4.7kΩ ±1%"}},
          {"贴片电容", {"0805 10μF 25V", "0603 100nF 50V"}},
          {"三极管", {"NPN SOT-23", "PNP SOT-23"}},
          {"LED指示灯", {"3mm", "5mm"}},
          {"晶振", {"8MHz HC-49S", "12MHz HC-49S"}},
          {"32位单片机", {"LQFP48", "LQFP64"}}},
         {2, 7, 14, 19}},
        {"1.03",
         1,
         0,
         false,
         0.12,
         {{"六角螺栓", {"M8×30 8.8级", "M10×40 8.8级", "M12×50 10.9级"}},
          {"六角螺母", {"M8 镀锌", "M10 镀锌"}},
          {"平垫圈", {"Φ8 镀锌", "Φ10 镀锌"}},
          {"自攻螺钉", {"ST4.2×16", "ST3.5×13"}}},
         {4, 1, 11}},
        {"1.04",
         2,
         0,
         true,
         4.8,
         {{"瓦楞纸箱", {"五层 600×400×400", "三层 400×300×300"}},
          {"气泡膜", {"宽1.2m 双层"}},
          {"封箱胶带", {"48mm×100m"}},
          {"木托盘", {"1200×1000 熏蒸"}}},
         {5, 12, 17}},
        {"1.05",
         3,
         3,
         false,
         28.0,
         {{"环氧树脂", {"E-44", "E-51"}}, {"固化剂", {"T31"}}, {"稀释剂", {"669"}}, {"工业酒精", {"95%"}}},
         {6, 13}},
        {"2.01",
         6,
         0,
         false,
         185.0,
         {{"电机定子组件", {"Y2-90L", "Y2-100L"}},
          {"控制板组件", {"V2.1", "V3.0"}},
          {"外壳组件", {"铝合金 A型"}}},
         {10, 16, 9}},
        {"3.01",
         1,
         0,
         false,
         3.2,
         {{"劳保手套", {"涤纶 浸胶"}}, {"防尘口罩", {"KN95"}}, {"工业抹布", {"纯棉 白色"}}},
         {20, 15}},
    };
}

struct ItemDef {
    int Id;
    int UnitId;
    int QtyDecimals;
    bool HasAuxProps;
    double BasePrice;
    std::vector<int> Suppliers;
};

double Round(double v, int decimals) {
    const double f = std::pow(10.0, decimals);
    return std::round(v * f) / f;
}

// The list price of a supplier for an item: suppliers differ by a few percent around the
// item's base price; the first supplier of a category is the cheapest.
double ListPrice(const ItemDef& item, int supplierRank) {
    return Round(item.BasePrice * (1.0 + 0.04 * supplierRank), 4);
}

class Generator {
public:
    Generator(const Store& db, qlonglong entries, QDate today)
        : m_db(db), m_entries(entries), m_today(today) {}

    void Run() {
        m_db.InTransaction([&] { MasterData(); });
        // A server checks each row's references as it goes in, an index probe a row. A new store
        // fills without them and gets them back after, each checked over its table in one pass.
        struct ForeignKey {
            QString Table, Name, Definition;
        };
        std::vector<ForeignKey> keys, checks;
        if (!m_db.IsSQLite()) {
            QSqlQuery q = m_db.Exec(QStringLiteral(
                "SELECT c.conrelid::regclass::text, quote_ident(c.conname), pg_get_constraintdef(c.oid)"
                " FROM pg_constraint c JOIN pg_namespace n ON n.oid = c.connamespace"
                " WHERE c.contype = 'f' AND n.nspname = 'public' ORDER BY 1, 2"));
            while (q.next())
                keys.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
            // Likewise the commit-time checks of the ordered quantities, a check a row: the whole
            // fill is checked in one pass after.
            QSqlQuery t = m_db.Exec(QStringLiteral(
                "SELECT t.tgrelid::regclass::text, quote_ident(t.tgname) FROM pg_trigger t"
                " JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace"
                " WHERE n.nspname = 'public' AND NOT t.tgisinternal AND t.tgconstraint <> 0 ORDER BY 1, 2"));
            while (t.next())
                checks.push_back({t.value(0).toString(), t.value(1).toString(), {}});
            m_db.InTransaction([&] {
                for (const ForeignKey& k : keys)
                    m_db.Exec(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(k.Table, k.Name));
                for (const ForeignKey& c : checks)
                    m_db.Exec(QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER %2").arg(c.Table, c.Name));
            });
        }
        Plans();
        if (!keys.empty() || !checks.empty())
            m_db.InTransaction([&] {
                for (const ForeignKey& k : keys)
                    m_db.Exec(QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 %3")
                                  .arg(k.Table, k.Name, k.Definition));
                for (const ForeignKey& c : checks)
                    m_db.Exec(QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER %2").arg(c.Table, c.Name));
                m_db.Exec(QStringLiteral("SELECT zpp_check_all_orders()"));
            });
    }

private:
    QString Day(int offset) const { return values::DisplayDate(m_today.addDays(offset)); }
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

    void MasterData() {
        // The company that sends the orders, as their heading names it.
        m_db.Exec(
            QStringLiteral("UPDATE system_settings SET value = ? WHERE section = 'Company' AND key = 'Name'"),
            {QStringLiteral("泽尔精密机械有限公司")});
        m_db.Exec(QStringLiteral(
                      "UPDATE system_settings SET value = ? WHERE section = 'Company' AND key = 'Address'"),
                  {QStringLiteral("江苏省苏州市工业园区星湖街 88 号")});
        for (int i = 0; i < int(std::size(kUnits)); ++i)
            m_db.Exec(QStringLiteral("INSERT INTO units (id, name) VALUES (?, ?)"),
                      {i + 1, QString::fromUtf8(kUnits[i])});
        for (int i = 0; i < int(std::size(kAuxProps)); ++i)
            m_db.Exec(QStringLiteral("INSERT INTO aux_props (id, name) VALUES (?, ?)"),
                      {i + 1, QString::fromUtf8(kAuxProps[i])});
        for (int i = 0; i < int(std::size(kSuppliers)); ++i) {
            const SupplierDef& s = kSuppliers[i];
            m_db.Exec(
                QStringLiteral("INSERT INTO suppliers (id, code, name, tax_rate, credit_line, credit_control)"
                               " VALUES (?, ?, ?, ?, ?, ?)"),
                {i + 1, SupplierCode(i + 1), QString::fromUtf8(s.Name), s.TaxRate,
                 s.CreditLine > 0 ? QVariant(s.CreditLine) : QVariant(QMetaType::fromType<double>()),
                 QString::fromLatin1(s.CreditControl)});
        }
        for (int n : kBuyerRefused)
            m_db.Exec(QStringLiteral("INSERT INTO user_supplier_rights (user_id, supplier_code, may_use)"
                                     " VALUES (?, ?, 0)"),
                      {kBuyerId, SupplierCode(n)});

        QSqlQuery item = m_db.Prepare(
            QStringLiteral("INSERT INTO items (id, code, name, model, unit_id, qty_decimals, price_decimals)"
                           " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        QSqlQuery price = m_db.Prepare(QStringLiteral("INSERT INTO supplier_prices (supplier_id, item_id, "
                                                      "unit_id, price, valid_from) VALUES (?, ?, ?, ?, ?)"));
        int id = 0;
        for (const Category& c : Categories()) {
            int seq = 0;
            for (const auto& [name, models] : c.Items) {
                for (const char* model : models) {
                    ItemDef def{++id,
                                c.UnitId,
                                c.QtyDecimals,
                                c.HasAuxProps,
                                Round(c.BasePrice * (0.6 + 0.15 * seq), 4),
                                c.Suppliers};
                    ++seq;
                    m_db.Run(
                        item,
                        {def.Id,
                         QStringLiteral("%1.%2").arg(QLatin1String(c.Prefix)).arg(seq, 3, 10, QChar(u'0')),
                         QString::fromUtf8(name), QString::fromUtf8(model), def.UnitId, def.QtyDecimals, 4});
                    for (int rank = 0; rank < int(def.Suppliers.size()); ++rank) {
                        const double current = ListPrice(def, rank);
                        // An older price, the one valid today, and for the preferred supplier
                        // an announced rise that must not count yet.
                        m_db.Run(price, {def.Suppliers[rank], def.Id, def.UnitId, Round(current * 0.97, 4),
                                         Day(-200)});
                        m_db.Run(price, {def.Suppliers[rank], def.Id, def.UnitId, current, Day(-30)});
                        if (rank == 0)
                            m_db.Run(price, {def.Suppliers[rank], def.Id, def.UnitId,
                                             Round(current * 1.08, 4), Day(30)});
                    }
                    m_items.push_back(std::move(def));
                }
            }
        }
    }

    static QString SupplierCode(int n) { return QStringLiteral("01.%1").arg(n, 3, 10, QChar(u'0')); }

    double Quantity(const ItemDef& item) {
        if (item.QtyDecimals == 0)
            return Uniform(1, 40) * (item.BasePrice < 1 ? 100 : 5);
        return Round(Uniform(500, 500000) / 100.0, item.QtyDecimals);
    }

    // An entry's ordered quantity as the orders of its plan will carry it.
    struct Ordered {
        int Entry, Item, AuxProp, Unit, Supplier;
        double Qty, Price, Discount, Tax;
        QString FinishDate;
    };

    void Plans() {
        const int daySpan = int(std::clamp<qlonglong>(m_entries / 40, 20, 3650));
        RowWriter plan(m_db, QStringLiteral("purchase_plans"), {"id", "bill_no", "bill_date", "created_by"},
                       RowWriter::Method::Copy);
        RowWriter entry(m_db, QStringLiteral("plan_entries"),
                        {"plan_id", "entry_id", "entry_date", "item_id", "aux_prop_id", "supplier_id", "qty",
                         "ordered_qty", "unordered_qty", "push_qty", "price", "discount_rate", "tax_rate",
                         "finish_date", "start_date", "memo", "source_no", "close_mark"},
                        RowWriter::Method::Copy);
        RowWriter source(m_db, QStringLiteral("plan_entry_sources"),
                         {"plan_id", "entry_id", "seq", "source_type", "source_no", "source_date", "qty"},
                         RowWriter::Method::Copy);
        // Parents before children: each row's references are checked as it goes in.
        auto flush = [&] {
            for (RowWriter* w : {&plan, &entry, &source, &m_order, &m_line, &m_lineSource})
                w->Flush();
        };
        static const char* const memos[] = {"急件", "客户加急订单", "按图纸加工", "注意包装防潮", "分批到货"};
        const bool progress = m_entries >= 100000;
        qlonglong written = 0;
        int planId = 0, sourceNo = 0;
        std::vector<Ordered> ordered;
        std::optional<Store::Transaction> tx;
        tx.emplace(m_db);
        while (written < m_entries) {
            ++planId;
            const int size = int(std::min<qlonglong>(m_entries - written, Uniform(20, 60)));
            // The first plans are today's and untouched, so the first filter proposal lists dozens of
            // entries that can be pushed or deleted at once.
            const bool fresh = planId <= kFreshPlans;
            const int offset = fresh ? 0 : Uniform(-daySpan, 3);
            const QString date = Day(offset);
            plan.Add({planId, QStringLiteral("CGJY%1").arg(planId, 6, 10, QChar(u'0')), date, 1});
            const QString mrpRun = QStringLiteral("MRP%1").arg(planId, 6, 10, QChar(u'0'));

            // A plan covers a few items from several source orders, so entries of one item,
            // property and supplier recur and a merge folds them.
            std::vector<int> picks(std::max(2, size / 3));
            for (int& p : picks)
                p = Uniform(0, int(m_items.size()) - 1);
            const int aux = Uniform(1, int(std::size(kAuxProps)));
            const int firstSource = sourceNo + 1;
            sourceNo += Uniform(2, 6);
            ordered.clear();
            for (int e = 1; e <= size; ++e) {
                const ItemDef& item = m_items[picks[Uniform(0, int(picks.size()) - 1)]];
                const int roll = Uniform(0, 99);
                const int rank = roll < 85 ? 0 : 1; // every category has two suppliers or more
                const bool noSupplier = roll >= 96;
                const int supplierId = item.Suppliers[rank];
                const double qty = Quantity(item);
                const int state = fresh ? 0 : Uniform(0, 99);
                double orderedQty = 0;
                QString close = QStringLiteral(""); // a null QString would bind as NULL
                if (state >= 60 && state < 78)
                    orderedQty = Round(qty * Uniform(2, 8) / 10.0, item.QtyDecimals);
                else if (state >= 78 && state < 88) {
                    close = QStringLiteral("Y");
                    orderedQty = Uniform(0, 1) ? qty : Round(qty / 2, item.QtyDecimals);
                } else if (state >= 88 && state < 93)
                    orderedQty = qty;
                // Only an order makes a quantity ordered, and an order needs a supplier.
                if (noSupplier)
                    orderedQty = 0;
                const double unordered = qty - orderedQty;
                const int start = offset + Uniform(0, 2);
                const int lead = Uniform(3, 20);
                const double price = noSupplier ? 0.0 : ListPrice(item, rank);
                const double discount = Uniform(0, 9) == 0 ? 5.0 : 0.0;
                const double tax = noSupplier ? 0.0 : kSuppliers[supplierId - 1].TaxRate;
                const QString finish = Day(start + lead);
                const QString salesOrder =
                    Uniform(0, 19) == 0
                        ? QStringLiteral("")
                        : QStringLiteral("XSDD%1").arg(Uniform(firstSource, sourceNo), 6, 10, QChar(u'0'));
                const QVariant auxProp =
                    item.HasAuxProps ? QVariant(aux) : QVariant(QMetaType::fromType<int>());
                entry.Add({planId, e, date, item.Id, auxProp,
                           noSupplier ? QVariant(QMetaType::fromType<int>()) : QVariant(supplierId), qty,
                           orderedQty, unordered, close.isEmpty() ? unordered : 0.0, price, discount, tax,
                           finish, Day(start),
                           Uniform(0, 9) == 0 ? QString::fromUtf8(memos[Uniform(0, 4)]) : QStringLiteral(""),
                           salesOrder, close});
                // The MRP run that planned the entry, and the sales order that asked for it.
                source.Add({planId, e, 1, QStringLiteral("MRP"), mrpRun, date, qty});
                if (!salesOrder.isEmpty())
                    source.Add(
                        {planId, e, 2, QStringLiteral("SO"), salesOrder, Day(offset - Uniform(3, 30)), qty});
                if (orderedQty > 0)
                    ordered.push_back({e, item.Id, item.HasAuxProps ? aux : 0, item.UnitId, supplierId,
                                       orderedQty, price, discount, tax, finish});
                ++written;
                if (written % 10000 == 0) {
                    Orders(planId, offset, ordered);
                    flush();
                    tx->Commit();
                    tx.emplace(m_db);
                }
                if (progress && written % 100000 == 0)
                    std::fprintf(stderr, "plan entries: %lld of %lld\n", written, m_entries);
            }
            Orders(planId, offset, ordered);
        }
        flush();
        // Order IDs were given here; the server's own counter goes on after them.
        if (!m_db.IsSQLite())
            m_db.Exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('purchase_orders', 'id'),"
                                     " (SELECT COALESCE(MAX(id), 0) + 1 FROM purchase_orders), false)"));
        // Later pushes go on from the last demo order number.
        m_db.Exec(QStringLiteral("INSERT INTO bill_counters (kind, last_no) VALUES (?, ?)"),
                  {services::kPurchaseOrderCounter, m_lastOrderNo});
        tx->Commit();
    }

    // The orders behind a plan's ordered entries: one per supplier, dated a little after the plan,
    // one line per entry. Orders of more than ten days ago are closed (delivered). The entries are
    // taken from the list, so a plan cut by a commit is never ordered twice.
    void Orders(int planId, int offset, std::vector<Ordered>& entries) {
        if (entries.empty())
            return;
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Ordered& a, const Ordered& b) { return a.Supplier < b.Supplier; });
        const int orderDay = std::min(offset + Uniform(0, 2), 0);
        const QString billDate = Day(orderDay);
        for (size_t i = 0; i < entries.size();) {
            const int supplier = entries[i].Supplier;
            // Demo history has no creator, so a user's first push is dated today, not after an old order.
            const qlonglong orderId = ++m_lastOrderId;
            m_order.Add({orderId, services::PurchaseOrderBillNo(++m_lastOrderNo), billDate, supplier,
                         QString(billDate + QStringLiteral("T09:00:00")), orderDay < -10 ? 1 : 0});
            for (int lineNo = 1; i < entries.size() && entries[i].Supplier == supplier; ++i, ++lineNo) {
                const Ordered& o = entries[i];
                m_line.Add({orderId, lineNo, o.Item,
                            o.AuxProp ? QVariant(o.AuxProp) : QVariant(QMetaType::fromType<int>()), o.Unit,
                            o.Qty, o.Price, o.Discount, o.Tax, o.FinishDate});
                m_lineSource.Add({orderId, lineNo, planId, o.Entry, o.Qty});
            }
        }
        entries.clear();
    }

    const Store& m_db;
    qlonglong m_entries;
    QDate m_today;
    std::mt19937 m_rng{20240601};
    std::vector<ItemDef> m_items;
    RowWriter m_order{m_db,
                      QStringLiteral("purchase_orders"),
                      {"id", "bill_no", "bill_date", "supplier_id", "created_at", "closed"},
                      RowWriter::Method::Copy};
    RowWriter m_line{m_db,
                     QStringLiteral("purchase_order_lines"),
                     {"order_id", "line_no", "item_id", "aux_prop_id", "unit_id", "qty", "price",
                      "discount_rate", "tax_rate", "finish_date"},
                     RowWriter::Method::Copy};
    RowWriter m_lineSource{m_db,
                           QStringLiteral("purchase_order_line_sources"),
                           {"order_id", "line_no", "plan_id", "entry_id", "qty"},
                           RowWriter::Method::Copy};
    qlonglong m_lastOrderNo = 0, m_lastOrderId = 0;
};

} // namespace

namespace {
// A store that did not exist before: an existing file or store is never written over.
StorePtr OpenNew(const QString& location, const QString& what) {
    const bool isUrl = location.contains(QStringLiteral("://"));
    if (!isUrl && QFileInfo::exists(location))
        throw Error(
            QStringLiteral("\"%1\" 已存在；%2只会创建新的数据库，不会覆盖已有文件").arg(location, what));
    StorePtr db = Store::Open(location);
    if (!db->WasCreated())
        throw Error(
            QStringLiteral("%1 中已有采购计划数据库；%2只会创建新的数据库").arg(db->DisplayName(), what));
    return db;
}

// Runs fill on a new store; a half-made store is removed (a file) rather than opened as it is
// next time.
StorePtr MakeNew(const QString& location, const QString& what, const std::function<void(Store&)>& fill) {
    StorePtr db = OpenNew(location, what);
    try {
        fill(*db);
    } catch (...) {
        db.reset();
        if (!location.contains(QStringLiteral("://")))
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(location + QLatin1String(suffix));
        throw;
    }
    return db;
}
} // namespace

StorePtr GenerateStore(const QString& location, qlonglong planEntries) {
    return MakeNew(location, QStringLiteral("生成演示数据"), [planEntries](Store& db) {
        Generator(db, planEntries, QDate::currentDate()).Run();
        if (!db.IsSQLite()) {
            // Demo roles log in with their own names as passwords; a role of that name on the
            // server already keeps its password. admin administers the store.
            for (const char* user : {"admin", "buyer", "guest"})
                CreateLoginRole(db, QLatin1String(user), QLatin1String(user));
            SyncDatabaseRoles(db);
            GrantOwnerRole(db, QStringLiteral("admin"));
        }
    });
}

namespace {
// What a PostgreSQL location holds already, asked before the store is made, so that nothing is
// half made when it is refused: whether the database has a store, and the server a role of the name.
struct Preflight {
    bool HasStore = false;
    bool RoleExists = false;
};
Preflight Ask(const QString& location, const QString& role) {
    PGconn* conn = PQconnectdb(location.toUtf8().constData());
    const QByteArray name = role.toUtf8();
    const char* params[] = {name.constData()};
    PGresult* r = PQstatus(conn) == CONNECTION_OK
                      ? PQexecParams(conn,
                                     "SELECT pg_catalog.to_regclass('public.schema_version') IS NOT NULL,"
                                     " EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1)",
                                     1, nullptr, params, nullptr, nullptr, 0)
                      : nullptr;
    const bool ok = r && PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
    Preflight answer;
    if (ok) {
        answer.HasStore = *PQgetvalue(r, 0, 0) == 't';
        answer.RoleExists = *PQgetvalue(r, 0, 1) == 't';
    }
    const QString problem = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    PQclear(r);
    PQfinish(conn);
    if (!ok)
        throw Error(
            QStringLiteral("无法连接 PostgreSQL 数据库 %1：%2").arg(location.section(u'@', -1), problem));
    return answer;
}
} // namespace

StorePtr CreateEmptyStore(const QString& location, const QString& administrator,
                          const QString& adminPassword) {
    // Asked before anything is made: a store without its administrator could not be finished.
    const bool pg = location.contains(QStringLiteral("://"));
    const QString name =
        administrator.trimmed().isEmpty() ? QStringLiteral("admin") : administrator.trimmed();
    if (pg && adminPassword.isEmpty())
        throw Error(
            QStringLiteral("PostgreSQL 数据库的管理员 %1 需要密码（从标准输入的第一行读取）").arg(name));
    // A role of the name may administer another store on the server, or be someone's: it is not
    // made this store's administrator, nor given a new password, without a word.
    if (pg) {
        const Preflight found = Ask(location, name);
        if (found.HasStore)
            throw Error(QStringLiteral("%1 中已有采购计划数据库；创建数据库只会创建新的数据库")
                            .arg(location.section(u'@', -1)));
        if (found.RoleExists)
            throw Error(
                QStringLiteral("服务器上已有角色“%1”；请用 --user 为本数据库的管理员另取一个名字").arg(name));
    }
    return MakeNew(location, QStringLiteral("创建数据库"), [&](Store& db) {
        // The store's first user administers it (every right), under the name asked for.
        if (name != QLatin1String("admin"))
            db.Exec(QStringLiteral("UPDATE users SET name = ?, full_name = '' WHERE id = 1"), {name});
        if (db.IsSQLite())
            return;
        // Only the administrator gets a role: the company adds its own users, and the other users a
        // new store lists stay without a log-in until an administrator sets their passwords.
        CreateLoginRole(db, name, adminPassword);
        SyncDatabaseRoles(db);
        GrantOwnerRole(db, name);
    });
}

} // namespace zpp::store
