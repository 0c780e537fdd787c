#pragma once

#include "LedgerPrint.h"

#include <QDialog>
#include <map>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class QTableWidget;

namespace zpp::controls {

// Page size, orientation, margins, page mode, options and the header and footer texts of
// the ledger's print. Works on a copy; the caller takes Result() when it is accepted.
class LedgerSetupDialog : public QDialog {
public:
    explicit LedgerSetupDialog(const LedgerPageSetup& setup, QWidget* parent = nullptr);

    LedgerPageSetup Result() const;

private:
    LedgerPageSetup m_setup;
    QComboBox* m_paper = nullptr;
    QRadioButton* m_portrait = nullptr;
    QRadioButton* m_landscape = nullptr;
    std::array<QDoubleSpinBox*, 4> m_margins{}; // as LedgerPageSetup::margins
    QComboBox* m_pageMode = nullptr;
    std::map<int, QCheckBox*> m_options;
    QTableWidget* m_cells = nullptr; // header cells 0-9, then footer cells 0-9
};

} // namespace zpp::controls
