#include "frmCompany.h"

#include "AdminPrompts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zpp::services {

frmCompany::frmCompany(store::SessionPtr session, QWidget* parent)
    : QDialog(parent), m_settings(std::move(session)) {
    m_settings.RequireAdministrator();
    m_values = m_settings.Values();
    setObjectName(QStringLiteral("frmCompany"));
    setWindowTitle(ui::Tr("公司设置"));
    setSizeGripEnabled(true);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const CompanyField& f : CompanyFields()) {
        const QString key = QLatin1String(f.Key);
        auto* edit = new QLineEdit(m_values.value(key), this);
        edit->setObjectName(QStringLiteral("txt") + key);
        edit->setAccessibleName(ui::Tr(f.Caption));
        edit->setMaxLength(int(f.Chars));
        edit->setCursorPosition(0);
        form->addRow(ui::Tr(f.Caption), edit);
        m_fields.insert(key, edit);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(ui::Tr("保存(&S)"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("cmdSave"));
    save->setDefault(true);
    QPushButton* close = buttons->addButton(ui::Tr("关闭(&C)"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(save, &QPushButton::clicked, this, [this] {
        if (Save())
            accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(560, sizeHint().height());
}

QHash<QString, QString> frmCompany::Changed() const {
    QHash<QString, QString> changed;
    for (auto it = m_fields.constBegin(); it != m_fields.constEnd(); ++it)
        if (it.value()->text().trimmed() != m_values.value(it.key()))
            changed.insert(it.key(), it.value()->text());
    return changed;
}

bool frmCompany::Save() {
    return admin::SaveAndTell([this] {
        const QHash<QString, QString> changed = Changed();
        if (!changed.isEmpty())
            m_settings.Write(changed);
        m_values = m_settings.Values();
    });
}

void frmCompany::reject() {
    if (!Changed().isEmpty() &&
        !admin::SettleUnsaved(ui::Tr("公司设置已修改，是否保存？"), [this] { return Save(); }))
        return;
    QDialog::reject();
}

} // namespace zpp::services
