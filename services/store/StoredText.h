#pragma once

#include <QString>

namespace zpp::store {

// The longest text a field keeps, in UTF-16 units, and the built-in caption a refusal names.
// The schema's TEXT columns take any length; the services hold what they write to these, so a
// pasted page never becomes a note and every window and export can show what was stored.
struct TextLimit {
    const char* Field;
    qsizetype Chars;
};

namespace limits {
inline constexpr TextLimit Memo{"备注", 255}; // plan entries and order lines
inline constexpr TextLimit SchemeName{"方案名", 80};
inline constexpr TextLimit SchemeKey{"方案项目", 80};
inline constexpr TextLimit SchemeValue{"方案条件", 1000};
inline constexpr TextLimit FormatKey{"格式名", 255};
// Every header and footer cell's text and font of a print layout, with room to spare.
inline constexpr TextLimit FormatValue{"格式内容", 65535};
// Log records are cut, never refused: an operation is not undone for its log.
inline constexpr qsizetype LogCode = 64;
inline constexpr qsizetype LogName = 1000;
} // namespace limits

// Empty when text fits the field; otherwise why it is refused, naming the field.
QString LengthFault(const QString& text, const TextLimit& limit);

// A text as the services bind it: StorableText, and a null text as an empty one (a null binds as NULL).
QString StoredText(const QString& text);

// StoredText cut to chars, never between the halves of a surrogate pair.
QString CutText(const QString& text, qsizetype chars);

} // namespace zpp::store
