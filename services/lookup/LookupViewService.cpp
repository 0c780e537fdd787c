#include "LookupViewService.h"

#include "BaseDataModel.h"
#include "frmBaseDataLookup.h"
#include "platform/ui/Prompt.h"

#include <QApplication>

namespace zpp::services {

std::shared_ptr<LookupResult> LookupViewService::ItemLookUp(qint32& baseDataType, QString& search, QString&,
                                                            RecordPtr& options) {
    QString text = search;
    if (text.isEmpty() && options)
        text = options->Get(QStringLiteral("Search"), QString()).toString();
    auto* model = new BaseDataModel(m_session->Db, baseDataType, nullptr, m_session->UserId);
    // Owner is the window that asked (the filter dialog), so the lookup stays above it.
    frmBaseDataLookup window(model, text, QApplication::activeWindow());
    if (options && options->Exists(QStringLiteral("Select")))
        window.Select(options->Text(QStringLiteral("Select")));
    auto result = std::make_shared<LookupResult>();
    if (ui::ExecModal(window) == QDialog::Accepted && window.Chosen()) {
        result->ReturnOK = true;
        result->ReturnObject = *window.Chosen();
    }
    return result;
}

} // namespace zpp::services
