// The pass over an import file's rows: reading and parsing each cell, the checks every kind's rules
// use, and what the rows refer to, read once. The kinds' own rules are in ImportRecords/ImportPlans.

#include "Importer.h"
#include "TableFile.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "services/access/Rights.h"
#include "services/store/StoredText.h"

#include <QSqlQuery>
#include <cmath>

namespace zpp::services::importing {

namespace {
// No date of a plan or a price list is older: an earlier one is a slip, most often a spreadsheet's
// day number 1 (1899-12-31) or an unfilled year.
const QString kEarliestDate = QStringLiteral("2000-01-01");
} // namespace

Importer::Importer(const store::Session& session, const ImportKindInfo& kind, const ImportOptions& options,
                   bool write, const ImportProgress& progress)
    : m_session(session), m_db(*session.Db), m_kind(kind), m_options(options), m_write(write),
      m_progress(progress), m_prices(Holds(session, rights::Price)),
      // Where the store keeps prices from the user, its own trigger prices the entries.
      m_writesPrices(!StoreHidesPrices(session)),
      m_updating(options.UpdateExisting && kind.Kind != ImportKind::Plans) {
    for (const ImportField& f : m_kind.Fields)
        m_captionKeys.push_back(
            {CaptionKey(QString::fromUtf8(f.Caption)), CaptionKey(EnglishCaption(f.Caption))});
}

ImportResult Importer::Run(const QString& path) {
    auto reader = OpenTable(path);
    QStringList cells;
    qint64 rowNo = 0;
    if (!reader->Next(cells, rowNo)) {
        Problem(1, {}, Tr("文件是空的：第一行应是列标题"));
        return m_result;
    }
    if (!ReadCaptions(cells, rowNo))
        return m_result;
    Load();
    Values values(m_kind.Fields.size());
    // What the reader finds wrong with a row (a quote left open, more fields than captions)
    // is listed with the import's own problems of that row.
    const auto takeReadProblems = [&] {
        for (const TableProblem& p : reader->TakeProblems())
            Problem(p.Row, p.Column, p.Text);
    };
    takeReadProblems();
    while (reader->Next(cells, rowNo)) {
        takeReadProblems();
        ++m_result.Rows;
        if ((m_result.Rows & 255) == 0 &&
            ((m_progress && !m_progress(reader->Progress())) || !longwork::KeepGoing()))
            throw Cancelled(Tr("导入已取消，没有写入任何数据"));
        m_row = rowNo;
        // A row with a cell that cannot be read is checked all the same, so one run lists
        // every problem of the file.
        Parse(cells, values);
        Row(values);
    }
    takeReadProblems();
    // A file of captions alone is no import: nothing to write, nothing to log.
    if (m_result.Rows == 0)
        Problem(1, {}, Tr("没有可导入的数据：文件只有列标题"));
    if (m_write)
        Finish();
    return m_result;
}

void Importer::Problem(qint64 row, const QString& column, const QString& text) {
    if (m_result.Problems.size() < kMaxProblems)
        m_result.Problems.push_back({row, column, text});
    else if (m_result.Problems.size() == kMaxProblems)
        m_result.Problems.push_back({row, {}, Tr("问题太多，其余的不再列出")});
    m_write = false;
}

void Importer::Parse(const QStringList& cells, Values& values) {
    m_bad.fill(false, m_kind.Fields.size());
    for (int f = 0; f < m_kind.Fields.size(); ++f) {
        bool ok = true;
        const int c = m_columnOf[f];
        const QString text = c >= 0 && c < cells.size() ? cells[c].trimmed() : QString();
        values[f] = QVariant();
        const ImportField& field = m_kind.Fields[f];
        if (text.isEmpty()) {
            // An update may leave a column out; a row that adds a record is checked for it.
            if (field.Required && c >= 0) {
                Problem(f, Tr("不能为空"));
                m_bad[f] = true;
            }
            continue;
        }
        switch (field.Type) {
        case F::Text:
            values[f] = store::StoredText(text);
            break;
        case F::Number:
        case F::Integer: {
            if (!values::IsNumber(text)) {
                Problem(f, Tr("“%1”不是数字").arg(text));
                ok = false;
                break;
            }
            const double n = values::Val(text);
            if (std::abs(n) > kLargestAmount) {
                Problem(f, Tr("数字 %1 太大").arg(text));
                ok = false;
            } else if (field.Type == F::Integer && n != std::floor(n)) {
                Problem(f, Tr("“%1”不是整数").arg(text));
                ok = false;
            } else {
                values[f] = n;
            }
            break;
        }
        case F::Date: {
            // Most dates come as the export writes them, which is their stored form already.
            QString iso;
            if (values::ParseDisplayDate(text)) {
                iso = text;
            } else {
                const QString serial = SerialDateText(text);
                const auto date = values::ParseDate(serial.isEmpty() ? text : serial);
                if (date)
                    iso = date->toString(Qt::ISODate);
            }
            if (iso.isEmpty()) {
                Problem(f, Tr("“%1”不是日期").arg(text));
                ok = false;
            } else if (iso < kEarliestDate) {
                Problem(f, Tr("日期 %1 早于 %2").arg(iso, kEarliestDate));
                ok = false;
            } else {
                values[f] = iso;
            }
            break;
        }
        case F::Flag: {
            static const QStringList yes{"1", "是", "y", "yes", "true", "允许"};
            static const QStringList no{"0", "否", "n", "no", "false", "禁止"};
            if (yes.contains(text, Qt::CaseInsensitive))
                values[f] = true;
            else if (no.contains(text, Qt::CaseInsensitive))
                values[f] = false;
            else {
                Problem(f, Tr("“%1”应为 是 或 否").arg(text));
                ok = false;
            }
            break;
        }
        }
        m_bad[f] = !ok;
    }
}

bool Importer::Fits(const Values& v, int f, qsizetype chars) {
    if (v[f].toString().size() <= chars)
        return true;
    Problem(f, Tr("太长：最多 %1 个字符").arg(chars));
    return false;
}

bool Importer::InRange(const Values& v, int f, double lo, double hi) {
    if (v[f].isNull() || (v[f].toDouble() >= lo && v[f].toDouble() <= hi))
        return true;
    if (lo == 0 && v[f].toDouble() < 0)
        Problem(f, Tr("不能为负数"));
    else
        Problem(f, Tr("应在 %1 到 %2 之间").arg(lo).arg(QString::number(hi, 'f', 0)));
    return false;
}

bool Importer::Positive(const Values& v, int f) {
    if (v[f].isNull() || v[f].toDouble() > 0)
        return true;
    Problem(f, Tr("必须大于 0"));
    return false;
}

bool Importer::MayAdd(const QString& shown) {
    bool ok = true;
    for (int f = 0; f < m_kind.Fields.size(); ++f) {
        if (m_kind.Fields[f].Required && m_columnOf[f] < 0) {
            Problem(f, Tr("“%1”是新增的，文件中须有此列").arg(shown));
            ok = false;
        }
    }
    return ok;
}

bool Importer::FirstTime(QSet<QString>& seen, const QString& key, int f, const QString& shown) {
    if (!seen.contains(key)) {
        seen.insert(key);
        return true;
    }
    Problem(f, Tr("“%1”在文件中出现了两次").arg(shown));
    return false;
}

bool Importer::MayChange(bool exists, int f, const QString& shown) {
    if (!exists || m_options.UpdateExisting)
        return true;
    Problem(f, Tr("“%1”已存在（选择“更新已有数据”可以改写它）").arg(shown));
    return false;
}

void Importer::Update(const char* table, const QVector<Assignment>& assignments, const QString& where,
                      QVariantList binds) {
    QStringList sets;
    QVariantList values;
    for (const Assignment& a : assignments) {
        if (m_columnOf[a.Field] < 0)
            continue;
        sets << QLatin1String(a.Column) + QStringLiteral(" = ?");
        values << a.Value;
    }
    if (sets.isEmpty())
        return; // a file of codes alone changes nothing
    m_db.Exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(QLatin1String(table), sets.join(u','), where),
              values + binds);
    ++m_result.Updated;
}

