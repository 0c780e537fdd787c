#include "Lang.h"

#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/FrmResLoader.h"
#include "component/host/contracts/LangInfo.h"
#include "component/host/contracts/ResLoader.h"
#include "platform/ini/IniFile.h"
#include "platform/records/Values.h"

#include <QStringList>

namespace zpp {

namespace {
const QString kResBaseName = QStringLiteral("DeZodirorazez");
const QString kTranslateMark = QStringLiteral("~$~");
} // namespace

QString GetLangString(const QString& text, int spacing) {
    try {
        ComponentState& state = State();
        if (state.LanguageCode.isEmpty()) {
            QString code = GetPropsValue(QStringLiteral("Language"));
            if (code.isEmpty())
                code = CreateObject<LangInfo>(QString::fromLatin1(progid::LangInfo))->CurrentLanguage();
            state.LanguageCode = code;
        }
        if (!state.Loader)
            state.Loader = CreateObject<ResLoader>(QString::fromLatin1(progid::ResLoader));
        if (state.Loader->ResFileBaseName() != kResBaseName)
            state.Loader->SetResFileBaseName(kResBaseName);
        if (state.Loader->LanguageID() != state.LanguageCode)
            state.Loader->SetLanguageID(state.LanguageCode);

        if (text.contains(kLangSeparator))
            return GetLangStringList(text);

        int begin = 0, end = text.size();
        while (begin < end && text[begin] == u' ')
            ++begin;
        while (end > begin && text[end - 1] == u' ')
            --end;
        QString lead = text.left(begin), trail = text.mid(end);
        if (state.LanguageCode.compare(QStringLiteral("en"), Qt::CaseInsensitive) == 0) {
            if ((spacing == LeadingBlank || spacing == BothBlanks) && lead.isEmpty())
                lead = QStringLiteral(" ");
            if ((spacing == TrailingBlank || spacing == BothBlanks) && trail.isEmpty())
                trail = QStringLiteral(" ");
        }
        return lead + state.Loader->LoadString(text.mid(begin, end - begin)) + trail;
    } catch (...) {
        return text;
    }
}

QString GetLangStringList(const QString& compound) {
    QString out;
    for (const QString& piece : compound.split(kLangSeparator)) {
        if (piece.startsWith(kTranslateMark))
            out += GetLangString(piece.mid(kTranslateMark.size()), NoSpacing);
        else
            out += piece;
    }
    return out;
}

QString LangPiece(const QString& text) {
    return kTranslateMark + text;
}

void SetFormFont(QWidget* window) {
    ComponentState& state = State();
    if (state.LanguageCode.isEmpty())
        state.LanguageCode = GetPropsValue(QStringLiteral("Language"));
    if (!state.FormResources)
        state.FormResources = CreateObject<FrmResLoader>(QString::fromLatin1(progid::FrmResLoader));
    state.FormResources->SetFrmFont(window, state.LanguageCode);
}

int IsDebugMode() {
    ini::IniService& service = ini::Service();
    const QString remembered = service.FileName();
    int result = 0;
    try {
        service.SetFileName(QStringLiteral("C:\\RptTest.Ini"));
        result = values::ToInt32(values::Val(
            service.ReadString(QStringLiteral("Para"), QStringLiteral("Debug"), QStringLiteral("0"))));
    } catch (...) {
        result = 0;
    }
    service.SetFileName(remembered);
    return result;
}

} // namespace zpp
