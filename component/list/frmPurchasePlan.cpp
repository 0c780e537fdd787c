// The list window: its layout and the period panel, what it wires up on first use, the checks of
// a cell as it is left, and closing. Its bars are in ListBars.cpp, its commands in ListCommands.cpp.
#include "frmPurchasePlan.h"

#include "component/grid/AmountColumns.h"
#include "component/host/Access.h"
#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/ProfileRead.h"
#include "component/host/contracts/PurchasePlanInfo.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "component/list/ListEditing.h"
#include "component/list/ListLayout.h"
#include "component/list/ListNotices.h"
#include "component/list/ListPrompts.h"
#include "component/list/ListStatus.h"
#include "component/list/MergedAmounts.h"
#include "component/list/PlanSort.h"
#include "component/operations/clsPurchasePlan.h"
#include "platform/controls/LedgerGrid.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace zpp {

namespace {
using listprompts::Inform;
using listprompts::Lang;
} // namespace

frmPurchasePlan::frmPurchasePlan(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmPurchasePlan"));
    setWindowTitle(Lang("采购计划表"));
    setAccessibleName(windowTitle());
    resize(1280, 760);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PicTop = new QFrame(central);
    PicTop->setObjectName(QStringLiteral("PicTop"));
    PicTop->setAutoFillBackground(true);
    QPalette pal = PicTop->palette();
    pal.setColor(QPalette::Window, QColor(238, 243, 249));
    PicTop->setPalette(pal);
    auto* header = new QHBoxLayout(PicTop);
    header->setContentsMargins(16, 8, 16, 8);
    header->setSpacing(32);
    for (int i = 0; i <= 10; ++i) {
        auto* label = new QLabel(PicTop);
        label->setObjectName(QStringLiteral("lblCpt%1").arg(i));
        header->addWidget(label);
        m_labels << label;
    }
    header->addStretch(1);
    layout->addWidget(PicTop);
    m_grid = new controls::SpreadGrid(central);
    m_grid->setObjectName(QStringLiteral("vsProc"));
    m_grid->setAccessibleName(Lang("采购计划表"));
    layout->addWidget(m_grid, 1);
    // Prints, previews and exports the list; hidden outside a print.
    LdgPreview = new controls::LedgerGrid(central);
    LdgPreview->setObjectName(QStringLiteral("LdgPreview"));
    LdgPreview->setAccessibleName(Lang("采购计划表"));
    LdgPreview->hide();
    setCentralWidget(central);
    BuildBar();
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setAccessibleName(Lang("状态"));
    statusBar()->addWidget(m_status, 1);
}

frmPurchasePlan::~frmPurchasePlan() = default;

controls::SpreadGrid& frmPurchasePlan::vsProc() {
    Load();
    return *m_grid;
}

ListNotices& frmPurchasePlan::Notices() {
    Load();
    return *m_notices;
}

ClsPurchasePlanUI* frmPurchasePlan::PurchasePlanUI() {
    Load();
    return m_ui.get();
}

clsPurchasePlan* frmPurchasePlan::Operations() {
    Load();
    return m_ops.get();
}

