// The import of one file, shared by the files that each hold a part of it: the pass over the rows,
// the captions, each kind's rules. Internal to this folder: only DataImport.cpp and those include it.
#pragma once

#include "DataImport.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"
#include "services/store/RowWriter.h"

#include <QHash>
#include <QSet>
#include <QVariant>
#include <optional>

namespace zpp::services::importing {

using F = FieldType;

// Codes, names and numbers of what is imported; longer texts would not show whole anywhere.
constexpr qsizetype kCodeChars = 80;
constexpr qsizetype kNameChars = 255;

inline QString Tr(const char* text) {
    return ui::Tr(text);
}

// The English caption of a field whatever the log-in language, so a file exported in either
// language reads back.
QString EnglishCaption(const char* caption);

// A number as the list keeps it at these decimals: the grid rounds what is typed to the item's
// decimals (halves away from zero), and the import stores what the list would.
inline double AtDecimals(double value, int decimals) {
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
             bool write, const ImportProgress& progress);

    // The notices of the file's captions alone, read before anything is written.
    ImportNotices CaptionNotices(const QString& path);

    ImportResult Run(const QString& path);

private:
    // Problems after this many are not listed one by one: the file needs fixing anyway.
    static constexpr qsizetype kMaxProblems = 1000;

    void Problem(qint64 row, const QString& column, const QString& text);
    void Problem(int field, const QString& text) { Problem(m_row, Caption(field), text); }
    QString Caption(int field) const { return Tr(m_kind.Fields[field].Caption); }

    bool ReadCaptions(const QStringList& cells, qint64 rowNo);

    // Cells that cannot be read are listed as problems, marked bad and left null.
    void Parse(const QStringList& cells, Values& values);

    // Checks the field's text against a limit, naming the field.
    bool Fits(const Values& v, int f, qsizetype chars);
    bool InRange(const Values& v, int f, double lo, double hi);
    bool Positive(const Values& v, int f);
    // A row that adds a record needs every required column, which an update's file may leave out.
    bool MayAdd(const QString& shown);
    // A key seen twice in the file.
    bool FirstTime(QSet<QString>& seen, const QString& key, int f, const QString& shown);
    // An existing record: updated when the user chose so, else a problem.
    bool MayChange(bool exists, int f, const QString& shown);

    // An existing record changes only in the columns the file has: a file of codes and tax rates
    // leaves names and credit lines alone. An empty cell of a column it has is a value, though.
    struct Assignment {
        int Field;
        const char* Column;
        QVariant Value;
    };
    void Update(const char* table, const QVector<Assignment>& assignments, const QString& where,
                QVariantList binds);

    QHash<QString, int> Ids(const QString& sql) const;
    int NextId(const char* table) const;

    // What rows refer to, read once: a big file meets the same few thousand codes again and again.
    void Load();

    // The ID a code stands for; a problem naming the code when there is none.
    std::optional<int> Known(const QHash<QString, int>& ids, const Values& v, int f, const char* what);

    void Row(const Values& v);
    void Unit(const Values& v);
    void Item(const Values& v);
    // An entry has no unit of its own: its quantity is in its item's unit. A new unit for an item
    // with entries would silently change what they ask to buy, so it is refused; the entries are
    // left as they are. An item without entries may take any unit.
    bool UnitMayChange(const QString& code, int unit);
    void Supplier(const Values& v);
    void Price(const Values& v);
    void SupplierRight(const Values& v);

    struct PlanState {
        int Id = 0;
        int Entries = 0;
    };

    void Entry(const Values& v);
    // Entries go many to a statement; the plan and properties they refer to are in already.
    void AddEntry(const QVariantList& row);
    void Finish();

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

} // namespace zpp::services::importing
