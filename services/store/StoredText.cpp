#include "StoredText.h"

#include "platform/records/StorableText.h"
#include "platform/ui/Prompt.h"

namespace zpp::store {

QString LengthFault(const QString& text, const TextLimit& limit) {
    if (text.size() <= limit.Chars)
        return {};
    return ui::Tr("%1不能超过 %2 个字符（现有 %3 个）")
        .arg(ui::Tr(limit.Field))
        .arg(limit.Chars)
        .arg(text.size());
}

QString StoredText(const QString& text) {
    return text.isNull() ? QStringLiteral("") : StorableText(text);
}

QString CutText(const QString& text, qsizetype chars) {
    QString out = StoredText(text);
    if (out.size() > chars)
        out.truncate(chars > 0 && out.at(chars - 1).isHighSurrogate() ? chars - 1 : chars);
    return out;
}

} // namespace zpp::store