void frmPurchasePlan::Load() {
    if (m_loaded)
        return;
    m_loaded = true;
    for (QLabel* label : m_labels) {
        label->hide();
        label->clear();
    }
    m_labels[0]->setText(Lang("起始日期:"));
    m_labels[1]->setText(Lang("截止日期:"));
    m_labels[0]->show();
    m_labels[1]->show();
    // 945 twips at the usual 15 twips a pixel.
    PicTop->setFixedHeight(63);
    State().IsMergedView = false;
    DataChanged = false;
    m_ui = std::make_unique<ClsPurchasePlanUI>();
    m_ops = std::make_unique<clsPurchasePlan>();
    m_ui->SetSpread(m_grid);
    m_ui->SetLedger(LdgPreview);
    m_ops->SetSpread(m_grid);
    LoadLedgerSettings();
    connect(LdgPreview, &controls::LedgerGrid::SettingsChanged, this, [this] { m_ui->SaveLdgSetting(); });
    // A PDF saved from the preview is an export of the list: the same right and the same log record.
    // The preview's action runs from its own event loop, so nothing may escape from here.
    LdgPreview->SetPdfExport(
        [] {
            try {
                return CheckRight(rights::Export);
            } catch (const std::exception& e) {
                ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                           GetLangString(QStringLiteral("信息提示")));
                return false;
            }
        },
        [](const QString& file) {
            WriteOperationLog(QString::fromUtf8(logs::Export.Code), logs::Export.Type,
                              logs::ExportedPdfName(file));
        });
    connect(LdgPreview, &controls::LedgerGrid::RowTextRequested, this, [this](int row, QString* text) {
        const auto& preview = m_ui->PreviewDetail();
        if (!preview || !text)
            return;
        if (row == 1)
            preview->TRowData(1, *text);
        else
            preview->DRowData(row, 0, *text);
    });
    m_ops->SetLoadedRows([this] { return m_ui->Loaded(); });
    m_sort = std::make_unique<PlanSort>(*m_grid, *m_ui);
    connect(m_grid, &controls::SpreadGrid::HeaderMenuRequested, this, [this](int c, const QPoint& at) {
        m_sort->ShowHeaderMenu(c, at, [this](const QString& key) { ToolClick(key); });
    });
    new ListStatus(*m_grid, *statusBar()); // the bar owns it
    SetMergedRowCounter(MergedRowAmount);

    connect(m_grid, &controls::SpreadGrid::Changed, this, [this](int, int) {
        DataChanged = true;
        UpdateStatus();
    });
    // The status line follows every load and every row that gains or loses its mark.
    connect(m_grid->View()->model(), &QAbstractItemModel::modelReset, this, &frmPurchasePlan::UpdateStatus);
    connect(m_grid->View()->model(), &QAbstractItemModel::headerDataChanged, this,
            &frmPurchasePlan::UpdateStatus);
    connect(m_grid, &controls::SpreadGrid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers, bool* handled) {
                if (key != Qt::Key_F6 && key != Qt::Key_F7)
                    return;
                *handled = true;
                DataChanged = true;
                try {
                    if (key == Qt::Key_F7) {
                        m_ui->GetSupply();
                        CheckLeftCell(m_grid->ActiveCol(), m_grid->ActiveRow()); // named and priced at once
                    } else
                        m_editing->AsOneStep([this] { m_ui->FillCol(); });
                } catch (const std::exception& e) {
                    ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                               GetLangString(QStringLiteral("信息提示")));
                }
            });
    connect(m_grid, &controls::SpreadGrid::Clicked, this, [this](int c, int) {
        if (c != col::SupplyNumber)
            return;
        DataChanged = true;
        try {
            m_ui->GetSupply();
            CheckLeftCell(c, m_grid->ActiveRow());
        } catch (const std::exception& e) {
            ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                       GetLangString(QStringLiteral("信息提示")));
        }
    });
    // A supplier code ended with Enter is checked, named and priced at once, not when the cell is left.
    connect(m_grid, &controls::SpreadGrid::Changed, this, [this](int c, int r) {
        if (c == col::SupplyNumber)
            QMetaObject::invokeMethod(
                this, [this, c, r] { CheckLeftCell(c, r); }, Qt::QueuedConnection);
    });
    connect(m_grid, &controls::SpreadGrid::LeaveCell, this,
            [this](int c, int r, int, int, bool*) { CheckLeftCell(c, r); });
    connect(m_grid, &controls::SpreadGrid::CellEntered, this, [this](int c, int r) { EnterCell(c, r); });
    connect(m_grid, &controls::SpreadGrid::DateRefused, this, [this](int c, int, const QString& text) {
        // Shown once the key or click that left the editor is done with.
        QMetaObject::invokeMethod(
            this,
            [this, c, text] {
                ui::MsgBox(
                    GetLangString(QStringLiteral("%1“%2”不是有效的日期")).arg(m_grid->HeaderText(c), text),
                    ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
            },
            Qt::QueuedConnection);
    });
    m_editing = std::make_unique<ListEditing>(*this); // after the leave-cell check, which its steps take in
    m_notices = std::make_unique<ListNotices>(
        *m_grid, *m_ui, [this] { ToolClick(QStringLiteral("iRefresh")); }, centralWidget());
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(1, m_notices->Bar());
    m_notices->Start();
    EnterCell(m_grid->ActiveCol(), m_grid->ActiveRow());
    UpdateToolStates();
}

void frmPurchasePlan::SetDateCaptions(const QString& begin, const QString& end) {
    auto caption = [](const QString& prefix, const QString& date) -> QString {
        const auto d = values::ParseDate(date);
        return GetLangString(prefix) + (d ? values::FormatDate(*d, QStringLiteral("yyyy/mm/dd")) : QString());
    };
    if (!begin.isNull())
        m_labels[0]->setText(caption(QStringLiteral("起始日期:"), begin));
    if (!end.isNull())
        m_labels[1]->setText(caption(QStringLiteral("截止日期:"), end));
}

