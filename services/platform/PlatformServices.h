#pragma once

#include "component/host/contracts/FrmResLoader.h"
#include "component/host/contracts/LangInfo.h"
#include "component/host/contracts/ResLoader.h"
#include "component/host/contracts/ShareProps.h"

#include <QHash>
#include <QTranslator>

namespace zpp::services {

// Properties the host publishes for its processes (kept in this process's memory).
class SharePropsService : public ShareProps {
public:
    QVariant GetProperty(qint64 processId, const QString& name) override;
    static void SetProperty(qint64 processId, const QString& name, const QVariant& value);
    static void ClearAll();
};

// The language of the system locale, as a language code ("zh", "en").
class LangInfoService : public LangInfo {
public:
    QString CurrentLanguage() override;
};

// Translations from compiled catalogues <base>_<language>.qm, embedded under :/i18n/ or
// found in a translations folder beside the program.
class ResLoaderService : public ResLoader {
public:
    QString ResFileBaseName() const override { return m_base; }
    void SetResFileBaseName(const QString& name) override;
    QString LanguageID() const override { return m_language; }
    void SetLanguageID(const QString& language) override;
    QString LoadString(const QString& text) override;

private:
    void Reload();
    QString m_base, m_language;
    std::unique_ptr<QTranslator> m_translator;
};

// Fonts that show the language's script, and the form's designed captions (labels, buttons,
// group titles, tabs, accessible names, tool tips) in that language from the component's
// catalogue; a caption the catalogue lacks stays as designed. Data are never translated.
class FrmResLoaderService : public FrmResLoader {
public:
    void SetFrmFont(QWidget* window, const QString& language) override;
    static QFont FontFor(const QString& language);
};

// Registers the services above under their identifiers.
void RegisterPlatformServices();

} // namespace zpp::services
