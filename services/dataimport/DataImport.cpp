#include "DataImport.h"

#include "Importer.h"
#include "component/host/Access.h"
#include "component/host/LongWork.h"
#include "platform/export/Exporter.h"
#include "services/access/Rights.h"
#include "services/access/UserAdministration.h"

#include <QFileInfo>

namespace zpp::services {

namespace {
using importing::F;
using importing::Importer;

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
