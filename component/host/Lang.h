#pragma once

#include <QString>

class QWidget;

namespace zpp {

// Spacing modes of GetLangString; they act only in English.
enum LangSpacing { NoSpacing = 0, LeadingBlank = 1, TrailingBlank = 2, BothBlanks = 3 };

// The text in the user's language; the built-in Chinese text whenever that is not possible.
QString GetLangString(const QString& text, int spacing = NoSpacing);
// A compound text: pieces joined by "^|^", those starting with "~$~" translated.
QString GetLangStringList(const QString& compound);
// Builds a compound piece that is to be translated.
QString LangPiece(const QString& text);
inline const QString kLangSeparator = QStringLiteral("^|^");

// Applies the fonts of the user's language to a window; failures propagate.
void SetFormFont(QWidget* window);
// The developer switch: [Para] Debug of "C:\RptTest.Ini" as a whole number.
int IsDebugMode();

} // namespace zpp
