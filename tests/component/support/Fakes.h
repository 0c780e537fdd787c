#pragma once

#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/contracts/FrmResLoader.h"
#include "component/host/contracts/GLData.h"
#include "component/host/contracts/ResLoader.h"
#include "component/host/contracts/ShareProps.h"
#include "platform/ui/Prompt.h"

#include <QHash>
#include <QStringList>
#include <gtest/gtest.h>

namespace zpp::test {

struct LogLine {
    QString Code;
    qint32 Type;
    QString Name;
};

// What the fakes share with a test.
struct FakeWorld {
    QString PropsString;
    qint32 GrantedMask = 0x7fffffff;
    bool AccessFails = false;
    bool LogFails = false;
    QVector<LogLine> Log;
    QHash<QString, QString> English; // the loader's English catalogue
    int FontsApplied = 0;
};

FakeWorld& World();

class FakeShareProps : public ShareProps {
public:
    QVariant GetProperty(qint64, const QString& name) override {
        return name == "PropsString" ? QVariant(World().PropsString) : QVariant();
    }
};

class FakeGLData : public GLData {
public:
    bool AccessCheck(qint16 a, qint16 b, qint32 mask) override {
        if (World().AccessFails)
            throw Error("access service down");
        return a == 1006 && b == 13 && (World().GrantedMask & mask) == mask;
    }
    void WriteLog(QString& code, qint32& type, QString& name) override {
        if (World().LogFails)
            throw Error("log service down");
        World().Log.push_back({code, type, name});
    }
    void Refresh() override {}
};

class FakeLoader : public ResLoader {
public:
    QString ResFileBaseName() const override { return m_base; }
    void SetResFileBaseName(const QString& n) override { m_base = n; }
    QString LanguageID() const override { return m_lang; }
    void SetLanguageID(const QString& l) override { m_lang = l; }
    QString LoadString(const QString& text) override {
        if (m_base != "DeZodirorazez" || m_lang != "en")
            return text;
        return World().English.value(text, text);
    }

private:
    QString m_base, m_lang;
};

class FakeFrmRes : public FrmResLoader {
public:
    void SetFrmFont(QWidget*, const QString&) override { ++World().FontsApplied; }
};

// Installs the fakes, a scripted prompter and a fresh component state for each test.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The texts of the messages shown so far.
    QStringList Shown() const {
        QStringList texts;
        for (const auto& p : prompts->Log)
            texts << p.Text;
        return texts;
    }
    std::shared_ptr<ui::ScriptedPrompter> prompts;
};

} // namespace zpp::test
