#include "frmMrpResult.h"

#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Bills.h"
#include "component/host/contracts/MrpDataServer.h"
#include "component/host/contracts/OrderPrint.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/records/Error.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QAction>
#include <QLabel>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace zpp {

namespace {

constexpr int kIdCol = 4; // the hidden column of the order's interior ID

RecordPtr Column(int col, const QString& text, const QString& field, double width, bool hidden = false) {
    RecordPtr c = KeyedRecord::Create();
    c->Set(QStringLiteral("Col"), col);
    c->Set(QStringLiteral("Text"), text);
    c->Set(QStringLiteral("FieldName"), field);
    c->Set(QStringLiteral("ColWidth"), width);
    if (hidden)
        c->Set(QStringLiteral("ColHidden"), true);
    return c;
}

RecordPtr FieldVect(qint16 primary, const QString& column) {
    RecordPtr r = KeyedRecord::Create();
    r->Set(QStringLiteral("FISPrimary"), QVariant::fromValue(primary));
    r->Set(QStringLiteral("FColName"), column);
    return r;
}

} // namespace

frmMrpResult::frmMrpResult(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMrpResult"));
    const QString title = GetLangString(QStringLiteral("下推生成的采购订单"));
    setWindowTitle(title);
    setAccessibleName(title);
    setModal(true);
    resize(720, 360);

    barProc1 = new QToolBar(this);
    barProc1->setObjectName(QStringLiteral("barProc1"));
    barProc1->setAccessibleName(GetLangString(QStringLiteral("工具栏")));
    barProc1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const struct {
        const char* key;
        const char* caption;
        QStyle::StandardPixmap icon;
        const char* themed; // the desktop's icon for the command, where it has one
    } tools[] = {{"Modify", "查看订单", QStyle::SP_FileDialogDetailedView, nullptr},
                 {"Print", "打印", QStyle::SP_FileIcon, "document-print"},
                 {"PrintView", "预览", QStyle::SP_FileDialogInfoView, "document-print-preview"},
                 {"ExportPdf", "引出PDF", QStyle::SP_ArrowRight, "document-export"},
                 {"Export", "引出Excel", QStyle::SP_ArrowRight, "x-office-spreadsheet"},
                 {"ExportAllPdf", "全部引出PDF", QStyle::SP_DirIcon, "folder-documents"},
                 {"Exit", "退出", QStyle::SP_DialogCloseButton, nullptr}};
    for (const auto& tool : tools) {
        const QString key = QString::fromLatin1(tool.key);
        const QIcon fallback = style()->standardIcon(tool.icon);
        QAction* action = barProc1->addAction(
            tool.themed ? QIcon::fromTheme(QString::fromLatin1(tool.themed), fallback) : fallback,
            GetLangString(QString::fromUtf8(tool.caption)));
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, [this, key] { ToolClick(key); });
    }

    grdLedger = new controls::LedgerGrid(this);
    grdLedger->setObjectName(QStringLiteral("grdLedger"));
    grdLedger->setAccessibleName(title);
    connect(grdLedger, &controls::LedgerGrid::RowActivated, this, [this](int row) {
        if (row != 0)
            ToolClick(QStringLiteral("Modify"));
    });
    connect(grdLedger, &controls::LedgerGrid::RowTextRequested, this, [this](int row, QString* text) {
        if (!text)
            return;
        if (row == 1)
            m_preview.TRowData(1, *text);
        else
            m_preview.DRowData(row, 0, *text);
    });

    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(barProc1);
    layout->addWidget(lblNote);
    layout->addWidget(grdLedger);
}

void frmMrpResult::SetNote(const QString& note) {
    lblNote->setText(note);
    lblNote->setAccessibleName(note);
    lblNote->setVisible(!note.isEmpty());
}

RecordListPtr frmMrpResult::ResultColumns() {
    auto columns = RecordList::Create();
    // Captions are built-in texts; the preview provider shows them in the log-in language.
    columns->Add(Column(1, QStringLiteral("供应商"), QStringLiteral("FSupplyName"), 0.45));
    columns->Add(Column(2, QStringLiteral("单据编号"), QStringLiteral("FBillNO"), 0.3));
    columns->Add(Column(3, QStringLiteral("日期"), QStringLiteral("FDate"), 0.2));
    columns->Add(Column(kIdCol, QString(), QStringLiteral("FInterID"), 0, true));
    return columns;
}

void frmMrpResult::Load() {
    m_loaded = true;
    m_preview.FieldInfoVct = ResultColumns();
    m_preview.LDG = grdLedger;
    m_preview.GetTitleInfo();
    ShowRows(1);
}

