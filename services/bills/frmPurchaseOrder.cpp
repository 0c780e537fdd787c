#include "frmPurchaseOrder.h"

#include "BillModels.h"
#include "BillUi.h"
#include "OrderDocument.h"
#include "OrderPrintService.h"
#include "component/host/Lang.h"
#include "platform/records/Error.h"
#include "platform/ui/Prompt.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace zpp::services {

namespace {
void Inform(const QString& text) {
    ui::MsgBox(text, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
}
} // namespace

frmPurchaseOrder::frmPurchaseOrder(store::SessionPtr session, qint64 orderId, QWidget* parent)
    : QDialog(parent), m_session(session), m_store(std::move(session)) {
    m_order = m_store.Load(orderId);
    setObjectName(QStringLiteral("frmPurchaseOrder"));
    setSizeGripEnabled(true);

    m_tools = new QToolBar(this);
    m_tools->setObjectName(QStringLiteral("barOrder"));
    m_tools->setAccessibleName(GetLangString(QStringLiteral("工具栏")));
    m_tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const struct {
        const char* key;
        const char* caption;
        QStyle::StandardPixmap icon;
        const char* themed;
    } tools[] = {{"Print", "打印", QStyle::SP_FileIcon, "document-print"},
                 {"PrintView", "预览", QStyle::SP_FileDialogInfoView, "document-print-preview"},
                 {"ExportPdf", "引出PDF", QStyle::SP_ArrowRight, "document-export"},
                 {"Export", "引出Excel", QStyle::SP_ArrowRight, "x-office-spreadsheet"}};
    for (const auto& tool : tools) {
        const QString key = QString::fromLatin1(tool.key);
        QAction* action = m_tools->addAction(
            QIcon::fromTheme(QString::fromLatin1(tool.themed), style()->standardIcon(tool.icon)),
            GetLangString(QString::fromUtf8(tool.caption)));
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, [this, key] { ToolClick(key); });
    }
    // A line's note is written for the buyer's own people; it reaches the supplier only when
    // asked for, and the choice is the user's for every order after.
    m_tools->addSeparator();
    m_printNotes = new QCheckBox(GetLangString(QStringLiteral("打印备注")), m_tools);
    m_printNotes->setObjectName(QStringLiteral("chkPrintNotes"));
    try {
        m_printNotes->setChecked(SavedOrderOptions(*m_session).LineNotes);
    } catch (const std::exception&) {
        // Unread, it stays off: notes are not sent unless chosen.
    }
    m_tools->addWidget(m_printNotes);
    connect(m_printNotes, &QCheckBox::toggled, this, [this](bool on) {
        try {
            OrderDocumentOptions options = SavedOrderOptions(*m_session);
            options.LineNotes = on;
            SaveOrderOptions(*m_session, options);
        } catch (const std::exception& e) {
            const QSignalBlocker quiet(m_printNotes);
            m_printNotes->setChecked(!on);
            Inform(DescribeException(e));
        }
    });

    auto* header = new QGridLayout;
    auto field = [&](const char* caption, const char* name, int row, int column, int span = 1) {
        auto* label = new QLabel(GetLangString(QString::fromUtf8(caption)), this);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        box->setAccessibleName(label->text());
        label->setBuddy(box);
        header->addWidget(label, row, column * 2);
        header->addWidget(box, row, column * 2 + 1, 1, span);
        return box;
    };
    m_billNo = field("单据编号", "txtBillNo", 0, 0);
    m_date = field("日期", "txtDate", 0, 1);
    m_status = field("状态", "txtStatus", 0, 2);
    m_supplier = field("供应商", "txtSupplier", 1, 0, 3);
    m_buyer = field("采购员", "txtBuyer", 1, 2);
    header->setColumnStretch(1, 1);
    header->setColumnStretch(3, 1);
    header->setColumnStretch(5, 1);

