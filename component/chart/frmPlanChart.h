#pragma once

// The plan chart window: amounts per supplier and quantities per delivery week of the rows the
// list shows, redrawn when the list is read again, filtered, folded or edited; prints itself
// and saves itself as a PNG image.

#include "component/chart/PlanChartData.h"
#include "component/chart/PlanChartPainter.h"

#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QToolBar;

namespace zpp::controls {
class SpreadGrid;
}

namespace zpp::chart {

class frmPlanChart : public QWidget {
    Q_OBJECT
public:
    // A window of the list window `list`, closed with it, over the list's grid.
    frmPlanChart(controls::SpreadGrid& grid, QWidget* list);
    // Opens the list's chart window, or brings the open one to the front counted anew.
    static frmPlanChart* ShowFor(QWidget* list, controls::SpreadGrid& grid);
    // The command's icon: three bars (the styles have no chart icon of their own).
    static QIcon Icon();

    const PlanChartFigures& Figures() const { return m_figures; }
    const PlanChartTexts& Texts() const { return m_texts; }
    // Counts the list's rows again and repaints. The window does so by itself shortly after the
    // list's rows change.
    void Recount();
    // The chart drawn into an image of the given size.
    QImage Render(QSize size) const;
    // Through the print dialog, with the print right; false when nothing was printed.
    bool PrintChart();
    // Asks for a file and writes the chart as a PNG image, with the export right.
    bool ExportImage();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RunTool(const QString& key);
    void ListChanged();
    PlanChartTexts MakeTexts() const;

    QPointer<controls::SpreadGrid> m_grid;
    bool m_withAmounts = true;
    bool m_stale = true;
    QTimer m_recount;
    PlanChartFigures m_figures;
    QString m_failure; // why the last count failed
    PlanChartTexts m_texts;
    QWidget* m_canvas = nullptr;
    QToolBar* m_bar = nullptr;
};

} // namespace zpp::chart
