#include "platform/ini/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zpp;

TEST(Ini, WriteKeepsOtherContentAndReadIgnoresCase) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("; comment\n[Init]\nWidth=10\n\n[Other]\nKey=v\n");
    }
    EXPECT_TRUE(ini::Write(path, "init", "Height", "20"));
    EXPECT_TRUE(ini::Write(path, "INIT", "width", "11"));
    EXPECT_TRUE(ini::Write(path, "New", "K", "a=b"));
    EXPECT_EQ(ini::Read(path, "Init", "WIDTH"), "11");
    EXPECT_EQ(ini::Read(path, "Init", "Height"), "20");
    EXPECT_EQ(ini::Read(path, "Other", "Key"), "v");
    EXPECT_EQ(ini::Read(path, "New", "K"), "a=b");
    EXPECT_EQ(ini::Read(path, "Other", "Height", "dflt"), "dflt");
    EXPECT_EQ(ini::Read(dir.filePath("missing.ini"), "S", "K", "d"), "d");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("; comment\n[Init]\n"));
}

TEST(Ini, WindowsPathsResolveBelowTheRoot) {
    ini::SetPathRoot("/tmp/root");
    EXPECT_EQ(ini::ResolvePath("C:\\RptTest.Ini"), "/tmp/root/C/RptTest.Ini");
    EXPECT_EQ(ini::ResolvePath("d:/Program Files/X/a.ini"), "/tmp/root/D/Program Files/X/a.ini");
    EXPECT_EQ(ini::ResolvePath("Program Files\\Marvane\\a.INI"), "/tmp/root/C/Program Files/Marvane/a.INI");
    EXPECT_EQ(ini::ResolvePath("/etc/a.ini"), "/etc/a.ini");
    EXPECT_EQ(ini::ResolvePath("Program Filesx/a.ini"), "Program Filesx/a.ini");
    ini::SetPathRoot({});
}

TEST(Ini, UnwritableFileReportsFalse) {
    EXPECT_FALSE(ini::Write("/proc/zpp-no/such.ini", "S", "K", "V"));
}
