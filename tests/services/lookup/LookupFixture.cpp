#include "LookupFixture.h"

#include "services/lookup/BaseDataModel.h"
#include "services/lookup/LookupViewService.h"
#include "services/lookup/frmBaseDataLookup.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace zpp::test {

void LookupTest::Seed() {
    db->Exec("INSERT INTO units (id, name) VALUES (1, '个')");
    const QStringList items[] = {{"01.001", "六角螺栓", "M8×30"}, {"01.002", "六角螺母", "M8"},
                                 {"01.010", "平垫圈", "Φ8"},      {"02.001", "冷轧钢板", "1.0mm"},
                                 {"A-100", "Widget", ""},         {"B-200", "Äpfelkiste", ""},
                                 {"P50%折扣件", "50%折扣件", ""}, {"X_1", "下划线件", ""},
                                 {"XA1", "普通件", ""},           {"Z!1", "注意!标签", ""}};
    int id = 0;
    for (const QStringList& item : items)
        db->Exec("INSERT INTO items (id, code, name, model, unit_id) VALUES (?, ?, ?, ?, 1)",
                 {++id, item[0], item[1], item[2]});
    QSqlQuery bulk = db->Prepare("INSERT INTO items (id, code, name, unit_id) VALUES (?, ?, ?, 1)");
    for (int i = 0; i < kBulkItems; ++i)
        db->Run(bulk, {++id, QString("03.%1").arg(i, 4, 10, QChar('0')), QString("批量物料%1").arg(i)});
    db->Exec("INSERT INTO suppliers (id, code, name, tax_rate) VALUES (1, '01.001', "
             "'上海宏达五金有限公司', 13),"
             " (2, '01.002', '苏州恒信电子科技有限公司', 9), (3, '02.001', '佛山顺达塑胶制品厂', 3)");
}

std::shared_ptr<LookupResult>
LookupTest::Lookup(qint32 type, const QString& search,
                   const std::function<void(services::frmBaseDataLookup&)>& act) {
    OnModal([&](QDialog& d) { act(dynamic_cast<services::frmBaseDataLookup&>(d)); });
    services::LookupViewService service(session);
    QString searchArg = search, extra;
    RecordPtr options = KeyedRecord::Create();
    return service.ItemLookUp(type, searchArg, extra, options);
}

QStringList AllCodes(services::BaseDataModel& model) {
    while (model.canFetchMore({}))
        model.fetchMore({});
    QStringList codes;
    for (int r = 0; r < model.rowCount(); ++r)
        codes << model.At(r).Code;
    return codes;
}

services::BaseDataModel& ModelOf(services::frmBaseDataLookup& window) {
    return *qobject_cast<services::BaseDataModel*>(window.findChild<QTableView*>("grdList")->model());
}

QString CurrentCode(services::frmBaseDataLookup& window) {
    const QModelIndex current = window.findChild<QTableView*>("grdList")->currentIndex();
    return current.isValid() ? ModelOf(window).At(current.row()).Code : QString();
}

void TypeText(services::frmBaseDataLookup& window, const QString& text) {
    auto* box = window.findChild<QLineEdit*>("txtSearch");
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(box, &commit);
    const QString expected = box->text().trimmed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ModelOf(window).Search() == expected; }, 2000))
        << "the list did not follow the search text " << expected.toStdString();
}

} // namespace zpp::test