void frmPurchasePlan::LoadLedgerSettings() {
    QString record;
    try {
        auto reader = CreateObject<ProfileRead>(QString::fromLatin1(progid::ProfileRead));
        record = reader->LoadRptFormat(GetPropsString(), m_ui->FormatOwner, m_ui->HeadFootKey());
    } catch (const std::exception&) {
        // Without the saved layout the ledger prints with its defaults.
    }
    LdgPreview->LoadSettings(m_ui->IniFile, record);
}

void frmPurchasePlan::UpdateStatus() {
    if (!m_status)
        return;
    const int edited = DataChanged ? m_grid->ChangedRowCount() : 0;
    QString text = GetLangString(QStringLiteral("共 %1 行")).arg(m_grid->MaxRows());
    if (edited > 0)
        text += GetLangString(QStringLiteral("，%1 行有未保存的修改")).arg(edited);
    m_status->setText(text);
}

void frmPurchasePlan::EnterCell(int, int row) {
    m_enteredRow = row;
    const bool has = row >= 1 && row <= m_grid->MaxRows();
    m_enteredCode = has ? m_grid->Text(col::SupplyNumber, row) : QString();
    m_enteredPushQty = has ? m_grid->Text(col::PushQty, row) : QString();
}

void frmPurchasePlan::CheckLeftCell(int c, int r) {
    if (c == col::PushQty && r == m_enteredRow && r >= 1 && r <= m_grid->MaxRows() &&
        m_grid->Text(col::PushQty, r) != m_enteredPushQty) {
        // More than is left to order cannot be pushed: refused where it is typed, naming the row.
        if (const QString why = clsPurchasePlan::PushQtyRefusal(*m_grid, r); !why.isEmpty()) {
            m_grid->SetText(col::PushQty, r, m_enteredPushQty);
            Inform(why);
        }
        m_enteredPushQty = m_grid->Text(col::PushQty, r);
        return;
    }
    // A supplier cell left as it was entered keeps its price and tax rate, however it was left.
    if (c != col::SupplyNumber || r != m_enteredRow || r < 1 || r > m_grid->MaxRows() ||
        m_grid->Text(col::SupplyNumber, r) == m_enteredCode)
        return;
    try {
        auto info = CreateObject<PurchasePlanInfo>(QString::fromLatin1(progid::PurchasePlanInfo));
        double taxRate = 0;
        OldSupplierID =
            m_enteredCode.isEmpty() ? 0 : info->GetSupplierID(GetPropsString(), m_enteredCode, taxRate);
    } catch (...) {
        // Unknown to the service: the check prices any valid new supplier.
        OldSupplierID = 0;
    }
    m_ui->GetRightSupply(c, r, OldSupplierID, m_enteredCode);
    if (m_grid->ChangedRowCount() == 0)
        DataChanged = false; // a refused code left nothing to save
    // Checked once: leaving the cell again after a command does not check it twice.
    m_enteredCode = m_grid->Text(col::SupplyNumber, r);
}

void frmPurchasePlan::LeaveActiveCell() {
    if (!m_loaded)
        return;
    m_grid->CommitEdit();
    CheckLeftCell(m_grid->ActiveCol(), m_grid->ActiveRow());
}

void frmPurchasePlan::closeEvent(QCloseEvent* event) {
    try {
        LeaveActiveCell();
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    if (DataChanged) {
        // In the log-in language like every other text, this question included.
        const int answer =
            ui::MsgBox(GetLangString(QStringLiteral("当前记录信息已经改变，是否需要保存？")),
                       ui::YesNoCancel | ui::Question, GetLangString(QStringLiteral("Marvane提示")));
        if (answer == ui::Cancel) {
            event->ignore();
            return;
        }
        if (answer == ui::Yes) {
            try {
                if (CheckRight(rights::Save)) {
                    if (m_ops->Save()) {
                        m_grid->MarkRowsUnchanged();
                        Inform(QStringLiteral("保存成功！"));
                    } else {
                        Inform(QStringLiteral("保存失败！"), m_ops->SaveError());
                    }
                }
            } catch (const std::exception& e) {
                ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                           GetLangString(QStringLiteral("信息提示")));
            }
        }
    }
    if (m_ui)
        m_ui->SetFieldDataVct(nullptr);
    if (m_loaded)
        SaveListLayout(*this, *m_grid);
    event->accept();
}

} // namespace zpp
