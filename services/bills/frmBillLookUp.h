#pragma once

#include "services/store/Session.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace zpp::services {

class BillRowsModel;

// The bills linked to one plan entry: upstream (0) its sources, downstream (1) the purchase
// order lines made from it. Downstream, Enter or a double-click opens the order. An entry
// without links shows an empty list and says so in the status line.
class frmBillLookUp : public QDialog {
    Q_OBJECT
public:
    // Fails with an Error for an unknown plan entry, before a window shows.
    // gridRow: the list's row of the entry, named first in the title when known.
    frmBillLookUp(store::SessionPtr session, int direction, qint32 planId, qint32 entryId,
                  QWidget* parent = nullptr, qint32 gridRow = 0);

    // Opens the order of the current row (downstream only); reloads the list when it was saved.
    void OpenCurrent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Reload();

    store::SessionPtr m_session;
    store::StorePtr m_db;
    int m_direction;
    qint32 m_planId, m_entryId;
    BillRowsModel* m_model;
    QTableView* m_view;
    QLabel* m_status;
    QPushButton* m_open = nullptr;
};

} // namespace zpp::services