QHash<QString, int> Importer::Ids(const QString& sql) const {
    QHash<QString, int> ids;
    QSqlQuery q = m_db.Exec(sql);
    while (q.next())
        ids.insert(q.value(0).toString(), q.value(1).toInt());
    return ids;
}

int Importer::NextId(const char* table) const {
    return m_db.Scalar(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM %1").arg(QLatin1String(table)))
               .toInt() +
           1;
}

void Importer::Load() {
    if (m_write && !m_db.IsSQLite())
        m_db.Exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('zpp_import'))"));
    m_units = Ids(QStringLiteral("SELECT name, id FROM units"));
    switch (m_kind.Kind) {
    case ImportKind::Units:
        m_nextId = NextId("units");
        break;
    case ImportKind::Items:
        m_items = Ids(QStringLiteral("SELECT code, id FROM items"));
        m_itemUnits = Ids(QStringLiteral("SELECT code, unit_id FROM items"));
        m_nextId = NextId("items");
        break;
    case ImportKind::Suppliers:
        m_suppliers = Ids(QStringLiteral("SELECT code, id FROM suppliers"));
        m_nextId = NextId("suppliers");
        break;
    case ImportKind::Prices:
        m_suppliers = Ids(QStringLiteral("SELECT code, id FROM suppliers"));
        m_items = Ids(QStringLiteral("SELECT code, id FROM items"));
        m_itemUnits = Ids(QStringLiteral("SELECT code, unit_id FROM items"));
        m_priceDecimals = Ids(QStringLiteral("SELECT code, price_decimals FROM items"));
        break;
    case ImportKind::SupplierRights:
        m_suppliers = Ids(QStringLiteral("SELECT code, id FROM suppliers"));
        m_users = Ids(QStringLiteral("SELECT name, id FROM users"));
        break;
    case ImportKind::Plans: {
        m_items = Ids(QStringLiteral("SELECT code, id FROM items"));
        m_itemUnits = Ids(QStringLiteral("SELECT code, unit_id FROM items"));
        m_qtyDecimals = Ids(QStringLiteral("SELECT code, qty_decimals FROM items"));
        m_priceDecimals = Ids(QStringLiteral("SELECT code, price_decimals FROM items"));
        m_suppliers = Ids(QStringLiteral("SELECT code, id FROM suppliers"));
        m_auxProps = Ids(QStringLiteral("SELECT name, id FROM aux_props"));
        m_nextAuxProp = NextId("aux_props");
        m_nextId = NextId("purchase_plans");
        QSqlQuery q = m_db.Exec(QStringLiteral("SELECT code, tax_rate FROM suppliers"));
        while (q.next())
            m_supplierTax.insert(q.value(0).toString(), q.value(1).toDouble());
        QSqlQuery refused =
            m_db.Exec(QStringLiteral(
                          "SELECT supplier_code FROM user_supplier_rights WHERE user_id = ? AND may_use = 0"),
                      {m_session.UserId});
        while (refused.next())
            m_refusedSuppliers.insert(refused.value(0).toString());
        QSqlQuery plans = m_db.Exec(QStringLiteral("SELECT bill_no FROM purchase_plans"));
        while (plans.next())
            m_storedPlans.insert(plans.value(0).toString());
        break;
    }
    }
}

std::optional<int> Importer::Known(const QHash<QString, int>& ids, const Values& v, int f, const char* what) {
    if (m_bad[f])
        return std::nullopt; // listed already
    const auto it = ids.find(v[f].toString());
    if (it != ids.end())
        return *it;
    Problem(f, Tr(what).arg(v[f].toString()));
    return std::nullopt;
}

} // namespace zpp::services::importing
