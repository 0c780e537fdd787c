#include "DataImport.h"

#include "TableFile.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "component/host/PlanFields.h"
#include "platform/export/Exporter.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "services/access/Rights.h"
#include "services/access/UserAdministration.h"
#include "services/planning/PriceService.h"
#include "services/platform/PlatformServices.h"
#include "services/store/RowWriter.h"
#include "services/store/StoredText.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace zpp::services {

namespace {
using F = FieldType;

// Field orders are what a new user fills in a template, so they follow the order people think in.
const QVector<ImportKindInfo> kKinds = {
    {ImportKind::Units, "units", "计量单位", {{"单位", F::Text, true, true}}},
    {ImportKind::Items,
     "items",
     "物料",
     {{"物料代码", F::Text, true, true},
      {"物料名称", F::Text, true},
      {"规格型号", F::Text, false},
      {"单位", F::Text, true},
      {"数量精度位数", F::Integer, false},
      {"单价精度位数", F::Integer, false}}},
    {ImportKind::Suppliers,
     "suppliers",
     "供应商",
     {{"供应商代码", F::Text, true, true},
      {"供应商名称", F::Text, true},
      {"税率(%)", F::Number, false},
      {"信用额度", F::Number, false},
      {"信用控制", F::Text, false}}},
    {ImportKind::Prices,
     "prices",
     "供应商价格表",
     {{"供应商代码", F::Text, true, true},
      {"物料代码", F::Text, true, true},
      {"单位", F::Text, false},
      {"含税单价", F::Number, true},
      {"生效日期", F::Date, true, true}}},
    {ImportKind::SupplierRights,
     "supplier-rights",
     "用户的供应商权限",
     {{"用户名", F::Text, true, true}, {"供应商代码", F::Text, true, true}, {"允许使用", F::Flag, true}}},
    {ImportKind::Plans,
     "plans",
     "采购计划",
     {{"采购建议号", F::Text, true},
      {"日期", F::Date, true},
      {"物料代码", F::Text, true},
      {"辅助属性", F::Text, false},
      {"供应商代码", F::Text, false},
      {"数量", F::Number, true},
      {"含税单价", F::Number, false},
      {"折扣率(%)", F::Number, false},
      {"税率(%)", F::Number, false},
      {"建议交货日期", F::Date, false},
      {"起始日期", F::Date, false},
      {"备注", F::Text, false},
      {"源单单号", F::Text, false}}},
};

// Codes, names and numbers of what is imported; longer texts would not show whole anywhere.
constexpr qsizetype kCodeChars = 80;
constexpr qsizetype kNameChars = 255;
// No date of a plan or a price list is older: an earlier one is a slip, most often a spreadsheet's
// day number 1 (1899-12-31) or an unfilled year.
const QString kEarliestDate = QStringLiteral("2000-01-01");

QString Tr(const char* text) {
    return ui::Tr(text);
}

// The English caption of a field whatever the log-in language, so a file exported in either
// language reads back.
QString EnglishCaption(const char* caption) {
    static ResLoaderService* english = [] {
        auto* loader = new ResLoaderService;
        loader->SetResFileBaseName(QStringLiteral("DeZodirorazez"));
        loader->SetLanguageID(QStringLiteral("en"));
        return loader;
    }();
    return english->LoadString(QString::fromUtf8(caption));
}

// Only the letters and digits of a caption: "税率%" and 税率(%) are alike.
QString LetterKey(const QString& caption) {
    QString key;
    for (const QChar c : CaptionKey(caption))
        if (c.isLetterOrNumber())
            key += c;
    return key;
}

// Edits that turn a into b (insertions, deletions, replacements).
qsizetype EditDistance(const QString& a, const QString& b) {
    QVector<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Whether an unknown caption looks like a known one: the same letters and digits, or a slip of a
// character (two in a long English caption). Two-character captions differ too much at one.
bool LooksLike(const QString& caption, const QString& known) {
    const QString letters = LetterKey(known);
    if (!letters.isEmpty() && LetterKey(caption) == letters)
        return true;
    const QString k = CaptionKey(known);
    const qsizetype slips = k.size() >= 8 ? 2 : k.size() >= 3 ? 1 : 0;
    return slips > 0 && std::abs(CaptionKey(caption).size() - k.size()) <= slips &&
           EditDistance(CaptionKey(caption), k) <= slips;
}

// A number as the list keeps it at these decimals: the grid rounds what is typed to the item's
// decimals (halves away from zero), and the import stores what the list would.
double AtDecimals(double value, int decimals) {
    return values::Val(values::FormatNumber(value, decimals));
}

// A row's values by field, as read and parsed: texts trimmed, numbers as doubles, dates as
// "yyyy-MM-dd", flags as bools; an empty cell is a null value.
using Values = QVector<QVariant>;

// The whole import of one file, in one pass: each row is checked and, while no problem was found
// and this is no dry run, written at once.
class Importer {
public:
    Importer(const store::Session& session, const ImportKindInfo& kind, const ImportOptions& options,
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

    // The notices of the file's captions alone, read before anything is written.
    ImportNotices CaptionNotices(const QString& path) {
        auto reader = OpenTable(path);
        QStringList cells;
        qint64 rowNo = 0;
        if (reader->Next(cells, rowNo))
            ReadCaptions(cells, rowNo);
        return m_result.Notices;
    }

    ImportResult Run(const QString& path) {
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

private:
    // Problems after this many are not listed one by one: the file needs fixing anyway.
    static constexpr qsizetype kMaxProblems = 1000;

    void Problem(qint64 row, const QString& column, const QString& text) {
        if (m_result.Problems.size() < kMaxProblems)
            m_result.Problems.push_back({row, column, text});
        else if (m_result.Problems.size() == kMaxProblems)
            m_result.Problems.push_back({row, {}, Tr("问题太多，其余的不再列出")});
        m_write = false;
    }
    void Problem(int field, const QString& text) { Problem(m_row, Caption(field), text); }
    QString Caption(int field) const { return Tr(m_kind.Fields[field].Caption); }

    bool ReadCaptions(const QStringList& cells, qint64 rowNo) {
        m_columnOf = QVector<int>(m_kind.Fields.size(), -1);
        QVector<int> unknown;
        for (int c = 0; c < cells.size(); ++c) {
            const QString key = CaptionKey(cells[c]);
            if (key.isEmpty())
                continue;
            bool known = false;
            for (int f = 0; f < m_kind.Fields.size(); ++f) {
                if (key != m_captionKeys[f].first && key != m_captionKeys[f].second)
                    continue;
                known = true;
                if (m_columnOf[f] >= 0)
                    Problem(rowNo, Caption(f), Tr("该列出现了两次"));
                m_columnOf[f] = c;
            }
            if (!known)
                unknown << c;
        }
        // Other columns are ignored (an exported list carries many), but one that looks like a
        // column the file lacks was most likely meant as it: its values would be lost unseen.
        for (const int c : unknown) {
            const QString caption = cells[c].trimmed();
            for (int f = 0; f < m_kind.Fields.size(); ++f) {
                const char* builtIn = m_kind.Fields[f].Caption;
                if (m_columnOf[f] >= 0 || (!LooksLike(caption, QString::fromUtf8(builtIn)) &&
                                           !LooksLike(caption, EnglishCaption(builtIn))))
                    continue;
                m_result.Notices.push_back(
                    {rowNo, caption, Tr("不是已知的列标题，该列不会导入；是否应为“%1”？").arg(Caption(f))});
                break;
            }
        }
        bool complete = true;
        for (int f = 0; f < m_kind.Fields.size(); ++f) {
            const ImportField& field = m_kind.Fields[f];
            if (field.Required && (!m_updating || field.Key) && m_columnOf[f] < 0) {
                Problem(rowNo, Caption(f), Tr("缺少此列"));
                complete = false;
            }
        }
        return complete && m_result.Problems.isEmpty();
    }

    // Cells that cannot be read are listed as problems, marked bad and left null.
    void Parse(const QStringList& cells, Values& values) {
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

    // Checks the field's text against a limit, naming the field.
    bool Fits(const Values& v, int f, qsizetype chars) {
        if (v[f].toString().size() <= chars)
            return true;
        Problem(f, Tr("太长：最多 %1 个字符").arg(chars));
        return false;
    }
    bool InRange(const Values& v, int f, double lo, double hi) {
        if (v[f].isNull() || (v[f].toDouble() >= lo && v[f].toDouble() <= hi))
            return true;
        if (lo == 0 && v[f].toDouble() < 0)
            Problem(f, Tr("不能为负数"));
        else
            Problem(f, Tr("应在 %1 到 %2 之间").arg(lo).arg(QString::number(hi, 'f', 0)));
        return false;
    }
    bool Positive(const Values& v, int f) {
        if (v[f].isNull() || v[f].toDouble() > 0)
            return true;
        Problem(f, Tr("必须大于 0"));
        return false;
    }
    // A row that adds a record needs every required column, which an update's file may leave out.
    bool MayAdd(const QString& shown) {
        bool ok = true;
        for (int f = 0; f < m_kind.Fields.size(); ++f) {
            if (m_kind.Fields[f].Required && m_columnOf[f] < 0) {
                Problem(f, Tr("“%1”是新增的，文件中须有此列").arg(shown));
                ok = false;
            }
        }
        return ok;
    }
    // A key seen twice in the file.
    bool FirstTime(QSet<QString>& seen, const QString& key, int f, const QString& shown) {
        if (!seen.contains(key)) {
            seen.insert(key);
            return true;
        }
        Problem(f, Tr("“%1”在文件中出现了两次").arg(shown));
        return false;
    }
    // An existing record: updated when the user chose so, else a problem.
    bool MayChange(bool exists, int f, const QString& shown) {
        if (!exists || m_options.UpdateExisting)
            return true;
        Problem(f, Tr("“%1”已存在（选择“更新已有数据”可以改写它）").arg(shown));
        return false;
    }

    // An existing record changes only in the columns the file has: a file of codes and tax rates
    // leaves names and credit lines alone. An empty cell of a column it has is a value, though.
    struct Assignment {
        int Field;
        const char* Column;
        QVariant Value;
    };
    void Update(const char* table, const QVector<Assignment>& assignments, const QString& where,
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
        m_db.Exec(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(QLatin1String(table), sets.join(u','), where),
            values + binds);
        ++m_result.Updated;
    }

    QHash<QString, int> Ids(const QString& sql) const {
        QHash<QString, int> ids;
        QSqlQuery q = m_db.Exec(sql);
        while (q.next())
            ids.insert(q.value(0).toString(), q.value(1).toInt());
        return ids;
    }
    int NextId(const char* table) const {
        return m_db.Scalar(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM %1").arg(QLatin1String(table)))
                   .toInt() +
               1;
    }

    // What rows refer to, read once: a big file meets the same few thousand codes again and again.
    void Load() {
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
            QSqlQuery refused = m_db.Exec(
                QStringLiteral(
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

    // The ID a code stands for; a problem naming the code when there is none.
    std::optional<int> Known(const QHash<QString, int>& ids, const Values& v, int f, const char* what) {
        if (m_bad[f])
            return std::nullopt; // listed already
        const auto it = ids.find(v[f].toString());
        if (it != ids.end())
            return *it;
        Problem(f, Tr(what).arg(v[f].toString()));
        return std::nullopt;
    }

    void Row(const Values& v) {
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

    void Unit(const Values& v) {
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

    void Item(const Values& v) {
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

    // An entry has no unit of its own: its quantity is in its item's unit. A new unit for an item
    // with entries would silently change what they ask to buy, so it is refused; the entries are
    // left as they are. An item without entries may take any unit.
    bool UnitMayChange(const QString& code, int unit) {
        const int was = m_itemUnits.value(code);
        if (unit == was ||
            !m_db.Scalar(QStringLiteral("SELECT 1 FROM plan_entries WHERE item_id = ? LIMIT 1"),
                         {m_items.value(code)})
                 .isValid())
            return true;
        Problem(3, Tr("物料“%1”已有采购计划分录，不能把单位从“%2”改为“%3”")
                       .arg(code, m_units.key(was), m_units.key(unit)));
        return false;
    }

    void Supplier(const Values& v) {
        const QString code = v[0].toString();
        QString control = v[4].toString();
        static const QHash<QString, QString> controls{
            {"", ""},      {"0", ""},     {"不控制", ""}, {"none", ""},  {"2", "2"},      {"提示", "2"},
            {"警告", "2"}, {"warn", "2"}, {"3", "3"},     {"禁止", "3"}, {"forbid", "3"}, {"1", ""}};
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
        m_db.Exec(
            QStringLiteral("INSERT INTO suppliers (id, code, name, tax_rate, credit_line, credit_control)"
                           " VALUES (?, ?, ?, ?, ?, ?)"),
            {m_nextId, code, v[1].toString(), tax, line, control});
        m_suppliers.insert(code, m_nextId++);
        ++m_result.Added;
    }

    void Price(const Values& v) {
        const auto supplier = Known(m_suppliers, v, 0, "没有供应商“%1”");
        const auto item = Known(m_items, v, 1, "没有物料“%1”");
        std::optional<int> unit;
        if (!v[2].isNull())
            unit = Known(m_units, v, 2, "没有单位“%1”");
        else if (item)
            unit = m_itemUnits.value(v[1].toString());
        const bool ok = InRange(v, 3, 0, kLargestAmount) && supplier && item && unit && !m_bad[4] &&
                        FirstTime(m_seen, v[0].toString() + u'\n' + v[1].toString() + u'\n' + v[4].toString(),
                                  4, v[0].toString() + u' ' + v[1].toString() + u' ' + v[4].toString());
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
            v[3].isNull() ? v[3]
                          : QVariant(AtDecimals(v[3].toDouble(), m_priceDecimals.value(v[1].toString())));
        if (exists) {
            Update("supplier_prices", {{2, "unit_id", *unit}, {3, "price", price}},
                   QStringLiteral("supplier_id = ? AND item_id = ? AND valid_from = ?"),
                   {*supplier, *item, v[4]});
            return;
        }
        m_db.Exec(
            QStringLiteral("INSERT INTO supplier_prices (supplier_id, item_id, unit_id, price, valid_from)"
                           " VALUES (?, ?, ?, ?, ?)"),
            {*supplier, *item, *unit, price, v[4]});
        ++m_result.Added;
    }

    void SupplierRight(const Values& v) {
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

    struct PlanState {
        int Id = 0;
        int Entries = 0;
    };

    void Entry(const Values& v) {
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
                  Positive(v, Qty) & InRange(v, EntryPrice, 0, kLargestAmount) &
                  InRange(v, Discount, 0, 100) & InRange(v, Tax, 0, 100);
        if (const QString fault = store::LengthFault(v[Memo].toString(), store::limits::Memo);
            !fault.isEmpty()) {
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
            m_db.Exec(
                QStringLiteral(
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

    // Entries go many to a statement; the plan and properties they refer to are in already.
    void AddEntry(const QVariantList& row) {
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

    void Finish() {
        if (m_entries)
            m_entries->Flush();
    }

    const store::Session& m_session;
    const store::Store& m_db;
    const ImportKindInfo& m_kind;
    ImportOptions m_options;
    bool m_write;
    ImportProgress m_progress;
    const bool m_prices, m_writesPrices, m_updating;
    ImportResult m_result;
    QVector<std::pair<QString, QString>> m_captionKeys; // Chinese and English, as compared
    QVector<int> m_columnOf;
    QVector<bool> m_bad; // the cells of this row that could not be read
    qint64 m_row = 0;
    int m_nextId = 1, m_nextAuxProp = 1;
    QHash<QString, int> m_units, m_items, m_itemUnits, m_suppliers, m_users, m_auxProps;
    QHash<QString, int> m_qtyDecimals, m_priceDecimals; // by item code
    QHash<QString, double> m_supplierTax;
    QSet<QString> m_seen, m_refusedSuppliers, m_storedPlans;
    QHash<QString, PlanState> m_plans;
    std::optional<store::RowWriter> m_entries;
};

// A run that found problems after it had begun writing: rolls its transaction back.
struct Refused {
    ImportResult Result;
};

} // namespace

const QVector<ImportKindInfo>& ImportKinds() {
    return kKinds;
}

const ImportKindInfo& ImportKindByKey(const QString& key) {
    QStringList keys;
    for (const ImportKindInfo& k : kKinds) {
        if (key == QLatin1String(k.Key))
            return k;
        keys << QString::fromLatin1(k.Key);
    }
    throw Error(ui::Tr("没有“%1”这种导入数据，可用的有：%2").arg(key, keys.join(QStringLiteral(", "))));
}

static const ImportKindInfo& InfoOf(ImportKind kind) {
    for (const ImportKindInfo& k : kKinds)
        if (k.Kind == kind)
            return k;
    throw Error(QStringLiteral("unknown import kind"));
}

ImportResult DataImport::Run(ImportKind kind, const QString& path, const ImportOptions& options,
                             const ImportProgress& progress) const {
    const store::Session& session = *m_session;
    Require(session, rights::Import);
    // Who may use which supplier is the administrator's to say, as in the users window.
    if (kind == ImportKind::SupplierRights && !Holds(session, kEveryRight))
        throw Error(ui::Tr("只有系统管理员可以导入用户的供应商权限"));
    if (kind == ImportKind::Prices)
        Require(session, rights::Price);
    const ImportKindInfo& info = InfoOf(kind);
    if (options.DryRun)
        return Importer(session, info, options, false, progress).Run(path);
    // Asked before the transaction begins, so nobody waits on the store while the user reads.
    if (options.GoOnDespite) {
        const ImportNotices notices = Importer(session, info, options, false, {}).CaptionNotices(path);
        if (!notices.isEmpty() && !options.GoOnDespite(notices))
            throw Cancelled(ui::Tr("导入已取消，没有写入任何数据"));
    }
    try {
        return session.Db->InTransaction([&] {
            ImportResult result = Importer(session, info, options, true, progress).Run(path);
            if (!result.Problems.isEmpty())
                throw Refused{result};
            WriteLogRecord(
                session, QString::fromLatin1(logs::ImportCode), logs::ImportType,
                logs::ImportedName(QString::fromLatin1(info.Key), QFileInfo(path).fileName(), result.Rows));
            result.Written = true;
            return result;
        });
    } catch (const Refused& refused) {
        // What the run had written before its first problem went back with the transaction.
        ImportResult result = refused.Result;
        result.Added = result.Updated = 0;
        return result;
    }
}

void DataImport::WriteTemplate(ImportKind kind, const QString& path) const {
    // The import tells a file's format by its name's ending, so a template is written in the
    // format its name says (".txt" is CSV, as the import reads it), and a name the import would
    // refuse is refused before anything is written.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != u"xlsx" && suffix != u"csv" && suffix != u"txt")
        throw Error(ui::Tr("模板的文件名要以 .xlsx、.csv 或 .txt 结尾：%1").arg(QFileInfo(path).fileName()));
    const ImportKindInfo& info = InfoOf(kind);
    exporting::Exporter exporter;
    exporter.SetColumnCount(int(info.Fields.size()));
    for (int f = 0; f < info.Fields.size(); ++f) {
        exporter.SetColumnCaption(f + 1, ui::Tr(info.Fields[f].Caption));
        exporter.SetColumnDataType(f + 1,
                                   info.Fields[f].Type == F::Number || info.Fields[f].Type == F::Integer
                                       ? exporting::kNumberType
                                       : exporting::kTextType);
        if (info.Fields[f].Type == F::Date)
            exporter.SetColumnLeastWidth(f + 1, int(QStringLiteral("2026-12-31").size()) + 2);
    }
    exporter.SetRowCount(0);
    QString error;
    const exporting::Format format = suffix == u"xlsx" ? exporting::Format::Xlsx : exporting::Format::Csv;
    if (!exporter.Write(path, format, ui::Tr(info.Title), &error))
        throw Error(ui::Tr("无法写入模板 %1：%2").arg(path, error));
}

namespace {
// "1 行" and "3 行" ("1 row", "3 rows").
QString Counted(qint64 n, const char* one, const char* many) {
    return n == 1 ? ui::Tr(one) : ui::Tr(many).arg(n);
}
} // namespace

QString ResultText(const ImportResult& result) {
    const QString rows = Counted(result.Rows, "1 行", "%1 行");
    QString text;
    if (!result.Problems.isEmpty())
        text = ui::Tr("%1，%2，未写入任何数据")
                   .arg(rows, Counted(result.Problems.size(), "1 个问题", "%1 个问题"));
    else if (!result.Written)
        text = ui::Tr("%1，没有问题（试运行，未写入）").arg(rows);
    else
        text = ui::Tr("%1已导入：新增 %2，更新 %3").arg(rows).arg(result.Added).arg(result.Updated);
    if (!result.Notices.isEmpty())
        text += ui::Tr("；%1").arg(Counted(result.Notices.size(), "1 个提醒", "%1 个提醒"));
    return text;
}

QString ProblemText(const ImportProblem& problem) {
    if (problem.Column.isEmpty())
        return ui::Tr("第 %1 行：%2").arg(problem.Row).arg(problem.Text);
    return ui::Tr("第 %1 行，%2：%3").arg(problem.Row).arg(problem.Column, problem.Text);
}

} // namespace zpp::services
