#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace zpp::ini {

namespace {
QString& RootSetting() {
    static QString root;
    return root;
}
QString& ConfigSetting() {
    static QString dir;
    return dir;
}

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.split(u'\n');
}

QString SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']'))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}
} // namespace

QString Read(const QString& path, const QString& section, const QString& key, const QString& defaultValue) {
    const QString file = ResolvePath(path);
    bool inSection = false;
    for (const QString& line : ReadLines(file)) {
        const QString name = SectionName(line);
        if (!name.isEmpty()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const int eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return defaultValue;
}

bool Write(const QString& path, const QString& section, const QString& key, const QString& value) {
    const QString file = ResolvePath(path);
    QStringList lines = ReadLines(file);
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
    int sectionStart = -1, insertAt = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = SectionName(lines[i]);
        if (!name.isEmpty()) {
            if (sectionStart >= 0)
                break;
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                sectionStart = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
        const int eq = lines[i].indexOf(u'=');
        if (eq > 0 && lines[i].left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            lines[i] = lines[i].left(eq).trimmed() + u'=' + value;
            insertAt = -2;
            break;
        }
    }
    if (sectionStart < 0) {
        lines << (u'[' + section + u']') << (key + u'=' + value);
    } else if (insertAt != -2) {
        lines.insert(insertAt, key + u'=' + value);
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write((lines.join(u'\n') + u'\n').toUtf8());
    return out.commit();
}

QString PathRoot() {
    if (!RootSetting().isEmpty())
        return RootSetting();
    const QByteArray env = qgetenv("ZPP_ROOT");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/purchase-plan/root");
}

void SetPathRoot(const QString& root) {
    RootSetting() = root;
}

QString ResolvePath(const QString& path) {
    static const QRegularExpression drive(QStringLiteral("^([A-Za-z]):[\\\\/]*(.*)$"));
    // A path below the program directory given without a drive lives on the system drive.
    static const QRegularExpression programs(QStringLiteral("^program files([\\\\/].*)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (programs.match(path).hasMatch())
        return ResolvePath(QStringLiteral("C:\\") + path);
    const auto m = drive.match(path);
    if (!m.hasMatch())
        return path;
    QString rest = m.captured(2);
    rest.replace(u'\\', u'/');
    return PathRoot() + u'/' + m.captured(1).toUpper() + (rest.isEmpty() ? QString() : u'/' + rest);
}

QString ConfigDir() {
    if (!ConfigSetting().isEmpty())
        return ConfigSetting();
    const QByteArray env = qgetenv("ZPP_CONFIG_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/purchase-plan");
}

void SetConfigDir(const QString& dir) {
    ConfigSetting() = dir;
}

QString IniService::ReadString(const QString& section, const QString& key,
                               const QString& defaultValue) const {
    return Read(m_fileName, section, key, defaultValue);
}

bool IniService::WriteString(const QString& section, const QString& key, const QString& value) const {
    return Write(m_fileName, section, key, value);
}

IniService& Service() {
    static IniService service;
    return service;
}

} // namespace zpp::ini
