#pragma once

#include "services/store/Session.h"

#include <QString>
#include <QVector>
#include <functional>

namespace zpp::services {

// What a company brings along when it starts: its units, items, suppliers, price lists, who may
// use which supplier, and the plans its MRP run produced.
enum class ImportKind { Units, Items, Suppliers, Prices, SupplierRights, Plans };

enum class FieldType { Text, Integer, Number, Date, Flag };

// One column of an import file. Captions are the built-in (Chinese) texts; a file may carry them
// in Chinese or in English, as the list's export and the templates write them.
struct ImportField {
    const char* Caption;
    FieldType Type;
    bool Required;
    // Names the record a row changes: an update needs it, every other column it may leave out
    // (a row that adds a record needs every required column all the same).
    bool Key = false;
};

struct ImportKindInfo {
    ImportKind Kind;
    const char* Key;   // the command line's name: units, items, suppliers, prices, supplier-rights, plans
    const char* Title; // the window's name of the kind
    QVector<ImportField> Fields;
};

const QVector<ImportKindInfo>& ImportKinds();
// The kind by its command-line name; fails naming the names there are.
const ImportKindInfo& ImportKindByKey(const QString& key);

// A problem of one cell (or of a whole row when Column is empty); row 1 is the captions.
struct ImportProblem {
    qint64 Row = 0;
    QString Column;
    QString Text;
};

// Things a user should know that do not stop an import: a caption the import does not know
// but that looks like one it does ("税率%" beside 税率(%)); its column is not read.
using ImportNotices = QVector<ImportProblem>;

struct ImportOptions {
    bool DryRun = false;
    // Rows whose code exists already change that record (name, tax rate, price...); otherwise each
    // is a problem. A plan number that exists is always a problem: a plan is never merged.
    bool UpdateExisting = false;
    // Asked before anything is written when the captions gave notices; false cancels the import.
    std::function<bool(const ImportNotices&)> GoOnDespite = {};
};

struct ImportResult {
    qint64 Rows = 0; // data rows read
    qint64 Added = 0, Updated = 0;
    QVector<ImportProblem> Problems;
    ImportNotices Notices;
    bool Written = false;
};

// Asked now and then with how far the file has been read (0 to 1); false stops the import, and
// nothing is written.
using ImportProgress = std::function<bool(double done)>;

// Imports a file of one kind: every row is checked first, and only a file without problems is
// written, all of it in one transaction with one operation-log record. A dry run checks and
// writes nothing. Needs the import right; supplier rights need an administrator, price lists and
// prices in plans the price right.
class DataImport {
public:
    explicit DataImport(store::SessionPtr session) : m_session(std::move(session)) {}

    ImportResult Run(ImportKind kind, const QString& path, const ImportOptions& options,
                     const ImportProgress& progress = {}) const;
    // An empty file of the kind (XLSX or CSV by the name's ending) with its captions in the log-in
    // language.
    void WriteTemplate(ImportKind kind, const QString& path) const;

private:
    store::SessionPtr m_session;
};

// A problem as one line of the command line's report: "第 3 行，数量：不是数字".
QString ProblemText(const ImportProblem& problem);
// What a run did, in one sentence of the log-in language: "3 行，1 个问题，未写入任何数据".
QString ResultText(const ImportResult& result);

} // namespace zpp::services
