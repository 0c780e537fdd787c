#pragma once

#include "DataImport.h"
#include "component/host/contracts/DataImporter.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace zpp::services {

// 导入: the kind and the file, 检查 (a dry run), 导入, and a template to fill; every problem is
// listed with its row and column, and nothing is written while there are any.
class frmImport : public QDialog {
    Q_OBJECT
public:
    frmImport(store::SessionPtr session, QWidget* parent = nullptr);

    // The rows of the problem list, as the window shows them ("row|column|problem").
    QStringList ProblemRows() const;

private:
    ImportKind Kind() const;
    void Browse();
    void SaveTemplate();
    void Start(bool dryRun);
    void Show(const ImportResult& result, bool dryRun);
    // The problems, then the notices, as rows of the list.
    void ShowRows(const ImportResult& result);

    DataImport m_import;
    QComboBox* m_kind;
    QLineEdit* m_file;
    QCheckBox* m_update;
    QTableWidget* m_problems;
    QLabel* m_summary;
};

// The DataImporter service over the log-in's store.
class DataImporterService : public DataImporter {
public:
    explicit DataImporterService(store::SessionPtr session) : m_session(std::move(session)) {}
    void ShowImport(QWidget* parent) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
