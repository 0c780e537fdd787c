#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// ZELLangInfo.LangInfo: the language of the user's system.
class LangInfo : public ServiceObject {
public:
    virtual QString CurrentLanguage() = 0;
};

} // namespace zpp
