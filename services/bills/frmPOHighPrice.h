#pragma once

#include "services/planning/HighPrice.h"

#include <QDialog>

class QTableView;

namespace zpp::services {

class BillRowsModel;

// Lists the push lines priced above the allowed price. "继续下推" accepts, "取消下推", Esc
// and closing reject; Enter stops too, so a hurried key press never pushes a high price.
class frmPOHighPrice : public QDialog {
    Q_OBJECT
public:
    // showPrices false (a user without the price right): the lines are listed without their prices.
    frmPOHighPrice(QVector<HighPriceLine> lines, double tolerance, bool showPrices = true,
                   QWidget* parent = nullptr);

    // The line the user has selected, else the first one.
    const HighPriceLine& SelectedLine() const;

private:
    QVector<HighPriceLine> m_lines;
    BillRowsModel* m_model;
    QTableView* m_view;
};

} // namespace zpp::services
