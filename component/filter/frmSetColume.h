#pragma once

#include "platform/records/KeyedRecord.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace zpp {

namespace controls {
class SpreadGrid;
}

// The column settings dialog: a check-box list of the columns the user may show or hide.
// OK and Apply show and hide the grid's columns at once and store the hidden ones as
// "FieldName=1|" entries under "sPlanRpt" (report 126) through the profile service, and the
// shown columns that are hidden until chosen as "FieldName=0|".
// Create it for one display with the plan grid and State().PlanChoosableColumns and show it
// through ui::ExecModal.
class frmSetColume : public QDialog {
    Q_OBJECT
public:
    enum Button { OkButton = 0, ApplyButton = 1, CancelButton = 2 };

    frmSetColume(controls::SpreadGrid* spread, RecordListPtr header, QWidget* parent = nullptr);

    controls::SpreadGrid* Spread() const { return m_spread; }
    const RecordListPtr& Header() const { return m_header; }
    QListWidget* ColList() const { return m_colList; }
    QPushButton* CommandButton(Button index) const { return m_buttons[index]; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void FillColumnList();
    void ApplyColumnSettings();
    void ArrangeControls();
    int Twips(int twips) const;

    controls::SpreadGrid* m_spread;
    RecordListPtr m_header;
    QLabel* m_label = nullptr;
    QListWidget* m_colList = nullptr;
    QPushButton* m_buttons[3] = {};
};

} // namespace zpp
