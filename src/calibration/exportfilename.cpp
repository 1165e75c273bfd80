#include "exportfilename.h"

QString Export_File_Name(const QString& description, const QString& suffix)
{
    QString name = description.trimmed();
    for (QChar& character : name)
    {
        if (QString("/\\:*?\"<>|").contains(character) || character.category() == QChar::Other_Control)
        {
            character = '_';
        }
    }
    // A name of dots alone would name a directory.
    if (name.isEmpty() || name.count('.') == name.size())
    {
        name = "correction_curve";
    }
    return name + "." + suffix;
}
