#include "message.h"

#include <algorithm>

TMessage::TMessage(TSeverity message_severity, const QString& message_text)
    : severity(message_severity), text(message_text)
{
}

QString TMessage::Log_Line() const
{
    switch (severity)
    {
    case TSeverity::Info:
        return "INF  " + text;
    case TSeverity::Warning:
        return "WAR  " + text;
    case TSeverity::Error:
        break;
    }
    return "ERR  " + text;
}

QStringList Log_Lines(const TMessages& messages)
{
    QStringList lines;
    lines.reserve(messages.size());
    for (const TMessage& message : messages)
    {
        lines << message.Log_Line();
    }
    return lines;
}

QStringList Message_Texts(const TMessages& messages)
{
    QStringList texts;
    texts.reserve(messages.size());
    for (const TMessage& message : messages)
    {
        texts << message.text;
    }
    return texts;
}

TSeverity Highest_Severity(const TMessages& messages)
{
    TSeverity highest = TSeverity::Info;
    for (const TMessage& message : messages)
    {
        highest = std::max(highest, message.severity);
    }
    return highest;
}

TMessages At_Least(const TMessages& messages, TSeverity lowest)
{
    TMessages kept;
    for (const TMessage& message : messages)
    {
        if (message.severity >= lowest)
        {
            kept << message;
        }
    }
    return kept;
}
