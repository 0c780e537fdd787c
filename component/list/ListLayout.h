#pragma once

// The list window's size, place, splitters and column widths, kept per log-in user in the
// store's profile (beside the user's column choice) and put back when the list opens again.

#include <QList>
#include <QRect>
#include <QString>

class QMainWindow;

namespace zpp {

namespace controls {
class SpreadGrid;
}

// The layout as one saved text: "Geometry=x,y,w,h|Maximized=0|Widths=Field:width,…|
// Splitter.name=size,…|", widths in the grid's character units by field name.
QString CaptureListLayout(const QMainWindow& window, const controls::SpreadGrid& grid);
// Puts a saved layout back before the window is shown; what the text lacks stays as it is.
void ApplyListLayout(QMainWindow& window, controls::SpreadGrid& grid, const QString& saved);
// Where a window of this geometry goes on these screens (available areas, the primary first):
// where it was while a good part of its top edge lies on a screen, else centred on the primary
// screen and no larger than it.
QRect OnScreen(const QRect& geometry, const QList<QRect>& screens);

// Through the profile service; a layout that cannot be read or stored leaves the defaults.
void SaveListLayout(const QMainWindow& window, const controls::SpreadGrid& grid);
void RestoreListLayout(QMainWindow& window, controls::SpreadGrid& grid);

} // namespace zpp