    m_model = new OrderLinesModel(this);
    m_view = billui::MakeList(m_model, "grdLines", GetLangString(QStringLiteral("采购订单分录")), this);
    m_view->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_view->setTabKeyNavigation(true);
    m_view->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::DoubleClicked);
    connect(m_model, &OrderLinesModel::EditRefused, this, [](const QString& reason) { Inform(reason); });

    // The totals under the lines, as caption and figure pairs; they follow every edit.
    auto* totals = new QHBoxLayout;
    totals->addStretch(1);
    auto total = [&](const char* caption, const char* name) {
        auto* label = new QLabel(GetLangString(QString::fromUtf8(caption)), this);
        auto* figure = new QLabel(this);
        figure->setObjectName(QString::fromLatin1(name));
        figure->setAccessibleName(label->text());
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        figure->setTextInteractionFlags(Qt::TextSelectableByMouse);
        figure->setProperty("caption", QVariant::fromValue<QWidget*>(label));
        QFont bold = figure->font();
        bold.setBold(true);
        figure->setFont(bold);
        totals->addSpacing(16);
        totals->addWidget(label);
        totals->addWidget(figure);
        return figure;
    };
    m_totalWithTax = total("价税合计", "lblTotalWithTax");
    m_totalWithoutTax = total("不含税金额", "lblTotalWithoutTax");
    m_totalTax = total("税额", "lblTotalTax");
    connect(m_model, &QAbstractItemModel::dataChanged, this, &frmPurchaseOrder::ShowTotals);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmPurchaseOrder::ShowTotals);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblNote"));
    m_save = billui::MakeButton(GetLangString(QStringLiteral("保存(&S)")), "cmdSave", this);
    auto* close = billui::MakeButton(GetLangString(QStringLiteral("关闭(&C)")), "cmdClose", this);
    connect(m_save, &QPushButton::clicked, this, &frmPurchaseOrder::Save);
    connect(close, &QPushButton::clicked, this, &frmPurchaseOrder::reject);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, [this] {
        if (m_save->isEnabled())
            Save();
    });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_note, 1);
    bottom->addWidget(m_save);
    bottom->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_tools);
    outer->addLayout(header);
    outer->addWidget(m_view, 1);
    outer->addLayout(totals);
    outer->addLayout(bottom);
    billui::UseFormFont(this);
    ShowOrder();
    billui::FitToList(this, m_view, 760, 1200, 420);
}

void frmPurchaseOrder::ShowOrder() {
    const QString title = GetLangString(QStringLiteral("采购订单 - %1")).arg(m_order.BillNo);
    setWindowTitle(title);
    setAccessibleName(title);
    m_billNo->setText(m_order.BillNo);
    m_date->setText(values::DisplayDate(m_order.Date));
    m_supplier->setText(m_order.SupplyNumber + QLatin1Char(' ') + m_order.SupplyName);
    m_buyer->setText(m_order.Buyer);
    m_status->setText(GetLangString(m_order.Closed ? QStringLiteral("已关闭") : QStringLiteral("未关闭")));
    const bool readOnly = m_order.Closed || !m_order.MayEdit;
    m_model->SetOrder(m_order, readOnly);
    // No price reached this window for a user without the price right: nothing to show.
    for (int c : {int(OrderLinesModel::Price), int(OrderLinesModel::Amount)})
        m_view->setColumnHidden(c, !m_order.PricesShown);
    for (QLabel* figure : {m_totalWithTax, m_totalWithoutTax, m_totalTax}) {
        figure->setVisible(m_order.PricesShown);
        if (QWidget* caption = figure->property("caption").value<QWidget*>())
            caption->setVisible(m_order.PricesShown);
    }
    m_save->setEnabled(!readOnly);
    m_note->setText(m_order.Closed ? GetLangString(QStringLiteral("该采购订单已关闭，只能查看"))
                    : !m_order.MayEdit ? GetLangString(QStringLiteral("你没有修改该采购订单的权限，只能查看"))
                    : m_order.PricesShown ? GetLangString(QStringLiteral("可修改数量、单价和交货日期"))
                                          : GetLangString(QStringLiteral("可修改数量和交货日期")));
    m_view->setCurrentIndex(m_model->index(0, OrderLinesModel::Qty));
}

