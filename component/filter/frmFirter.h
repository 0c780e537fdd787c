#pragma once

#include "platform/records/KeyedRecord.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace zpp {

class SchemeListView;

// The filter dialog. Loading (the constructor) replaces the process-wide
// State().FilterConditions with a record holding only "OK" = False; confirming writes "OK" =
// True and "BDate", "EDate" ("yyyy-MM-dd" texts), "Closed" and "Unordered" (qint16 0/1: hide
// closed entries, keep only entries with something left to order), "BItemClass",
// "BItemNumber", "EItemNumber", "BBillNo", "EBillNo" (trimmed texts). Cancel leaves "OK" False.
// Create it for one display, set IsShowFilter and show it through ui::ExecModal.
class frmFirter : public QDialog {
    Q_OBJECT
    Q_PROPERTY(bool IsShowFilter READ IsShowFilter WRITE SetIsShowFilter)
public:
    // Fails only when the form font cannot be applied; the schemes' failures are ignored.
    explicit frmFirter(QWidget* parent = nullptr);

    // True when opened from the list window: a next-choose scheme then waits for the user.
    bool IsShowFilter() const { return m_isShowFilter; }
    void SetIsShowFilter(bool value) { m_isShowFilter = value; }
    // The scheme whose values were last loaded or saved, as the list shows it.
    QString CurrentSchemeName() const { return m_schemeName; }

    void reject() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void BuildControls();
    // The captions, names for screen readers and tips, in the user's language.
    void SetTexts();
    void LoadForm();
    void InstallKeyPreview();
    void OnActivate();
    void Confirm();

    void ToolClick(const QString& key);
    void RefillSchemeList();
    void LoadScheme(const QString& name);
    void SaveScheme();
    void SaveSchemeValues(const QString& name);
    void AddSchemeRecord(const QString& name, const QString& key, const QString& value);
    void DeleteScheme();
    void ClearRanges();
    void CycleView();
    void ChooseView(int entry);
    void ItemLookup(bool startField);

    bool m_isShowFilter = false;
    bool m_closing = false;
    QString m_schemeName;
    RecordListPtr m_pending;
    int m_viewCounter = 0;

    QTabWidget* m_tabs = nullptr;
    QDateEdit* m_bDate = nullptr;
    QDateEdit* m_eDate = nullptr;
    QLineEdit* m_itemClass = nullptr;
    QLineEdit* m_bItem = nullptr;
    QLineEdit* m_eItem = nullptr;
    QLineEdit* m_bBillNo = nullptr;
    QLineEdit* m_eBillNo = nullptr;
    QToolButton* m_bItemLookup = nullptr;
    QToolButton* m_eItemLookup = nullptr;
    QCheckBox* m_closed = nullptr;
    QCheckBox* m_unordered = nullptr;
    QCheckBox* m_nextChoose = nullptr;
    QToolBar* m_tools = nullptr;
    SchemeListView* m_schemes = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_lblItemClass = nullptr;
    QLabel* m_lblBDate = nullptr;
    QLabel* m_lblEDate = nullptr;
    QLabel* m_lblEItem = nullptr;
    QLabel* m_lblEBillNo = nullptr;
    QLabel* m_lblScheme = nullptr;
};

// Creates the filter dialog, shows it modally and gives "OK" of the conditions it left.
bool RunFilterDialog(bool isShowFilter, QWidget* parent = nullptr);

} // namespace zpp
