#pragma once

#include "component/host/HostObjectFactory.h"

class QWidget;

namespace zpp {

// The host's import of a company's own data: units, items, suppliers, price lists, supplier
// rights and purchase plans from spreadsheet files.
class DataImporter : public ServiceObject {
public:
    // Shows the import window over parent; a user without the import right is told so.
    virtual void ShowImport(QWidget* parent) = 0;
};

} // namespace zpp
