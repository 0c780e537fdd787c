#pragma once

#include "component/host/contracts/GLView.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace zpp::services {

class BaseDataModel;

// The lookup window of items or suppliers. Keyboard first: the search box keeps the focus,
// Up/Down/PageUp/PageDown move the current row while typing, Enter chooses it, Esc cancels.
// The list follows the search text after a short pause in typing.
class frmBaseDataLookup : public QDialog {
    Q_OBJECT
public:
    // Takes the model (of items or suppliers); lists the matches of search at once. Failures of
    // that first search propagate.
    frmBaseDataLookup(BaseDataModel* model, const QString& search, QWidget* parent = nullptr);

    // The record chosen; empty unless the window closed with a choice.
    const std::optional<LookupRecord>& Chosen() const { return m_chosen; }
    // Runs a search the pause in typing has not started yet; nothing when none is waiting.
    void ApplyPendingSearch();
    // Chooses the current row and closes the window; nothing when the list is empty.
    void Choose();
    // Makes the record of a code the current row, reading pages up to it; the first row stays
    // current when the code is not listed.
    void Select(const QString& code);

    // Pause after the last keystroke before the list follows the search text.
    static constexpr int kTypingPauseMs = 150;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplySearch();
    void ShowCurrent(int row);
    void UpdateStatus();

    BaseDataModel* m_model;
    QLineEdit* m_search;
    QTableView* m_view;
    QLabel* m_status;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QTimer* m_typing;
    std::optional<LookupRecord> m_chosen;
};

} // namespace zpp::services
