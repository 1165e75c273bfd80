#include "qtcompat.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QtGlobal>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>

namespace
{
// Qt 5.15's QSettings hands its INI codec one UTF-16 unit at a time, so its UTF-8 codec would drop
// every character outside the Basic Multilingual Plane (an emoji in a description): it sees two lone
// surrogates. This codec keeps the first half until the second arrives. Reading gets whole runs of
// bytes and goes to the plain UTF-8 codec.
class TIniUtf8Codec : public QTextCodec
{
public:
    QByteArray name() const override { return "Velmora-INI-UTF-8"; }
    int mibEnum() const override { return Mib_Enum; }

    static constexpr int Mib_Enum = 0x56494e49; // not an IANA number, so never found in its place

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override
    {
        return QTextCodec::codecForMib(Utf8_Mib_Enum)->toUnicode(in, length, state);
    }

    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* /*state*/) const override
    {
        QString text;
        if (!pending_high_surrogate.isNull())
        {
            text += pending_high_surrogate;
            pending_high_surrogate = QChar();
        }
        text += QString(in, length);
        if (!text.isEmpty() && text.at(text.size() - 1).isHighSurrogate())
        {
            pending_high_surrogate = text.at(text.size() - 1);
            text.chop(1);
        }
        return text.toUtf8();
    }

private:
    static constexpr int Utf8_Mib_Enum = 106;
    mutable QChar pending_high_surrogate;
};

QTextCodec* Ini_Utf8_Codec()
{
    // Qt owns and deletes registered codecs; one instance serves every settings object.
    static QTextCodec* const codec = new TIniUtf8Codec;
    return codec;
}
} // namespace
#endif

void Use_Utf8_Ini_Encoding(QSettings* settings)
{
    Q_ASSERT_X(settings != nullptr, "Use_Utf8_Ini_Encoding", "settings");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    settings->setIniCodec(Ini_Utf8_Codec());
#else
    Q_UNUSED(settings)
#endif
}

void Enable_High_Dpi_Support()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}