void frmMrpResult::ShowRows(int currentRow) {
    m_preview.FieldDataVct = FieldDataVct;
    grdLedger->ClearTexts();
    QVariant unused;
    m_preview.TakeJournalData(unused);
    if (grdLedger->MaxRows() > 1)
        grdLedger->SetCurrentRow(std::clamp(currentRow, 1, grdLedger->MaxRows() - 1));
}

void frmMrpResult::showEvent(QShowEvent* event) {
    if (!m_loaded)
        Load();
    QDialog::showEvent(event);
}

void frmMrpResult::ToolClick(const QString& key) {
    try {
        if (key == u"Modify") {
            OpenSelectedOrder();
        } else if (key == u"Print" || key == u"PrintView") {
            // The list's rights: the service asks again before it reads the order.
            const qint64 id = SelectedOrderId();
            if (id <= 0 || !CheckRight(rights::Print))
                return;
            auto print = CreateObject<OrderPrint>(QString::fromLatin1(progid::OrderPrint));
            key == u"Print" ? print->PrintOrder(id) : print->PreviewOrder(id);
        } else if (key == u"ExportPdf" || key == u"Export") {
            const qint64 id = SelectedOrderId();
            if (id <= 0 || !CheckRight(rights::Export))
                return;
            CreateObject<OrderPrint>(QString::fromLatin1(progid::OrderPrint))
                ->ExportOrder(id,
                              key == u"Export" ? OrderPrint::FileKind::Workbook : OrderPrint::FileKind::Pdf);
        } else if (key == u"ExportAllPdf") {
            QVector<qint64> ids;
            for (int i = 1; FieldDataVct && i <= FieldDataVct->Count(); ++i)
                if (const qint64 id =
                        qint64(values::Val(FieldDataVct->Item(i)->Get(QStringLiteral("FInterID"))));
                    id > 0)
                    ids << id;
            if (ids.isEmpty()) {
                ShowRefusal(QStringLiteral("没有要引出的采购订单"));
                return;
            }
            if (!CheckRight(rights::Export))
                return;
            CreateObject<OrderPrint>(QString::fromLatin1(progid::OrderPrint))->ExportOrdersPdf(ids);
        } else if (key == u"Exit") {
            close();
        }
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

qint64 frmMrpResult::SelectedOrderId() const {
    const qint64 id = qint64(values::Val(grdLedger->Text(grdLedger->CurrentRow() + 1, kIdCol)));
    if (id <= 0)
        ShowRefusal(QStringLiteral("请先选择一张采购订单"));
    return id;
}

void frmMrpResult::OpenSelectedOrder() {
    const qint32 id = values::ToInt32(values::Val(grdLedger->Text(grdLedger->CurrentRow() + 1, kIdCol)));
    if (id <= 0)
        return;
    const QString props = GetPropsString();
    ParsePropsString(props);
    const qint32 userId = GetUserID();
    QString userName = GetPropItem(QStringLiteral("UserName"));

    auto server = CreateObject<MrpDataServer>(QString::fromLatin1(progid::MrpDataServer));
    m_orders = server->getPOOrderBills(props);
    if (!m_orders)
        throw Error(QStringLiteral("没有取到采购订单"));
    m_orders->Find(QStringLiteral("FInterID = ") + QString::number(id));

    auto bill = CreateObject<Bills>(QString::fromLatin1(progid::Bills));
    bill->ListRecordset = m_orders;
    bill->NewBillTransType = 0;
    bill->SystemName = QString();
    auto fields = RecordList::Create();
    fields->Add(FieldVect(1, QStringLiteral("FInterID")));
    fields->Add(FieldVect(3, QStringLiteral("FTranType")));
    fields->Add(FieldVect(5, QStringLiteral("FStatus")));
    bill->ListRSFieldVect = fields;
    bill->ShowForModeExt = 0;
    bill->TheSaleMode = 0;
    bill->CallerListID = 0;
    bill->ShowMode = 1;
    bill->SetOpt(userId, userName);
    bill->Show(208, 1);
    if (!bill->billValueChanged())
        return;
    const int row = grdLedger->CurrentRow();
    RecordListPtr refreshed = server->RefreshPOOrderBill(props, OrderInterID);
    if (refreshed) {
        FieldDataVct = refreshed;
        ShowRows(row);
    }
}

void ShowPushResult(const QString& orderIds, const RecordListPtr& orders, const QString& note) {
    frmMrpResult window;
    window.SetNote(note);
    window.OrderInterID = orderIds;
    window.FieldDataVct = orders;
    window.Load();
    ui::ExecModal(window);
}

} // namespace zpp
