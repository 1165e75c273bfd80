#include "csvtext.h"

#include <QRegularExpression>

QString Csv_Field(const QString& field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
    {
        return field;
    }
    QString quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QString Csv_Text_Field(const QString& text)
{
    static const QRegularExpression number_like("^[-0-9.,]*$");
    const bool formula = !text.isEmpty() && (QString("=+@\t\r").contains(text[0]) ||
                                             (text[0] == '-' && !number_like.match(text).hasMatch()));
    return Csv_Field(formula ? "'" + text : text);
}
