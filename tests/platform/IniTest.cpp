#include "platform/ini/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zpp;

TEST(Ini, WriteKeepsOtherContentReadIgnoresCaseAndAFailedWriteSaysSo) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("; comment\n[Init]\nWidth=10\n\n[Other]\nKey=v\n");
    f.close();
    EXPECT_TRUE(ini::Write(path, "init", "Height", "20"));
    EXPECT_TRUE(ini::Write(path, "INIT", "width", "11"));
    EXPECT_TRUE(ini::Write(path, "New", "K", "a=b"));
    EXPECT_EQ(ini::Read(path, "Init", "WIDTH") + "|" + ini::Read(path, "Init", "Height") + "|" +
                  ini::Read(path, "Other", "Key") + "|" + ini::Read(path, "New", "K") + "|" +
                  ini::Read(path, "Other", "Height", "dflt") + "|" +
                  ini::Read(dir.filePath("missing.ini"), "S", "K", "d"),
              "11|20|v|a=b|dflt|d");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("; comment\n[Init]\n"));
    EXPECT_FALSE(ini::Write("/proc/zpp-no/such.ini", "S", "K", "V"));
}
