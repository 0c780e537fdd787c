#include "CompanySettings.h"

#include "Rights.h"
#include "UserAdministration.h"
#include "platform/ui/Prompt.h"
#include "services/store/StoredText.h"

#include <QSqlQuery>
#include <algorithm>

namespace zpp::services {

const QVector<CompanyField>& CompanyFields() {
    static const QVector<CompanyField> fields = {
        {"Name", "公司名称", 255, "company-name", "name"},
        {"Address", "公司地址", 255, "company-address", "address"},
        {"Currency", "币别", 40, "company-currency", "currency"},
        {"DeliveryAddress", "交货地址", 255, "company-delivery-address", "delivery address"},
        {"PaymentTerms", "付款条件", 500, "company-payment-terms", "payment terms"}};
    return fields;
}

void CompanySettings::RequireAdministrator() const {
    if (!Holds(*m_session, kEveryRight))
        throw Error(ui::Tr("只有拥有全部权限的管理员才能修改公司设置"));
}

QHash<QString, QString> CompanySettings::Values() const {
    QHash<QString, QString> values;
    for (const CompanyField& f : CompanyFields())
        values.insert(QLatin1String(f.Key), QString());
    QSqlQuery q = m_session->Db->Exec(
        QStringLiteral("SELECT key, value FROM system_settings WHERE section = 'Company'"));
    while (q.next())
        if (values.contains(q.value(0).toString()))
            values[q.value(0).toString()] = q.value(1).toString();
    return values;
}

void CompanySettings::Write(const QHash<QString, QString>& values) {
    RequireAdministrator();
    QVector<std::pair<QString, QString>> rows;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const auto& all = CompanyFields();
        const auto field = std::find_if(
            all.begin(), all.end(), [&](const CompanyField& f) { return it.key() == QLatin1String(f.Key); });
        if (field == all.end())
            throw Error(ui::Tr("没有名为“%1”的公司设置").arg(it.key().left(40)));
        const QString text = store::StoredText(it.value()).trimmed();
        if (const QString fault = store::LengthFault(text, {field->Caption, field->Chars}); !fault.isEmpty())
            throw Error(fault);
        rows.push_back({it.key(), text});
    }
    const store::Store& db = *m_session->Db;
    // Name and Address exist since schema 10; the others appear with their first value.
    db.InTransaction([&] {
        for (const auto& [key, text] : rows) {
            db.Exec(QStringLiteral("DELETE FROM system_settings WHERE section = 'Company' AND key = ?"),
                    {key});
            db.Exec(
                QStringLiteral("INSERT INTO system_settings (section, key, value) VALUES ('Company', ?, ?)"),
                {key, text});
        }
    });
}

} // namespace zpp::services
