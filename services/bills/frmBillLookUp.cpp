#include "frmBillLookUp.h"

#include "component/host/Access.h"
#include "services/access/Rights.h"

#include "BillModels.h"
#include "BillUi.h"
#include "LinkedBills.h"
#include "component/host/Lang.h"
#include "frmPurchaseOrder.h"
#include "platform/ui/Prompt.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace zpp::services {

namespace {
QVector<BillRowsModel::Column> ColumnsOf(int direction) {
    auto c = [](const char* text, bool numeric = false) {
        return BillRowsModel::Column{GetLangString(QString::fromUtf8(text)), numeric};
    };
    if (direction == 0)
        return {c("单据类型"), c("单据编号"), c("日期"), c("数量", true)};
    return {c("订单编号"), c("日期"),     c("供应商"),           c("行号", true),
            c("物料代码"), c("物料名称"), c("本分录数量", true), c("订单行数量", true),
            c("状态")};
}
} // namespace

frmBillLookUp::frmBillLookUp(store::SessionPtr session, int direction, qint32 planId, qint32 entryId,
                             QWidget* parent, qint32 gridRow)
    : QDialog(parent), m_session(session), m_db(session->Db), m_direction(direction), m_planId(planId),
      m_entryId(entryId) {
    // The linked bills are the plan's own data: whoever may not open the list may not read them.
    Require(*m_session, rights::Query);
    const QString billNo = PlanBillNo(*m_db, planId, entryId);
    setObjectName(QStringLiteral("frmBillLookUp"));
    const QString title =
        GetLangString(direction == 0 ? QStringLiteral("上查") : QStringLiteral("下查")) +
        QStringLiteral(" - ") +
        (gridRow > 0 ? GetLangString(QStringLiteral("第%1行（计划单 %2 分录 %3）"))
                           .arg(gridRow)
                           .arg(billNo)
                           .arg(entryId)
                     : GetLangString(QStringLiteral("计划单 %1 分录 %2")).arg(billNo).arg(entryId));
    setWindowTitle(title);
    setAccessibleName(title);
    setSizeGripEnabled(true);

    m_model = new BillRowsModel(ColumnsOf(direction), this);
    m_view = billui::MakeList(
        m_model, "grdBills",
        GetLangString(direction == 0 ? QStringLiteral("上游单据") : QStringLiteral("下游单据")), this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    if (direction != 0) {
        m_open = billui::MakeButton(GetLangString(QStringLiteral("打开订单(&O)")), "cmdOpen", this);
        connect(m_open, &QPushButton::clicked, this, &frmBillLookUp::OpenCurrent);
        connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                OpenCurrent();
        });
        bottom->addWidget(m_open);
    }
    auto* close = billui::MakeButton(GetLangString(QStringLiteral("关闭(&C)")), "cmdClose", this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_view, 1);
    outer->addLayout(bottom);
    m_view->installEventFilter(this);
    billui::UseFormFont(this);
    Reload();
    billui::FitToList(this, m_view, 560, 1100, 320);
}

void frmBillLookUp::Reload() {
    QVector<QStringList> rows;
    QVector<QVariant> keys;
    if (m_direction == 0) {
        for (const UpstreamBill& b : UpstreamBills(*m_db, m_planId, m_entryId))
            rows << QStringList{SourceTypeCaption(b.Type), b.BillNo, values::DisplayDate(b.Date),
                                billui::Number(b.Qty, 4, 0)};
    } else {
        for (const DownstreamBill& b : DownstreamBills(*m_db, m_planId, m_entryId)) {
            rows << QStringList{
                b.BillNo,
                values::DisplayDate(b.Date),
                b.SupplyNumber + QLatin1Char(' ') + b.SupplyName,
                QString::number(b.LineNo),
                b.ItemNumber,
                b.ItemName,
                values::FormatNumber(b.TakenQty, b.QtyDecimals),
                values::FormatNumber(b.LineQty, b.QtyDecimals),
                GetLangString(b.Closed ? QStringLiteral("已关闭") : QStringLiteral("未关闭"))};
            keys << b.OrderId;
        }
    }
    const int current = std::max(0, m_view->currentIndex().row());
    m_model->SetRows(rows, keys);
    if (rows.isEmpty())
        m_status->setText(GetLangString(m_direction == 0 ? QStringLiteral("该分录没有上游单据")
                                                         : QStringLiteral("该分录还没有下推的采购订单")));
    else
        m_status->setText(GetLangString(QStringLiteral("共 %1 条")).arg(rows.size()));
    m_view->setCurrentIndex(m_model->index(std::min(current, int(rows.size()) - 1), 0));
    if (m_open)
        m_open->setEnabled(!rows.isEmpty());
}

void frmBillLookUp::OpenCurrent() {
    if (m_direction == 0)
        return;
    const qint64 orderId = m_model->Key(m_view->currentIndex().row()).toLongLong();
    if (orderId <= 0)
        return;
    try {
        if (ShowPurchaseOrder(m_session, orderId, this))
            Reload();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

bool frmBillLookUp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zpp::services
