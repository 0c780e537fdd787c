#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace zpp {

// The result list of close, reopen and delete: a title and one line per entry. Lines can
// be selected and copied (Ctrl+C or the context menu).
class frmResultList : public QDialog {
    Q_OBJECT
public:
    explicit frmResultList(QWidget* parent = nullptr);

    // Texts arrive ended by "|", which marks the end of an item and is not shown.
    void SetTitle(const QString& title);
    void AddLine(const QString& line);

    QString Title() const { return windowTitle(); }
    QStringList Lines() const;
    // The selected lines, one per text line, as the copy command puts them on the clipboard.
    QString SelectedText() const;
    void CopySelection();

    QListWidget* lstResult;
    QPushButton* btnClose;
};

} // namespace zpp
