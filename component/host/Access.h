#pragma once

#include <QString>
#include <QVector>
#include <memory>

namespace zpp {

class GLData;
class GLView;

// Rights of this component, all checked with subsystem 1006 and module 13.
namespace rights {
inline constexpr qint16 Subsystem = 1006;
inline constexpr qint16 Module = 13;
inline constexpr qint32 Query = 1048576; // open the purchase plan list
inline constexpr qint32 Save = 4194304;  // save edited entries
inline constexpr qint32 Delete = 65536;  // delete plans
inline constexpr qint32 Close = 256;     // close and reopen entries
inline constexpr qint32 Push = 1;        // push entries to purchase orders
inline constexpr qint32 Export = 16;     // export the list
inline constexpr qint32 Print = 32768;   // print and preview
inline constexpr qint32 Price = 4;       // see and choose the unit price column
inline constexpr qint32 Import = 8;      // import a company's units, items, suppliers, prices and plans

// A right by the name the command line uses and the caption the users window shows (untranslated).
struct Named {
    const char* Key; // query, save, close, delete, push, export, print, price, import
    qint32 Mask;
    const char* Caption;
};
const QVector<Named>& All();
} // namespace rights

// Operation-log records: code, type and name.
struct LogEntry {
    const char* Code;
    qint32 Type;
    const char* Name;
};
namespace logs {
inline constexpr LogEntry Query{"CGPlan001", 3, "采购计划单查询"};
inline constexpr LogEntry Print{"CGPlan003", 3, "采购计划单打印"};
inline constexpr LogEntry Export{"CGPlan004", 3, "采购计划表引出"};
inline constexpr LogEntry Save{"CGPlan005", 3, "采购计划单修改"};
inline constexpr LogEntry Close{"CGPlan006", 6, "采购计划单关闭"};
inline constexpr LogEntry UnClose{"CGPlan007", 7, "采购计划单反关闭"};
inline constexpr LogEntry Push{"CGPlan008", 8, "采购计划单下推"};
inline constexpr const char* DeleteCode = "CGPlan002";
inline constexpr qint32 DeleteSucceeded = 3;
inline constexpr qint32 DeleteFailed = 4;
QString DeletedName(const QString& billNo);
QString DeleteFailedName(const QString& billNo);
// The export record of a PDF saved from the print preview, naming the file.
QString ExportedPdfName(const QString& file);
// A purchase order's print and a file written from it, under the print and export codes.
QString OrderPrintedName(const QString& billNo);
QString OrderExportedName(const QString& billNo, const QString& file);
// The plan chart printed (no file) or saved as an image, under the print and export codes.
QString ChartOutputName(const LogEntry& entry, const QString& file = {});
inline constexpr const char* ImportCode = "CGPlan009";
inline constexpr qint32 ImportType = 3;
// One record per import: the kind, the file and how many rows it had.
QString ImportedName(const QString& kind, const QString& file, qint64 rows);
} // namespace logs

// The shared access and lookup view services, created on first use.
std::shared_ptr<GLData> GetGLData();
std::shared_ptr<GLView> GetGLView();

// Writes one operation-log record through a new log service; never fails.
void WriteOperationLog(const QString& code, qint32 type, const QString& name);
void WriteOperationLog(const LogEntry& entry);

// Asks the access service; failures of the service propagate.
bool HasRight(qint32 mask);
// The check every command makes: refused rights show the refusal message, naming the right in its
// second line, and give false.
bool CheckRight(qint32 mask);
// That refusal's text in the log-in language.
QString RightRefusal(qint32 mask);
// Shows a refusal text (localised) with the information icon and the localised title.
void ShowRefusal(const QString& builtInText);

} // namespace zpp
