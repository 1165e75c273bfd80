#ifndef MESSAGE_H
#define MESSAGE_H

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

// How much a message matters, least first: callers compare severities, never texts.
enum class TSeverity
{
    Info,
    Warning,
    Error
};

// One message for the operator: what it says and how much it matters. Its log line ("INF  ", "WAR  "
// or "ERR  " before the text) is made only where it is shown or written.
class TMessage
{
public:
    TSeverity severity = TSeverity::Info;
    QString text;

    TMessage() = default;
    TMessage(TSeverity message_severity, const QString& message_text);

    static TMessage Info(const QString& message_text) { return TMessage(TSeverity::Info, message_text); }
    static TMessage Warning(const QString& message_text)
    {
        return TMessage(TSeverity::Warning, message_text);
    }
    static TMessage Error(const QString& message_text) { return TMessage(TSeverity::Error, message_text); }

    // The one place a log line is made: the level of three capitals, two blanks, the text.
    QString Log_Line() const;

    bool operator==(const TMessage& other) const { return severity == other.severity && text == other.text; }
    bool operator!=(const TMessage& other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(TMessage)

using TMessages = QVector<TMessage>;

// The log lines of messages, in their order.
QStringList Log_Lines(const TMessages& messages);
// The texts of messages without their levels, in their order: for where no level is shown.
QStringList Message_Texts(const TMessages& messages);
// The highest severity among messages; Info when there are none.
TSeverity Highest_Severity(const TMessages& messages);
// The messages of at least that severity, in their order.
TMessages At_Least(const TMessages& messages, TSeverity lowest);

#endif // MESSAGE_H
