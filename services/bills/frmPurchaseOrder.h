#pragma once

#include "PurchaseOrderStore.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QToolBar;
class QLineEdit;
class QPushButton;
class QTableView;

namespace zpp::services {

class OrderLinesModel;

// The purchase order window: header, lines with the plan entries each came from, and the
// order's totals under them; quantity, price and delivery date are edited in the list (type,
// F2 or double-click) and written by Save (Ctrl+S). A closed order opens read-only. Esc or
// closing with unsaved edits asks first. The tool bar ("barOrder") prints, previews and exports
// the order as a document for its supplier: "Print", "PrintView", "ExportPdf", "Export" (Excel);
// its check box "chkPrintNotes" (打印备注, off until the user turns it on, kept per user) puts
// the lines' notes on those documents.
class frmPurchaseOrder : public QDialog {
    Q_OBJECT
public:
    // Loads the order; failures propagate before the window shows.
    frmPurchaseOrder(store::SessionPtr session, qint64 orderId, QWidget* parent = nullptr);

    // True once a save went through.
    bool Saved() const { return m_saved; }
    bool IsReadOnly() const { return m_order.Closed; }
    // Writes the edits; false (with the reason shown) when the store refused them.
    bool Save();
    // Runs a tool-bar command; errors are shown, never passed on.
    void ToolClick(const QString& key);

public Q_SLOTS:
    void reject() override;

private:
    void ShowOrder();
    void ShowTotals();

    store::SessionPtr m_session;
    PurchaseOrderStore m_store;
    PurchaseOrder m_order;
    OrderLinesModel* m_model;
    QTableView* m_view;
    QLineEdit *m_billNo, *m_date, *m_supplier, *m_buyer, *m_status;
    QLabel *m_note, *m_totalWithTax, *m_totalWithoutTax, *m_totalTax;
    QPushButton* m_save;
    QCheckBox* m_printNotes;
    QToolBar* m_tools;
    bool m_saved = false;
};

// Shows an order modally; true when the user saved a change.
bool ShowPurchaseOrder(const store::SessionPtr& session, qint64 orderId, QWidget* parent);

} // namespace zpp::services
