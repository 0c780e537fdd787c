#pragma once

#include "component/grid/PlanGrid.h"

#include <QHash>
#include <QMainWindow>
#include <QVector>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QFrame;
class QLabel;
class QMenu;
class QToolBar;

namespace zpp::controls {
class LedgerGrid;
}

namespace zpp {

class ClsPurchasePlanUI;
class PlanSort;
class clsPurchasePlan;
class ListEditing;
class ListNotices;

// The plan list window: header panel with the filter's dates, menus and tool bar, and the
// plan grid. Routes every command to the list controller or the operations object after
// checking the user's right, and asks to save unsaved edits on closing.
class frmPurchasePlan : public QMainWindow, public PlanGridHost {
    Q_OBJECT
public:
    explicit frmPurchasePlan(QWidget* parent = nullptr);
    ~frmPurchasePlan() override;

    controls::SpreadGrid& vsProc() override;
    ClsPurchasePlanUI* PurchasePlanUI();
    clsPurchasePlan* Operations();
    void SetPurchasePlanBillNo(const QString& billNo) { PurchasePlanBillNo = billNo; }
    const QString& BillNo() const { return PurchasePlanBillNo; }

    // The caption labels of the header panel (0 start date, 1 end date are used).
    QLabel* lblCpt(int index) const { return m_labels.value(index); }
    // The period in the panel, each date in full; a null text leaves its caption as it is.
    void SetDateCaptions(const QString& begin, const QString& end);
    // Runs a tool command by key, as a click on the tool would.
    void ToolClick(const QString& key);
    // The tool of a band ("Band" tool bar, "mnuEdit", "mnuView", "Menu") by key.
    QAction* Tool(const QString& band, const QString& key) const;
    void UpdateToolStates();

    bool DataChanged = false;
    qint32 OldSupplierID = 0;

    // The find bar (Ctrl+F): moves the active cell to the next shown cell holding the text;
    // false, saying so in the bar, when none does.
    void ShowFind();
    bool FindNext(bool forward);
    // What other users changed in the rows shown, as notices arrive.
    ListNotices& Notices();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Load();
    void BuildBar();
    QAction* AddTool(const QString& band, const QString& key, const QString& caption,
                     const QString& tip = {});
    void RunCommand(const QString& key);
    void AfterReload();
    // After a command whose outcome the store could not confirm: the list read anew.
    void ShowWhatTheStoreHolds();
    // The cell the user is in now, with the supplier code its row had on arrival.
    void EnterCell(int col, int row);
    // The leave-cell check: a supplier code changed since the cell was entered is checked,
    // named and priced against the supplier the row had.
    void CheckLeftCell(int col, int row);
    // Before any command: an open editor is committed and the active cell checked as if left.
    void LeaveActiveCell();
    // The status line: how many rows the list shows and how many hold unsaved edits.
    void UpdateStatus();
    void ShowHelp();
    // The page settings and header/footer layout a user saved, into the print ledger.
    void LoadLedgerSettings();
    void BuildFindBar();

    bool m_loaded = false;
    QString PurchasePlanBillNo;
    std::unique_ptr<ClsPurchasePlanUI> m_ui;
    std::unique_ptr<clsPurchasePlan> m_ops;
    std::unique_ptr<ListEditing> m_editing; // undo, redo, copy and paste
    std::unique_ptr<PlanSort> m_sort;
    std::unique_ptr<ListNotices> m_notices; // what other users change meanwhile
    controls::SpreadGrid* m_grid = nullptr;
    controls::LedgerGrid* LdgPreview = nullptr;
    QFrame* PicTop = nullptr;
    QVector<QLabel*> m_labels;
    QToolBar* m_toolBar = nullptr;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QHash<QString, QAction*>> m_bands;
    bool m_reloaded = false;
    QToolBar* m_findBar = nullptr;
    QLineEdit* m_findText = nullptr;
    QCheckBox* m_findCase = nullptr;
    QLabel* m_findResult = nullptr;
    QLabel* m_status = nullptr;
    int m_enteredRow = 0;
    QString m_enteredCode;    // the supplier code of m_enteredRow when its cell was entered
    QString m_enteredPushQty; // and its quantity to push
};

} // namespace zpp
