#pragma once

#include "platform/records/Values.h"
#include "services/access/WindowParts.h"

#include <QHeaderView>
#include <QTableView>

// Small pieces the bill windows share.
namespace zpp::services::billui {

using windowparts::MakeButton;
using windowparts::UseFormFont;

// A list view of whole rows with fixed row heights and widths from the captions and contents.
inline QTableView* MakeList(QAbstractItemModel* model, const char* name, const QString& accessibleName,
                            QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setAccessibleName(accessibleName);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

// Column widths that fit captions and the rows shown (the lists here are short).
inline void FitColumns(QTableView* view) {
    view->resizeColumnsToContents();
    for (int c = 0; c < view->model()->columnCount(); ++c)
        view->setColumnWidth(c, std::max(view->columnWidth(c), view->horizontalHeader()->sectionSizeHint(c)) +
                                    8);
}

// A window around one list, sized once the list holds its rows: the columns fitted, the window as
// wide as they are (within least and most) and height high, and the list holding the focus.
inline void FitToList(QWidget* window, QTableView* view, int least, int most, int height) {
    FitColumns(view);
    window->resize(std::max(least, std::min(most, view->horizontalHeader()->length() + 40)), height);
    view->setFocus();
}

// A number with at most maxDecimals decimals and trailing zeros dropped down to minDecimals.
inline QString Number(double value, int maxDecimals, int minDecimals) {
    QString text = values::FormatNumber(value, maxDecimals);
    const int point = int(text.indexOf(QLatin1Char('.')));
    if (point < 0)
        return text;
    while (text.size() - point - 1 > minDecimals && text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace zpp::services::billui
