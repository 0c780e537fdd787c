#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace zpp::test {

// Holds a whole output to the file golden/<name> beside the test (ZPP_TEST_DATA): one comparison
// says more than many checks of its parts. ZPP_UPDATE_GOLDEN=1 writes the file instead; read the
// difference before committing it.
inline void ExpectGolden(const QString& name, const QByteArray& actual) {
    QFile f(qEnvironmentVariable("ZPP_TEST_DATA") + "/golden/" + name);
    if (qEnvironmentVariableIsSet("ZPP_UPDATE_GOLDEN") && f.open(QIODevice::WriteOnly))
        f.write(actual);
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    EXPECT_EQ(f.readAll().toStdString(), actual.toStdString()) << name.toStdString();
}

// The text with %1, %2, ... replaced by the arguments in turn.
template <typename... A> QString Fmt(QString text, const A&... args) {
    ((text = text.arg(args)), ...);
    return text;
}

} // namespace zpp::test
