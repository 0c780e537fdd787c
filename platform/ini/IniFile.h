#pragma once

#include <QString>

namespace zpp::ini {

// Reads a value from an INI file; a missing file, section or key gives the default.
// Sections and keys compare without regard to letter case.
QString Read(const QString& path, const QString& section, const QString& key,
             const QString& defaultValue = {});
// Writes a value, creating the file, section or key as needed and keeping the rest of the
// file as it was. Returns false when the file cannot be written.
bool Write(const QString& path, const QString& section, const QString& key, const QString& value);

// Windows-style names (a drive letter, "Program Files") live below a configurable root:
// "C:\RptTest.Ini" becomes <root>/C/RptTest.Ini. Other paths are returned unchanged.
QString ResolvePath(const QString& path);
QString PathRoot();
void SetPathRoot(const QString& root);

// The writable per-user directory of the component's own INI file.
QString ConfigDir();
void SetConfigDir(const QString& dir);

// The application's INI file service: a current file name and reads with a default.
class IniService {
public:
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& name) { m_fileName = name; }
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool WriteString(const QString& section, const QString& key, const QString& value) const;

private:
    QString m_fileName;
};

// The one instance the application shares.
IniService& Service();

} // namespace zpp::ini
