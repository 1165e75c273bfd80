#ifndef QTCOMPAT_H
#define QTCOMPAT_H

// The few places where Qt 5.15 and Qt 6 behave differently and the program needs one behaviour.
// Everything else is written so that it compiles and behaves the same under both.

class QDomDocument;
class QSettings;
class QString;

// Makes an INI file of settings be read and written in UTF-8, as Qt 6 always does. Qt 5.15 otherwise
// writes "\x" escapes and reads raw bytes as Latin-1, so a path with an umlaut written under one version
// would read back damaged under the other.
void Use_Utf8_Ini_Encoding(QSettings* settings);

// QDomDocument::setContent as Qt 6 does it: Qt 6 parses with QXmlStreamReader, Qt 5.15 with an older
// parser that reads past undeclared entities, control characters, invalid UTF-8 and repeated attributes,
// and words its errors differently. Under Qt 5 the stream reader checks the data first, so both versions
// accept the same documents and report the same error, line and column, and Qt 5 reads an emoji
// without crashing. The text is the whole document, already decoded (see Decode_Xml_Data).
bool Set_Document_Content(QDomDocument* document, const QString& text, bool namespace_processing,
                          QString* error, int* line, int* column);

// Lets windows scale with the screen's pixel density and draw icons and pictures from their @2x files
// on screens scaled to 200 %, as Qt 6 always does; there the Qt 5 attributes for it only draw a
// deprecation warning. Call before the application object is created.
void Enable_High_Dpi_Support();

#endif // QTCOMPAT_H
