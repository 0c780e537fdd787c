#pragma once

#include <QString>
#include <QVariant>

// The log-in properties: one text of key=value; entries, kept by the host per process.
namespace zpp {

// The value of a shared property of this process (text or object); empty on any failure.
QVariant GetShareProperty(const QString& name);
// The property string ("PropsString").
QString GetPropsString();
// A key's value read straight from the property string; empty when absent.
QString GetPropsValue(const QString& key);
// Fills the process-wide PropsCollection; fails when a key occurs twice.
bool ParsePropsString(const QString& props);
// A key's value in PropsCollection; fails when the key is absent.
QString GetPropItem(const QString& key);
// The log-in user's ID; fails when it is not a number in the 16-bit range.
qint16 GetUserID();

// Text before the first delimiter (letter case ignored); the argument keeps the rest.
QString SplitHead(QString& text, const QString& delimiter);
QString ReadPropKey(QString& text);
QString ReadPropValue(QString& text);

// Writes a value so that ReadPropValue gives it back: braces around values holding ";".
QString QuotePropValue(const QString& value);

} // namespace zpp
