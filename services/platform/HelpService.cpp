#include "HelpService.h"

#include "PlatformServices.h"

#include <QDialog>
#include <QFile>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zpp::services {

QUrl HelpService::TopicUrl(const QString& language, const QString& topicKey) {
    const QString lang = language.startsWith(QStringLiteral("en"), Qt::CaseInsensitive)
                             ? QStringLiteral("en")
                             : QStringLiteral("zh");
    QUrl url(QStringLiteral("qrc:/help/%1.html").arg(lang));
    url.setFragment(topicKey);
    return url;
}

QString HelpService::GuideText(const QString& language) {
    QFile file(QLatin1Char(':') + TopicUrl(language, {}).path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    return document.toPlainText();
}

void HelpService::ShowHelp(const QString&, const QString& topicKey, QWidget* window) {
    const QString lang = m_language.isEmpty() ? LangInfoService().CurrentLanguage() : m_language;
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("HelpWindow"));
    const bool english = lang.startsWith(QStringLiteral("en"), Qt::CaseInsensitive);
    dialog->setWindowTitle(english ? QStringLiteral("Purchase plan help") : QStringLiteral("采购计划帮助"));
    dialog->setAccessibleName(dialog->windowTitle());
    auto* browser = new QTextBrowser(dialog);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setAccessibleName(dialog->windowTitle());
    browser->setOpenExternalLinks(false);
    browser->setSource(TopicUrl(lang, topicKey));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(browser);
    dialog->resize(760, 600);
    dialog->show();
    // The topic can only be scrolled to once the page is laid out.
    QTimer::singleShot(0, browser, [browser, topicKey] { browser->scrollToAnchor(topicKey); });
}

} // namespace zpp::services