void frmPurchaseOrder::ShowTotals() {
    // The lines' amounts as shown, summed: the totals a supplier can add up from the lines.
    const OrderAmounts t = OrderTotals(m_model->Lines());
    m_totalWithTax->setText(values::FormatNumber(t.WithTax, 2));
    m_totalWithoutTax->setText(values::FormatNumber(t.WithoutTax, 2));
    m_totalTax->setText(values::FormatNumber(t.Tax, 2));
}

bool frmPurchaseOrder::Save() {
    if (m_order.Closed)
        return false;
    // An editor still open holds the last value typed.
    QWidget* editor = QApplication::focusWidget();
    if (editor && m_view->viewport()->isAncestorOf(editor)) {
        QMetaObject::invokeMethod(m_view, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(m_view, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
    if (!m_model->IsDirty())
        return true;
    try {
        const QVector<int> above = m_store.HighPricedLines(m_order, m_model->Lines());
        if (!above.isEmpty()) {
            QStringList lineNos;
            for (int n : above)
                lineNos << QString::number(n);
            if (ui::MsgBox(GetLangString(QStringLiteral("第 %1 行单价高于供应商价格表的限价，是否保存？"))
                               .arg(lineNos.join(QStringLiteral("、"))),
                           ui::YesNo | ui::Question, GetLangString(QStringLiteral("信息提示"))) != ui::Yes)
                return false;
        }
        m_store.Save(m_order, m_model->Lines(), above);
        m_order = m_store.Load(m_order.Id);
    } catch (const std::exception& e) {
        Inform(GetLangString(QStringLiteral("保存失败！")) + QStringLiteral("\n") + DescribeException(e));
        return false;
    }
    m_saved = true;
    const QModelIndex at = m_view->currentIndex();
    ShowOrder();
    if (at.isValid())
        m_view->setCurrentIndex(at);
    Inform(GetLangString(QStringLiteral("保存成功！")));
    return true;
}

void frmPurchaseOrder::ToolClick(const QString& key) {
    try {
        OrderPrintService output(m_session);
        // The document is read from the store: edits still on screen would not be in it.
        if (m_model->IsDirty() &&
            (ui::MsgBox(GetLangString(QStringLiteral("采购订单已修改，打印或引出前要先保存。是否保存？")),
                        ui::YesNo | ui::Question, GetLangString(QStringLiteral("信息提示"))) != ui::Yes ||
             !Save()))
            return;
        if (key == u"Print")
            output.PrintOrder(m_order.Id);
        else if (key == u"PrintView")
            output.PreviewOrder(m_order.Id);
        else if (key == u"ExportPdf")
            output.ExportOrder(m_order.Id, OrderPrint::FileKind::Pdf);
        else if (key == u"Export")
            output.ExportOrder(m_order.Id, OrderPrint::FileKind::Workbook);
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
    }
}

void frmPurchaseOrder::reject() {
    if (m_model->IsDirty()) {
        const int answer =
            ui::MsgBox(GetLangString(QStringLiteral("采购订单已修改，是否保存？")),
                       ui::YesNoCancel | ui::Question, GetLangString(QStringLiteral("信息提示")));
        if (answer == ui::Cancel || (answer == ui::Yes && !Save()))
            return;
    }
    QDialog::reject();
}

bool ShowPurchaseOrder(const store::SessionPtr& session, qint64 orderId, QWidget* parent) {
    frmPurchaseOrder window(session, orderId, parent);
    ui::ExecModal(window);
    return window.Saved();
}

} // namespace zpp::services
