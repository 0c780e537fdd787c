#pragma once

#include "component/host/contracts/GLView.h"
#include "services/store/Session.h"

namespace zpp::services {

// The base-data lookup window over the store: items (type 4) and suppliers (type 8).
class LookupViewService : public GLView {
public:
    explicit LookupViewService(store::SessionPtr session) : m_session(std::move(session)) {}

    // Opens the window modally with the search text (else the options' "Search") filled in and
    // its matches listed. ReturnOK and ReturnObject {ID, code, name} when the user chose a row.
    // Any other type fails with an Error before a window opens; extra is not used, since this
    // window lists every item or supplier.
    std::shared_ptr<LookupResult> ItemLookUp(qint32& baseDataType, QString& search, QString& extra,
                                             RecordPtr& options) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
