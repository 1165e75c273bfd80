#ifndef QTCOMPAT_H
#define QTCOMPAT_H

// The few places where Qt 5.15 and Qt 6 behave differently and the program needs one behaviour.
// Everything else is written so that it compiles and behaves the same under both.

class QSettings;

// Makes an INI file of settings be read and written in UTF-8, as Qt 6 always does. Qt 5.15 otherwise
// writes "\x" escapes and reads raw bytes as Latin-1, so a path with an umlaut written under one version
// would read back damaged under the other.
void Use_Utf8_Ini_Encoding(QSettings* settings);

#endif // QTCOMPAT_H
