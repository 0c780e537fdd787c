#pragma once

// The list window's undo, redo, copy and paste, over an edit history of its grid.

#include "platform/controls/GridHistory.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace zpp {

class frmPurchasePlan;
namespace controls {
class SpreadGrid;
}

// Made once the window has loaded (its grid, controller and leave-cell handling in place): it
// closes an edit's step of the history after the window's own check of the cell left.
class ListEditing : public QObject {
public:
    explicit ListEditing(frmPurchasePlan& window);
    ~ListEditing() override;

    struct Tool {
        QString Key;
        QString Caption;
        QList<QKeySequence> Keys;
        QString Tip;
    };
    // The commands for the window's edit menu, in order.
    static QList<Tool> Tools();
    static bool Handles(const QString& key);
    // Runs one of the commands of Tools.
    void Run(const QString& key);
    // Runs work with its writes as one step of the history (a fill down, a command).
    void AsOneStep(const std::function<void()>& work);
    controls::GridHistory& History() { return m_history; }

private:
    void Take(bool undo);
    // Why the values a step would bring back are refused now; empty when they are not.
    QString Refusal(const controls::GridHistory::Step& step, bool undo) const;
    void Copy();
    void Paste();

    frmPurchasePlan& m_window;
    controls::SpreadGrid& m_grid;
    controls::GridHistory m_history;
};

} // namespace zpp
