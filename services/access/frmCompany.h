#pragma once

#include "CompanySettings.h"

#include <QDialog>
#include <QHash>

class QLineEdit;

namespace zpp::services {

// 公司设置: the company's name, address, currency, delivery address and payment terms that head
// its purchase orders. Opens for an administrator only; 保存 writes the fields changed.
class frmCompany : public QDialog {
    Q_OBJECT
public:
    // Fails with the refusal when the session's user is no administrator.
    frmCompany(store::SessionPtr session, QWidget* parent = nullptr);

    // Leaving with changes asks whether to save them.
    void reject() override;

private:
    QHash<QString, QString> Changed() const;
    bool Save();

    CompanySettings m_settings;
    QHash<QString, QString> m_values;
    QHash<QString, QLineEdit*> m_fields;
};

} // namespace zpp::services
