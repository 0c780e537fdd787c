#include "OrderPrintService.h"

#include "OrderDocument.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/export/Exporter.h"
#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"
#include "services/access/Rights.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace zpp::services {

namespace {

QString Lang(const char* builtIn) {
    return GetLangString(QString::fromUtf8(builtIn));
}

QString Info() {
    return Lang("信息提示");
}

QString StartFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// One name a line; a push of many orders names the first ten and counts them all.
QString FileList(const QStringList& names) {
    constexpr int kShown = 10;
    QString list = names.mid(0, kShown).join(u'\n');
    if (names.size() > kShown)
        list += u'\n' + Lang("……共 %1 个文件").arg(names.size());
    return list;
}

// The ledger prints from a window of its own: a hidden child of the window the command came
// from, so its dialogs sit over that window.
struct OrderLedger {
    controls::LedgerGrid Ledger{QApplication::activeWindow()};
    explicit OrderLedger(const OrderDocument& doc) {
        Ledger.hide();
        FillLedger(Ledger, doc);
    }
};

} // namespace

void OrderPrintService::LogExport(const QString& billNo, const QString& file) const {
    WriteLogRecord(*m_session, QString::fromUtf8(logs::Export.Code), logs::Export.Type,
                   logs::OrderExportedName(billNo, Native(file)));
}

void OrderPrintService::PrintOrder(qint64 orderId) {
    Require(*m_session, rights::Print);
    const OrderDocument doc = BuildOrderDocument(m_session, orderId, SavedOrderOptions(*m_session));
    OrderLedger print(doc);
    if (print.Ledger.PrintToPrinter())
        WriteLogRecord(*m_session, QString::fromUtf8(logs::Print.Code), logs::Print.Type,
                       logs::OrderPrintedName(doc.BillNo));
}

void OrderPrintService::PreviewOrder(qint64 orderId) {
    Require(*m_session, rights::Print);
    const OrderDocument doc = BuildOrderDocument(m_session, orderId, SavedOrderOptions(*m_session));
    OrderLedger preview(doc);
    // A PDF saved from the preview leaves the program as an export does. The preview's action
    // runs in its own event loop, so nothing may escape from here.
    preview.Ledger.SetPdfExport(
        [this] {
            try {
                if (Holds(*m_session, rights::Export))
                    return true;
                ShowRefusal(QStringLiteral("对不起，你没有相应的权限！"));
            } catch (const std::exception& e) {
                ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information, Info());
            }
            return false;
        },
        [this, &doc, &preview](const QString& file) {
            // The ledger writes the file as Qt does; its text layer is put right as the
            // exported PDF's is.
            MendLedgerPdfFile(file, preview.Ledger);
            LogExport(doc.BillNo, file);
        });
    preview.Ledger.PrintOut(7);
}

bool OrderPrintService::ExportOrder(qint64 orderId, FileKind kind) {
    Require(*m_session, rights::Export);
    const OrderDocument doc = BuildOrderDocument(m_session, orderId, SavedOrderOptions(*m_session));
    if (kind == FileKind::Workbook) {
        // The export component's own dialog: file name, format, and a question before replacing.
        exporting::Exporter exporter;
        PrepareExport(exporter, doc);
        bool done = false;
        exporter.RunExport(doc.FileBaseName(), done);
        if (done)
            LogExport(doc.BillNo, exporter.WrittenPath());
        return done;
    }
    QFileDialog dialog(QApplication::activeWindow(), Lang("引出采购订单"));
    dialog.setObjectName(QStringLiteral("dlgOrderPdf"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(ui::Tr("PDF 文件 (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    // Replacing is asked below, in the program's own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDirectory(StartFolder());
    dialog.selectFile(doc.FileBaseName() + QStringLiteral(".pdf"));
    if (ui::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo::exists(path) &&
        ui::MsgBox(ui::Tr("文件“%1”已存在。要替换它吗？").arg(Native(path)),
                   ui::YesNo | ui::Question | ui::DefaultButton2, Info()) != ui::Yes)
        return false;
    QString error;
    if (!WriteOrderPdf(doc, path, &error))
        throw Error(ui::Tr("无法写入文件“%1”：%2").arg(Native(path), error));
    LogExport(doc.BillNo, path);
    return true;
}

void OrderPrintService::ExportOrdersPdf(const QVector<qint64>& orderIds) {
    Require(*m_session, rights::Export);
    if (orderIds.isEmpty())
        throw Error(Lang("没有要引出的采购订单"));
    QFileDialog dialog(QApplication::activeWindow(), Lang("选择存放采购订单的文件夹"));
    dialog.setObjectName(QStringLiteral("dlgOrderFolder"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(StartFolder());
    if (ui::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString folder = dialog.selectedFiles().constFirst();
    if (!QFileInfo(folder).isDir())
        throw Error(ui::Tr("文件夹“%1”不存在。").arg(Native(folder)));

    // Every order is read before any file is written: one that cannot be read stops them all.
    const OrderDocumentOptions options = SavedOrderOptions(*m_session);
    QVector<OrderDocument> docs;
    for (qint64 id : orderIds)
        docs << BuildOrderDocument(m_session, id, options);
    QStringList existing;
    for (const OrderDocument& doc : docs)
        if (QFileInfo::exists(QDir(folder).filePath(doc.FileBaseName() + QStringLiteral(".pdf"))))
            existing << doc.FileBaseName() + QStringLiteral(".pdf");
    bool replace = false;
    if (!existing.isEmpty()) {
        const int answer =
            ui::MsgBox(Lang("文件夹“%1”中已有这些文件：\n%2\n要替换它们吗？选“否”只引出其余的采购订单。")
                           .arg(Native(folder), FileList(existing)),
                       ui::YesNoCancel | ui::Question | ui::DefaultButton2, Info());
        if (answer != ui::Yes && answer != ui::No)
            return;
        replace = answer == ui::Yes;
    }

    QStringList written, kept, failed;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    for (const OrderDocument& doc : docs) {
        const QString name = doc.FileBaseName() + QStringLiteral(".pdf");
        const QString path = QDir(folder).filePath(name);
        QString error;
        if (!replace && existing.contains(name))
            kept << name;
        else if (WriteOrderPdf(doc, path, &error)) {
            written << name;
            LogExport(doc.BillNo, path);
        } else
            failed << GetLangString(QStringLiteral("%1：%2")).arg(name, error);
    }
    QGuiApplication::restoreOverrideCursor();
    QString report = Lang("已将 %1 张采购订单引出到文件夹“%2”。").arg(written.size()).arg(Native(folder));
    if (!kept.isEmpty())
        report += u'\n' + Lang("这些文件已存在，未替换：") + u'\n' + FileList(kept);
    if (!failed.isEmpty())
        report += u'\n' + Lang("这些文件未能写入：") + u'\n' + FileList(failed);
    ui::MsgBox(report, ui::OkOnly | (failed.isEmpty() ? ui::Information : ui::Exclamation), Info());
}

} // namespace zpp::services
