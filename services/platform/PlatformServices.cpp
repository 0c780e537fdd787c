#include "PlatformServices.h"

#include "component/host/ProgIds.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTabWidget>
#include <QWidget>

namespace zpp::services {

namespace {
QHash<QPair<qint64, QString>, QVariant>& Properties() {
    static QHash<QPair<qint64, QString>, QVariant> props;
    return props;
}
} // namespace

QVariant SharePropsService::GetProperty(qint64 processId, const QString& name) {
    return Properties().value({processId, name.toLower()});
}

void SharePropsService::SetProperty(qint64 processId, const QString& name, const QVariant& value) {
    Properties().insert({processId, name.toLower()}, value);
}

void SharePropsService::ClearAll() {
    Properties().clear();
}

QString LangInfoService::CurrentLanguage() {
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return QStringLiteral("zh");
    return QLocale::languageToCode(locale.language());
}

void ResLoaderService::SetResFileBaseName(const QString& name) {
    m_base = name;
    Reload();
}

void ResLoaderService::SetLanguageID(const QString& language) {
    m_language = language;
    Reload();
}

void ResLoaderService::Reload() {
    m_translator.reset();
    if (m_base.isEmpty() || m_language.isEmpty())
        return;
    // "en_US" falls back to "en".
    QStringList candidates{m_language};
    const QString shortCode = m_language.section(QRegularExpression(QStringLiteral("[-_]")), 0, 0);
    if (shortCode != m_language)
        candidates << shortCode;
    const QStringList dirs{QStringLiteral(":/i18n"),
                           QCoreApplication::applicationDirPath() + "/translations"};
    for (const QString& code : candidates) {
        for (const QString& dir : dirs) {
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(m_base + u'_' + code, dir)) {
                m_translator = std::move(translator);
                return;
            }
        }
    }
}

QString ResLoaderService::LoadString(const QString& text) {
    if (!m_translator)
        return text;
    const QString t = m_translator->translate(m_base.toUtf8().constData(), text.toUtf8().constData());
    return t.isEmpty() ? text : t;
}

QFont FrmResLoaderService::FontFor(const QString& language) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const QStringList families = QFontDatabase::families();
    // Chinese data appear in every language, so prefer a CJK font that also has Latin.
    const QString preferred = QStringLiteral("Noto Sans CJK SC");
    Q_UNUSED(language);
    if (families.contains(preferred))
        font.setFamily(preferred);
    font.setPointSize(10);
    return font;
}

void FrmResLoaderService::SetFrmFont(QWidget* window, const QString& language) {
    if (!window)
        throw Error(QStringLiteral("没有要设置字体的窗口"));
    window->setFont(FontFor(language));
    ResLoaderService catalogue;
    catalogue.SetResFileBaseName(QStringLiteral("DeZodirorazez"));
    catalogue.SetLanguageID(language);
    const auto translate = [&](const QString& text) { return catalogue.LoadString(text); };
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (!w->accessibleName().isEmpty())
            w->setAccessibleName(translate(w->accessibleName()));
        if (!w->toolTip().isEmpty())
            w->setToolTip(translate(w->toolTip()));
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
            label->setText(translate(label->text()));
        else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty())
            button->setText(translate(button->text()));
        else if (auto* group = qobject_cast<QGroupBox*>(w); group && !group->title().isEmpty())
            group->setTitle(translate(group->title()));
        else if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(i, translate(tabs->tabText(i)));
    }
}

void RegisterPlatformServices() {
    RegisterService<SharePropsService>(QString::fromLatin1(progid::ShareProps));
    RegisterService<LangInfoService>(QString::fromLatin1(progid::LangInfo));
    RegisterService<ResLoaderService>(QString::fromLatin1(progid::ResLoader));
    RegisterService<FrmResLoaderService>(QString::fromLatin1(progid::FrmResLoader));
}

} // namespace zpp::services
