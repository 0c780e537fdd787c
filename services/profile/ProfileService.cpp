#include "ProfileService.h"
#include "component/host/Lang.h"

#include "platform/records/StorableText.h"
#include "platform/records/Values.h"
#include "services/store/StoredText.h"

namespace zpp::services {

namespace {
// The text as stored, refused when longer than the field keeps.
QString Checked(const QString& text, const store::TextLimit& limit) {
    if (const QString fault = store::LengthFault(text, limit); !fault.isEmpty())
        throw Error(fault);
    return store::StoredText(text);
}

const QString kNextChoose = QStringLiteral("chkNextChoose");

QString RequiredText(const KeyedRecord& record, const QString& key) {
    if (!record.Exists(key))
        throw Error(GetLangString(QStringLiteral("方案记录缺少“%1”")).arg(key));
    return record.Text(key);
}

struct SchemeValues {
    qint32 ReportId = 0;
    QString Name;
    QVector<std::pair<QString, QVariant>> Values;
};
} // namespace

QString ProfileService::LoadRptFormat(const QString&, qint32 reportId, const QString& key) {
    return m_session->Db
        ->Scalar(QStringLiteral("SELECT value FROM report_formats WHERE user_id = ? AND report_id = ? "
                                "AND format_key = ?"),
                 {m_session->UserId, reportId, key})
        .toString();
}

void ProfileService::SaveRptFormat(const QString&, qint32 reportId, const QString& key, QString& text) {
    m_session->Db->Exec(QStringLiteral("INSERT INTO report_formats (user_id, report_id, format_key, value)"
                                       " VALUES (?, ?, ?, ?) ON CONFLICT (user_id, report_id, format_key)"
                                       " DO UPDATE SET value = excluded.value"),
                        {m_session->UserId, reportId, Checked(key, store::limits::FormatKey),
                         Checked(text, store::limits::FormatValue)});
}

RecordSetPtr ProfileService::GetPlanList(const QString&, qint32& reportId) {
    QSqlQuery q = m_session->Db->Exec(QStringLiteral("SELECT name, next_choose, saved_seq FROM filter_schemes"
                                                     " WHERE user_id = ? AND report_id = ? ORDER BY id"),
                                      {m_session->UserId, reportId});
    QStringList names;
    int marked = -1;
    qint64 markedSeq = 0;
    while (q.next()) {
        if (q.value(1).toInt() == 1 && (marked < 0 || q.value(2).toLongLong() > markedSeq)) {
            marked = int(names.size());
            markedSeq = q.value(2).toLongLong();
        }
        names << q.value(0).toString();
    }
    auto set = std::make_shared<RecordSet>(QStringList{QStringLiteral("FPlan"), QStringLiteral("FStatus")});
    for (int i = 0; i < names.size(); ++i)
        set->AddRow({names[i], i == marked ? 1 : 0});
    return set;
}

RecordSetPtr ProfileService::GetPlanValue(const QString&, qint32& reportId, QString& scheme) {
    QSqlQuery q = m_session->Db->Exec(
        QStringLiteral("SELECT v.key, v.value FROM filter_scheme_values v"
                       " JOIN filter_schemes s ON s.id = v.scheme_id"
                       " WHERE s.user_id = ? AND s.report_id = ? AND s.name = ? ORDER BY v.seq"),
        {m_session->UserId, reportId, StorableText(scheme)});
    auto set = std::make_shared<RecordSet>(QStringList{QStringLiteral("FKey"), QStringLiteral("FValue")});
    while (q.next())
        set->AddRow({q.value(0).toString(), q.isNull(1) ? QVariant() : QVariant(q.value(1).toString())});
    return set;
}

void ProfileService::DelPlan(const QString&, qint32& reportId, QString& scheme) {
    // The scheme's values go with it (ON DELETE CASCADE).
    m_session->Db->Exec(
        QStringLiteral("DELETE FROM filter_schemes WHERE user_id = ? AND report_id = ? AND name = ?"),
        {m_session->UserId, reportId, StorableText(scheme)});
}

void ProfileService::UpdateNextChooseValue(const QString&, qint32 reportId) {
    const store::Store& db = *m_session->Db;
    db.InTransaction([&] {
        db.Exec(
            QStringLiteral("UPDATE filter_schemes SET next_choose = 0 WHERE user_id = ? AND report_id = ?"),
            {m_session->UserId, reportId});
        db.Exec(QStringLiteral("UPDATE filter_scheme_values SET value = '0' WHERE key = ? AND scheme_id IN"
                               " (SELECT id FROM filter_schemes WHERE user_id = ? AND report_id = ?)"),
                {kNextChoose, m_session->UserId, reportId});
    });
}

void ProfileService::SaveProfile(const QString&, RecordListPtr& records) {
    if (!records)
        return;
    // Group the records by scheme, keeping the order of schemes and keys as sent; a key sent
    // twice for one scheme keeps its last value.
    QVector<SchemeValues> schemes;
    for (const RecordPtr& r : *records) {
        if (!r)
            continue;
        SchemeValues wanted;
        if (!r->Exists(QStringLiteral("RptID")))
            throw Error(GetLangString(QStringLiteral("方案记录缺少“RptID”")));
        wanted.ReportId = values::ToInt32(r->Get(QStringLiteral("RptID")));
        wanted.Name = Checked(RequiredText(*r, QStringLiteral("Plan")), store::limits::SchemeName);
        if (wanted.Name.trimmed().isEmpty())
            throw Error(GetLangString(QStringLiteral("方案名不能为空")));
        const QString key = Checked(RequiredText(*r, QStringLiteral("Key")), store::limits::SchemeKey);
        if (key.isEmpty())
            throw Error(GetLangString(QStringLiteral("方案“%1”的记录缺少“Key”")).arg(wanted.Name));
        const QVariant raw = r->Get(QStringLiteral("Value"), QVariant());
        const QVariant value = raw.isNull() ? QVariant(QMetaType::fromType<QString>())
                                            : QVariant(Checked(raw.toString(), store::limits::SchemeValue));

        auto scheme = std::find_if(schemes.begin(), schemes.end(), [&](const SchemeValues& s) {
            return s.ReportId == wanted.ReportId && s.Name == wanted.Name;
        });
        if (scheme == schemes.end()) {
            schemes.push_back(std::move(wanted));
            scheme = schemes.end() - 1;
        }
        auto existing = std::find_if(scheme->Values.begin(), scheme->Values.end(),
                                     [&](const auto& kv) { return kv.first == key; });
        if (existing != scheme->Values.end())
            existing->second = value;
        else
            scheme->Values.push_back({key, value});
    }

    const store::Store& db = *m_session->Db;
    const qint16 user = m_session->UserId;
    db.InTransaction([&] {
        QSqlQuery insertValue = db.Prepare(QStringLiteral(
            "INSERT INTO filter_scheme_values (scheme_id, key, value, seq) VALUES (?, ?, ?, ?)"));
        for (const SchemeValues& s : schemes) {
            int nextChoose = 0;
            for (const auto& [key, value] : s.Values)
                if (key.compare(kNextChoose, Qt::CaseInsensitive) == 0)
                    nextChoose = values::Val(value) == 1 ? 1 : 0;
            const qint64 seq =
                db.Scalar(QStringLiteral("SELECT COALESCE(MAX(saved_seq), 0) + 1 FROM filter_schemes"
                                         " WHERE user_id = ?"),
                          {user})
                    .toLongLong();
            db.Exec(
                QStringLiteral("INSERT INTO filter_schemes (user_id, report_id, name, next_choose, saved_seq)"
                               " VALUES (?, ?, ?, ?, ?) ON CONFLICT (user_id, report_id, name) DO UPDATE"
                               " SET next_choose = excluded.next_choose, saved_seq = excluded.saved_seq"),
                {user, s.ReportId, s.Name, nextChoose, seq});
            const QVariant id = db.Scalar(QStringLiteral("SELECT id FROM filter_schemes WHERE user_id = ?"
                                                         " AND report_id = ? AND name = ?"),
                                          {user, s.ReportId, s.Name});
            db.Exec(QStringLiteral("DELETE FROM filter_scheme_values WHERE scheme_id = ?"), {id});
            for (int i = 0; i < s.Values.size(); ++i)
                db.Run(insertValue, {id, s.Values[i].first, s.Values[i].second, i + 1});
        }
    });
}

} // namespace zpp::services
