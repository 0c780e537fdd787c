#pragma once

#include "component/host/HostObjectFactory.h"

class QWidget;

namespace zpp {

// ZELFrmRes.FrmResLoader: applies the fonts of a language to a window.
class FrmResLoader : public ServiceObject {
public:
    virtual void SetFrmFont(QWidget* window, const QString& language) = 0;
};

} // namespace zpp
