#pragma once

#include "component/host/HostObjectFactory.h"

namespace zpp {

// WxResLoader.Loader: translates the component's built-in Chinese texts.
class ResLoader : public ServiceObject {
public:
    virtual QString ResFileBaseName() const = 0;
    virtual void SetResFileBaseName(const QString& name) = 0;
    virtual QString LanguageID() const = 0;
    virtual void SetLanguageID(const QString& language) = 0;
    // The translation of a text, or the text itself when there is none.
    virtual QString LoadString(const QString& text) = 0;
};

} // namespace zpp
