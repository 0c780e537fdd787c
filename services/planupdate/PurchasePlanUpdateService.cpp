#include "PurchasePlanUpdateService.h"
#include "component/host/Access.h"
#include "services/access/Rights.h"
#include "services/planning/PriceService.h"

#include "EntryValues.h"
#include "component/host/PlanFields.h"
#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "services/store/StoredText.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace zpp::services {

namespace {

using namespace entryvalues;

const QString kSupplyID = QStringLiteral("FSupplyID");
const QString kSupplyNumber = QStringLiteral("FSupplyNumber");
const QString kRow = QStringLiteral("Row");
const QString kSucceed = QStringLiteral("Succeed");
const QString kError = QStringLiteral("Error");

// A 16-bit integer, as the request records carry it: QVariant(qint16) would hold an int.
QVariant Succeed(const QString& error) {
    return QVariant::fromValue<qint16>(error.isEmpty() ? 1 : 0);
}

RecordPtr Result(const QVariant& row, const QString& error) {
    static const std::shared_ptr<const KeySet> keys = [] {
        auto k = std::make_shared<KeySet>();
        k->Append(kRow);
        k->Append(kSucceed);
        k->Append(kError);
        return std::shared_ptr<const KeySet>(std::move(k));
    }();
    // A request without "Row" gives a result without it, which the result list skips.
    return std::make_shared<KeyedRecord>(
        keys, QVector<QVariant>{row, Succeed(error), error.isNull() ? QStringLiteral("") : error});
}

// The editable columns in the order their values are bound.
enum Column { cSupplier, cPrice, cPushQty, cDiscount, cTax, cFinishDate, cMemo, kColumns };
struct ColumnDef {
    const char* Name;
    const char* Key; // the entry record's key; the supplier has two
    const char* Caption;
};
constexpr ColumnDef kColumnDefs[kColumns] = {{"supplier_id", "FSupplyID", "供应商"},
                                             {"price", "FPrice", "含税单价"},
                                             {"push_qty", "FPushQty", "下推数量"},
                                             {"discount_rate", "FDiscountRate", "折扣率"},
                                             {"tax_rate", "FTaxRate", "税率"},
                                             {"finish_date", "FFinishDate", "建议交货日期"},
                                             {"memo", "FMemo", "备注"}};

QString KeyOf(int column) {
    return QString::fromLatin1(kColumnDefs[column].Key);
}

// Validates and writes entry records inside the caller's transaction; the first fault throws.
// A record that carries the version its list loaded is written only when the list changed it,
// and only while the store still holds that version: anything else would overwrite another
// user's work.
class EntryWriter {
public:
    // mayPrice: the user holds the price right. Without it the list had no price to send, so
    // any price in the records is not the user's; a changed supplier is priced from its list.
    EntryWriter(const store::Store& db, qint16 userId, bool mayPrice)
        : m_db(db), m_userId(userId), m_mayPrice(mayPrice) {}

