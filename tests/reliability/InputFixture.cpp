#include "InputFixture.h"

#include "Reliability.h"
#include "app/Wiring.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/HostObjectFactory.h"
#include "component/list/ClsPurchasePlanUI.h"
#include "platform/ini/IniFile.h"
#include "services/demo/DemoData.h"
#include "services/platform/PlatformServices.h"
#include "support/ListWindows.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

namespace zpp::test {

void InputTest::SetUp() {
    ResetState();
    ui::SetPrompter(prompts);
    ui::SetModalHandler([this](QDialog& d) {
        if (auto* file = d.findChild<QLineEdit*>(QStringLiteral("txtFile"))) {
            d.findChild<QComboBox*>(QStringLiteral("cboFormat"))->setCurrentIndex(1);
            file->setText(out.filePath(QStringLiteral("plan.csv")));
            return int(QDialog::Accepted);
        }
        if (auto* print = qobject_cast<QPrintDialog*>(&d)) {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(out.filePath(QStringLiteral("plan.pdf")));
            return int(QDialog::Accepted);
        }
        if (auto* go = d.findChild<QPushButton*>(QStringLiteral("cmdContinue"))) {
            go->click();
            return d.result();
        }
        if (d.objectName() == QStringLiteral("frmFirter")) {
            d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            return d.result();
        }
        return int(QDialog::Rejected);
    });
    const QString location = NewStoreLocation(GetParam());
    ZPP_REQUIRE_STORE(location);
    db = store::GenerateStore(location, 150);
    db->Exec(QStringLiteral("CREATE TABLE canary (x INTEGER)"));
    db->Exec(QStringLiteral("INSERT INTO canary (x) VALUES (42)"));
    ini::SetConfigDir(config.path());
}

void InputTest::CloseWindows() {
    for (frmPurchasePlan* list : OpenListWindows()) {
        list->DataChanged = false; // closing must not save behind the test's back
        list->close();
    }
    QApplication::processEvents();
}

void InputTest::TearDown() {
    CloseWindows();
    ui::SetPrompter(nullptr);
    ui::SetModalHandler(nullptr);
    HostObjectFactory::Instance().Clear();
    services::SharePropsService::ClearAll();
    ResetState();
}

void InputTest::LogIn(const QString& user) {
    ResetState();
    HostObjectFactory::Instance().Clear();
    services::SharePropsService::ClearAll();
    app::Wire(std::make_shared<store::Session>(store::LogIn(db, user)));
}

frmPurchasePlan* InputTest::OpenList() {
    auto conditions = KeyedRecord::Create();
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    conditions->Set(QStringLiteral("OK"), true);
    conditions->Set(QStringLiteral("BDate"), today);
    conditions->Set(QStringLiteral("EDate"), today);
    conditions->Set(QStringLiteral("Closed"), QVariant::fromValue<qint16>(0));
    State().FilterConditions = conditions;
    auto* window = new frmPurchasePlan();
    InitPlanGrid(*window);
    window->show();
    QString noBill;
    window->PurchasePlanUI()->Refresh(noBill);
    return window;
}

void InputTest::Figure(const char* testCase, const QString& name, qint64 value) const {
    reliability::Figure(reliability::StoreName(*db), QString::fromUtf8(testCase), name, value);
}

bool InputTest::IsSqlError(const QString& text) {
    // Store::Fail and the plan reader word every statement failure this way; validations never do.
    static const QRegularExpression storeFailure(QStringLiteral("数据库 .*失败"));
    return text.contains(QStringLiteral("（语句：")) || storeFailure.match(text).hasMatch() ||
           text.contains(QStringLiteral("QPSQL")) ||
           text.contains(QStringLiteral("SQLITE"), Qt::CaseInsensitive);
}

} // namespace zpp::test
