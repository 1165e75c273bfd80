#ifndef QTCOMPAT_H
#define QTCOMPAT_H

// The few places where Qt 5.15 and Qt 6 behave differently and the program needs one behaviour.
// Everything else is written so that it compiles and behaves the same under both.

class QSettings;

// Makes an INI file of settings be read and written in UTF-8, as Qt 6 always does. Qt 5.15 otherwise
// writes "\x" escapes and reads raw bytes as Latin-1, so a path with an umlaut written under one version
// would read back damaged under the other.
void Use_Utf8_Ini_Encoding(QSettings* settings);

// Lets windows scale with the screen's pixel density and draw icons and pictures from their @2x files
// on screens scaled to 200 %, as Qt 6 always does; there the Qt 5 attributes for it only draw a
// deprecation warning. Call before the application object is created.
void Enable_High_Dpi_Support();

#endif // QTCOMPAT_H
