#pragma once

#include "component/host/contracts/ChmHelp.h"

#include <QUrl>

namespace zpp::services {

// The user guide that ships with the program (Chinese and English), shown at a topic.
class HelpService : public ChmHelp {
public:
    explicit HelpService(QString language) : m_language(std::move(language)) {}
    void ShowHelp(const QString& helpFile, const QString& topicKey, QWidget* window) override;
    // The guide's address for a topic in a language.
    static QUrl TopicUrl(const QString& language, const QString& topicKey);
    // The whole guide as plain text, for a terminal (purchase-plan --guide).
    static QString GuideText(const QString& language);

private:
    QString m_language;
};

} // namespace zpp::services
