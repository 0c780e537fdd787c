#pragma once

#include "platform/export/Exporter.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace zpp::exporting {

// Asks for the file to export to: a name with a browse button and the format. OK checks the
// name and asks before replacing an existing file; the dialog closes only when both pass.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportDialog(const QString& defaultPath, QWidget* parent = nullptr);

    // Checks the entered name as OK does; true when it may be written. Path() is then final.
    bool Confirm();
    bool IsConfirmed() const { return !m_confirmed.isEmpty(); }
    QString Path() const { return m_confirmed; }
    Format SelectedFormat() const;

    // name with the suffix of format: a known export suffix is replaced, any other kept.
    static QString WithSuffix(const QString& name, Format format);

private:
    void Browse();
    void FormatChanged();

    QLineEdit* m_file = nullptr;
    QComboBox* m_format = nullptr;
    QString m_baseDir;
    QString m_confirmed;
};

} // namespace zpp::exporting