    void Write(KeyedRecord& r) {
        const auto plan = Id(r.Get(kInterID, QVariant()));
        if (!plan)
            Fail(r, std::nullopt, Tr("%1“%2”不是有效的编号").arg(Tr("采购建议内码"), Shown(r.Get(kInterID))));
        const auto entry = Id(r.Get(kEntryID, QVariant()));
        if (!entry)
            Fail(r, plan, Tr("%1“%2”不是有效的编号").arg(Tr("分录号"), Shown(r.Get(kEntryID))));
        if (r.Exists(kEntryEditedField) && values::Val(r.Get(kEntryEditedField)) == 0)
            return;

        // Locks the row on PostgreSQL; SQLite's write transaction already keeps other writers out.
        if (!m_current.isValid())
            m_current =
                // Without the price right the price is not read: a changed supplier's price is written
                // whatever the entry held.
                m_db.Prepare(QStringLiteral("SELECT row_version, supplier_id,") +
                             (m_mayPrice ? QStringLiteral(" price,") : QStringLiteral(" 0,")) +
                             QStringLiteral(" push_qty, discount_rate, tax_rate, finish_date, memo, item_id"
                                            " FROM plan_entries WHERE plan_id = ? AND entry_id = ?") +
                             (m_db.IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE")));
        m_db.Run(m_current, {*plan, *entry});
        if (!m_current.next())
            Fail(r, plan, Tr("该分录已不存在，可能已被删除"));
        const qint64 version = m_current.value(0).toLongLong();
        QVariant stored[kColumns];
        for (int c = 0; c < kColumns; ++c)
            stored[c] = m_current.value(c + 1);
        const qint32 itemId = m_current.value(kColumns + 1).toInt();
        m_current.finish();
        // An entry of a supplier the user may not use is not theirs to change, whatever they change.
        if (!stored[cSupplier].isNull())
            CheckSupplierRight(r, *plan, stored[cSupplier].toInt());

        // The values the record asks for, validated; only those that differ from the store are written.
        QVariant wanted[kColumns];
        int present = 0;
        if (r.Exists(kSupplyID) || r.Exists(kSupplyNumber)) {
            wanted[cSupplier] = Supplier(r, *plan);
            present |= 1 << cSupplier;
        }
        for (int c = cPrice; c <= cTax; ++c) {
            if (c == cPrice && !m_mayPrice)
                continue;
            if (r.Exists(KeyOf(c))) {
                wanted[c] = Amount(r, *plan, c);
                present |= 1 << c;
            }
        }
        if (r.Exists(KeyOf(cFinishDate))) {
            const QVariant v = r.Get(KeyOf(cFinishDate));
            if (v.toString().trimmed().isEmpty() && v.typeId() != QMetaType::QDate) {
                wanted[cFinishDate] = QVariant(QMetaType::fromType<QString>());
            } else if (const auto date = values::ParseDate(v)) {
                wanted[cFinishDate] = values::DisplayDate(*date);
            } else {
                Fail(r, plan, Tr("%1“%2”不是有效的日期").arg(Tr(kColumnDefs[cFinishDate].Caption), Shown(v)));
            }
            present |= 1 << cFinishDate;
        }
        if (r.Exists(KeyOf(cMemo))) {
            // Stored as received, apostrophes and all.
            wanted[cMemo] = store::StoredText(r.Text(KeyOf(cMemo)));
            present |= 1 << cMemo;
        }
        // A changed supplier brings its list price. On PostgreSQL the server's trigger prices it in
        // the update itself: the price is not even readable for this user.
        if (!m_mayPrice && m_db.IsSQLite() && (present & (1 << cSupplier)) && !wanted[cSupplier].isNull() &&
            !SameStored(cSupplier, wanted[cSupplier], stored[cSupplier])) {
            wanted[cPrice] =
                SupplierListPrice(m_db, wanted[cSupplier].toInt(), itemId, 0, QDate::currentDate());
            present |= 1 << cPrice;
        }
        int mask = 0;
        for (int c = 0; c < kColumns; ++c)
            if ((present & (1 << c)) &&
                (!SameStored(c, wanted[c], stored[c]) || (c == cPrice && !m_mayPrice)))
                mask |= 1 << c;
        // Only a note being changed is held to the limit; one stored earlier stays as it is.
        if (mask & (1 << cMemo)) {
            if (const QString fault = store::LengthFault(wanted[cMemo].toString(), store::limits::Memo);
                !fault.isEmpty())
                Fail(r, plan, fault);
        }
        if (mask == 0) {
            // Nothing to write: the store already holds what the list asks for.
            if (r.Exists(kEntryVersionField))
                r.Set(kEntryVersionField, version);
            return;
        }
        if (r.Exists(kEntryVersionField) && values::Val(r.Get(kEntryVersionField)) != double(version))
            Fail(r, plan, Tr("该分录已被其他用户修改（或关闭、下推），请刷新后重新修改"));
        if ((mask & (1 << cSupplier)) && !wanted[cSupplier].isNull())
            CheckSupplierRight(r, *plan, wanted[cSupplier].toInt());

        QVariantList binds;
        for (int c = 0; c < kColumns; ++c)
            if (mask & (1 << c))
                binds << wanted[c];
        binds << *plan << *entry;
        QSqlQuery& q = Statement(mask);
        m_db.Run(q, binds);
        r.Set(kEntryVersionField, version + 1);
    }

private:
    [[noreturn]] void Fail(const KeyedRecord& r, std::optional<qint32> plan, const QString& reason) const {
        QString billNo = r.Text(kBillNo).trimmed();
        if (billNo.isEmpty() && plan)
            billNo = m_db.Scalar(QStringLiteral("SELECT bill_no FROM purchase_plans WHERE id = ?"), {*plan})
                         .toString();
        if (billNo.isEmpty())
            billNo = Shown(r.Get(kInterID));
        throw Error(EntryFault(r.Get(kGridRow, QVariant()), billNo, Shown(r.Get(kEntryID)), reason));
    }

    static bool SameStored(int column, const QVariant& wanted, const QVariant& stored) {
        if (wanted.isNull() || stored.isNull())
            return wanted.isNull() && stored.isNull();
        if (column == cFinishDate || column == cMemo)
            return wanted.toString() == stored.toString();
        return wanted.toDouble() == stored.toDouble();
    }

    QVariant Amount(const KeyedRecord& r, qint32 plan, int column) const {
        const QVariant v = r.Get(KeyOf(column));
        const auto n = Number(v);
        const char* fault = nullptr;
        if (!n)
            fault = "%1“%2”不是数字";
        else if ((column == cDiscount || column == cTax) && (*n < 0 || *n > 100))
            fault = "%1应在 0 到 100 之间：%2";
        else if (*n < 0)
            fault = "%1不能为负数：%2";
        if (fault)
            Fail(r, plan, Tr(fault).arg(Tr(kColumnDefs[column].Caption), Shown(v)));
        return *n;
    }

    // The supplier by its code, which is what the user sees and types; a blank code is no
    // supplier. Only a record without a code gives the supplier by its ID (blank or 0: none).
    QVariant Supplier(const KeyedRecord& r, qint32 plan) {
        if (r.Exists(kSupplyNumber)) {
            const QString code = StorableText(r.Text(kSupplyNumber).trimmed());
            if (code.isEmpty())
                return QVariant(QMetaType::fromType<int>());
            auto byCode = m_idsByCode.constFind(code);
            if (byCode == m_idsByCode.constEnd())
                byCode = m_idsByCode.insert(
                    code, m_db.Scalar(QStringLiteral("SELECT id FROM suppliers WHERE code = ?"), {code}));
            if (!byCode->isValid())
                Fail(r, plan, Tr("供应商“%1”不存在").arg(code.left(40)));
            return byCode->toInt();
        }
        const QVariant idValue = r.Get(kSupplyID, QVariant());
        const auto id = WholeNumber(idValue);
        if (!id)
            Fail(r, plan, Tr("%1“%2”不是有效的编号").arg(Tr("供应商"), Shown(idValue)));
        if (*id != 0) {
            auto known = m_knownIds.constFind(*id);
            if (known == m_knownIds.constEnd())
                known = m_knownIds.insert(
                    *id,
                    m_db.Scalar(QStringLiteral("SELECT 1 FROM suppliers WHERE id = ?"), {*id}).isValid());
            if (!*known)
                Fail(r, plan, Tr("供应商“%1”不存在").arg(Shown(idValue).trimmed()));
            return *id;
        }
        return QVariant(QMetaType::fromType<int>());
    }

    // A user may use every supplier unless user_supplier_rights says otherwise.
    void CheckSupplierRight(const KeyedRecord& r, qint32 plan, qint32 supplierId) {
        auto known = m_mayUse.constFind(supplierId);
        if (known == m_mayUse.constEnd())
            known = m_mayUse.insert(supplierId, SupplierFor(m_db, m_userId, supplierId));
        if (!known->MayUse)
            Fail(r, plan, SupplierRefusal(known->Code));
    }

    // One prepared statement per set of columns present; a save's records share their keys.
    QSqlQuery& Statement(int mask) {
        auto it = m_statements.find(mask);
        if (it == m_statements.end()) {
            QStringList sets;
            for (int c = 0; c < kColumns; ++c)
                if (mask & (1 << c))
                    sets << QString::fromLatin1(kColumnDefs[c].Name) + QStringLiteral(" = ?");
            sets << QStringLiteral("row_version = row_version + 1");
            it = m_statements.insert(mask,
                                     m_db.Prepare(QStringLiteral("UPDATE plan_entries SET ") +
                                                  sets.join(QStringLiteral(", ")) +
                                                  QStringLiteral(" WHERE plan_id = ? AND entry_id = ?")));
        }
        return *it;
    }

    const store::Store& m_db;
    qint16 m_userId;
    bool m_mayPrice;
    QSqlQuery m_current;
    QHash<qint32, SupplierAccess> m_mayUse;
    QHash<qint32, bool> m_knownIds;
    QHash<QString, QVariant> m_idsByCode;
    QHash<int, QSqlQuery> m_statements;
};

// Deletes one plan with its entries inside the caller's transaction. Empty when deleted;
// otherwise why the plan stays.
QString DeletePlan(const store::Session& session, qint32 plan) {
    const store::Store& db = *session.Db;
    // On PostgreSQL the rows are locked so that a push cannot order an entry between the check and
    // the delete; SQLite's write transaction already keeps every other writer out.
    const QString forUpdate = db.IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE");
    if (!db.Scalar(QStringLiteral("SELECT 1 FROM purchase_plans WHERE id = ?"), {plan}).isValid())
        return Tr("该采购建议已不存在，可能已被删除");
    QList<int> held;
    QSqlQuery entries =
        db.Exec(QStringLiteral("SELECT entry_id, ordered_qty, supplier_id FROM plan_entries WHERE plan_id = ?"
                               " ORDER BY entry_id") +
                    forUpdate,
                {plan});
    QSet<qint64> suppliers;
    while (entries.next()) {
        if (entries.value(1).toDouble() > 0)
            held << entries.value(0).toInt();
        if (!entries.value(2).isNull())
            suppliers.insert(entries.value(2).toLongLong());
    }
    // A plan with an entry of a supplier the user may not use is not theirs to delete.
    for (const qint64 supplier : std::as_const(suppliers))
        if (const QString code = ForbiddenSupplier(session, supplier); !code.isEmpty())
            return SupplierRefusal(code);
    QSqlQuery linked =
        db.Exec(QStringLiteral("SELECT DISTINCT entry_id FROM purchase_order_line_sources WHERE plan_id = ?"),
                {plan});
    while (linked.next())
        held << linked.value(0).toInt();
    if (!held.isEmpty()) {
        std::sort(held.begin(), held.end());
        held.erase(std::unique(held.begin(), held.end()), held.end());
        QStringList shown;
        for (int i = 0; i < held.size() && i < 10; ++i)
            shown << QString::number(held[i]);
        if (held.size() > 10)
            shown << QStringLiteral("…");
        return Tr("分录号 %1 已下达采购订单，不能删除").arg(shown.join(QStringLiteral(",")));
    }
    db.Exec(QStringLiteral("DELETE FROM plan_entries WHERE plan_id = ?"), {plan});
    db.Exec(QStringLiteral("DELETE FROM purchase_plans WHERE id = ?"), {plan});
    return QString();
}

} // namespace

void PurchasePlanUpdateService::UpdatePurchasePlanEntry(const QString&, RecordListPtr& entries) {
    if (!entries)
        return;
    Require(*m_session, rights::Save);
    // Rows are locked in one order, plan then entry, so two saves never wait on each other crosswise.
    struct Keyed {
        qint64 Plan, Entry;
        KeyedRecord* Record;
    };
    QVector<Keyed> ordered;
    ordered.reserve(entries->Count());
    for (const RecordPtr& r : *entries)
        if (r)
            ordered.push_back({Id(r->Get(kInterID, QVariant())).value_or(0),
                               Id(r->Get(kEntryID, QVariant())).value_or(0), r.get()});
    std::stable_sort(ordered.begin(), ordered.end(), [](const Keyed& a, const Keyed& b) {
        return std::tie(a.Plan, a.Entry) < std::tie(b.Plan, b.Entry);
    });
    const store::Store& db = *m_session->Db;
    // The new versions are set in the records as they are written; a refusal leaves the records
    // as they came, so the caller can send them again.
    QVector<QVariant> before;
    before.reserve(ordered.size());
    for (const Keyed& k : ordered)
        before << k.Record->Get(kEntryVersionField, QVariant());
    auto restoreVersions = [&] {
        for (int i = 0; i < ordered.size(); ++i) {
            if (before[i].isValid())
                ordered[i].Record->Set(kEntryVersionField, before[i]);
            else
                ordered[i].Record->Remove(kEntryVersionField);
        }
    };
    try {
        db.InTransaction([&] {
            // A transaction run again starts from the versions the records came with.
            restoreVersions();
            EntryWriter writer(db, m_session->UserId, Holds(*m_session, rights::Price));
            for (const Keyed& k : ordered)
                writer.Write(*k.Record);
            WriteLogRecord(*m_session, logs::Save);
        });
    } catch (...) {
        restoreVersions();
        throw;
    }
}

RecordListPtr PurchasePlanUpdateService::ClosePurchasePlan(const QString&, RecordListPtr& requests) {
    return SetCloseMark(requests, true);
}

RecordListPtr PurchasePlanUpdateService::UnClosePurchasePlan(const QString&, RecordListPtr& requests) {
    return SetCloseMark(requests, false);
}

RecordListPtr PurchasePlanUpdateService::SetCloseMark(const RecordListPtr& requests, bool close) {
    auto results = RecordList::Create();
    if (!requests)
        return results;
    Require(*m_session, rights::Close);
    const store::Store& db = *m_session->Db;
    const QString gone = Tr("该分录已不存在，可能已被删除");
    const QString same = close ? Tr("该分录已经关闭") : Tr("该分录未关闭");
    db.InTransaction([&] {
        // Only an entry in the other state changes, so "already closed" is decided by the write itself.
        QSqlQuery change = db.Prepare(
            close ? QStringLiteral("UPDATE plan_entries SET close_mark = ?, row_version = row_version + 1"
                                   " WHERE plan_id = ? AND entry_id = ? AND close_mark = ''")
                  : QStringLiteral("UPDATE plan_entries SET close_mark = '', row_version = row_version + 1"
                                   " WHERE plan_id = ? AND entry_id = ? AND close_mark <> ''"));
        QSqlQuery exists =
            db.Prepare(QStringLiteral("SELECT 1 FROM plan_entries WHERE plan_id = ? AND entry_id = ?"));
        QSqlQuery supplier = db.Prepare(
            QStringLiteral("SELECT supplier_id FROM plan_entries WHERE plan_id = ? AND entry_id = ?") +
            (db.IsSQLite() ? QString() : QStringLiteral(" FOR UPDATE")));
        QHash<qint64, QString> forbiddenById;
        // Entries are changed in the one order every writer keeps (plan, then entry), so a close
        // never waits crosswise on a save or a push; the results keep the order of the requests.
        QVector<int> order;
        for (int i = 1; i <= requests->Count(); ++i)
            if (requests->Item(i))
                order << i;
        auto key = [&](int i) {
            const RecordPtr& r = requests->Item(i);
            return std::pair{Id(r->Get(kInterID, QVariant())).value_or(0),
                             Id(r->Get(kEntryID, QVariant())).value_or(0)};
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
        QHash<int, RecordPtr> outcome;
        for (int i : order) {
            const RecordPtr& request = requests->Item(i);
            const auto plan = Id(request->Get(kInterID, QVariant()));
            const auto entry = Id(request->Get(kEntryID, QVariant()));
            QString error;
            if (!plan || !entry) {
                error = Tr("采购建议内码或分录号无效：%1_%2")
                            .arg(Shown(request->Get(kInterID)), Shown(request->Get(kEntryID)));
            } else {
                QVariantList binds{*plan, *entry};
                if (close)
                    binds.prepend(kClosedMark);
                db.Run(supplier, {*plan, *entry});
                QString forbidden;
                if (supplier.next() && !supplier.value(0).isNull()) {
                    const qint64 id = supplier.value(0).toLongLong();
                    auto known = forbiddenById.constFind(id);
                    if (known == forbiddenById.constEnd())
                        known = forbiddenById.insert(id, ForbiddenSupplier(*m_session, id));
                    forbidden = *known;
                }
                supplier.finish();
                if (!forbidden.isEmpty())
                    error = SupplierRefusal(forbidden);
                else
                    db.Run(change, binds);
                if (error.isEmpty() && change.numRowsAffected() < 1) {
                    db.Run(exists, {*plan, *entry});
                    error = exists.next() ? same : gone;
                    exists.finish();
                }
            }
            outcome.insert(i, Result(request->Get(kRow, QVariant()), error));
        }
        WriteLogRecord(*m_session, close ? logs::Close : logs::UnClose);
        // A transaction run again gives its results once.
        results->Clear();
        results->Reserve(int(order.size()));
        for (int i = 1; i <= requests->Count(); ++i)
            if (outcome.contains(i))
                results->Add(outcome.value(i));
    });
    return results;
}

RecordListPtr PurchasePlanUpdateService::DeletePurChasePlan(const QString&, RecordListPtr& requests) {
    auto results = RecordList::Create();
    if (!requests)
        return results;
    Require(*m_session, rights::Delete);
    const store::Store& db = *m_session->Db;
    QHash<qint32, QString> outcomes; // a plan asked for twice gets the outcome of its first request
    for (const RecordPtr& request : *requests) {
        if (!request)
            continue;
        const auto plan = Id(request->Get(kInterID, QVariant()));
        QString error;
        if (!plan) {
            error = Tr("采购建议内码无效：%1").arg(Shown(request->Get(kInterID)));
        } else if (const auto seen = outcomes.constFind(*plan); seen != outcomes.constEnd()) {
            error = *seen;
        } else {
            // A store failure costs this plan only; the others are still tried. A deleted plan's
            // record goes in with the delete; a plan that stays gets a record of the failure.
            const QString billNo = request->Text(QStringLiteral("FBillNo"));
            try {
                error = db.InTransaction([&] {
                    const QString why = DeletePlan(*m_session, *plan);
                    if (why.isEmpty())
                        WriteLogRecord(*m_session, QString::fromLatin1(logs::DeleteCode),
                                       logs::DeleteSucceeded, logs::DeletedName(billNo));
                    return why;
                });
            } catch (const Error& e) {
                error = e.Description();
            }
            if (!error.isEmpty()) {
                try {
                    WriteLogRecord(*m_session, QString::fromLatin1(logs::DeleteCode), logs::DeleteFailed,
                                   logs::DeleteFailedName(billNo));
                } catch (const Error&) {
                    // The store that failed the delete may fail its record too; the user is told of the
                    // delete.
                }
            }
            outcomes.insert(*plan, error);
        }
        request->Set(kSucceed, Succeed(error));
        results->Add(Result(request->Get(kRow, QVariant()), error));
    }
    return results;
}

} // namespace zpp::services
