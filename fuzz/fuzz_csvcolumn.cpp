#include "clicorrection.h"
#include "csvcolumn.h"

#include <QByteArray>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void Fail(const char* what, const QByteArray& detail = QByteArray())
{
    std::fprintf(stderr, "CSV column check failed: %s %s\n", what, detail.toHex().constData());
    std::abort();
}

// A field that the content cannot hold: longer than its longest run of 'Z'.
QByteArray Absent_Field(const QByteArray& content)
{
    int longest = 0;
    int run = 0;
    for (const char byte : content)
    {
        run = byte == 'Z' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return QByteArray(longest + 1, 'Z');
}

} // namespace

// The first byte of the fuzz input chooses the column (1 to 8), the delimiter and a decimal comma; the
// rest is the CSV file. Removing the added field from each line must give the file back byte for byte,
// whether the field is a marker or the corrected readings.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    static const TCliThermometer thermometer = [] {
        TCliThermometer probe;
        probe.description = QStringLiteral("Probe \u00e4\u20ac");
        probe.in_calibration = true;
        probe.correction = TThermometerCorrection({15, 0.1}, {20, 0.12}, {25, 0.09});
        return probe;
    }();
    const char delimiters[] = {',', ';', '\t', ','};
    TCsvFormat format;
    format.delimiter = delimiters[(data[0] >> 3) & 3];
    format.decimal_comma = (data[0] & 0x20) != 0;
    const int column = 1 + (data[0] & 7);
    const QByteArray content(reinterpret_cast<const char*>(data) + 1, int(size) - 1);

    TCsvText text;
    QString error;
    if (!Read_Csv(content, format.delimiter, &text, &error))
    {
        if (!error.startsWith(QStringLiteral("line ")))
        {
            Fail("a refusal without its line", content);
        }
        if (Correct_Csv_Column(content, column, format, thermometer).outcome != TCsvOutcome::Refused)
        {
            Fail("a refused file corrected", content);
        }
        return 0;
    }
    QByteArray joined;
    for (const TCsvRecord& record : text.records)
    {
        joined += record.text + record.line_end;
    }
    if (joined != content)
    {
        Fail("records do not make up the file", content);
    }

    // A marker field: each one removed, the file is back.
    const QByteArray marker = format.delimiter + Absent_Field(content);
    const QByteArray marked = With_Appended_Column(
        text.records, format.delimiter, QVector<QByteArray>(text.records.size(), marker.mid(1)));
    const int blank = int(std::count_if(text.records.begin(), text.records.end(),
                                        [](const TCsvRecord& record) { return record.Is_Blank(); }));
    if (marked.count(marker) != text.records.size() - blank)
    {
        Fail("not one added field a line", content);
    }
    for (int at = marked.indexOf(marker); at >= 0; at = marked.indexOf(marker, at + 1))
    {
        const int after = at + marker.size();
        if (after < marked.size() && marked[after] != '\n' && marked[after] != '\r')
        {
            Fail("an added field not at the end of its line", content);
        }
    }
    if (QByteArray(marked).replace(marker, QByteArray()) != content)
    {
        Fail("the marked file without its markers is not the file", content);
    }

    // The corrected column: read back, every record is the old one and one more field.
    const TCsvCorrection corrected = Correct_Csv_Column(content, column, format, thermometer);
    if (corrected.outcome == TCsvOutcome::Refused)
    {
        Fail("a file that reads refused", content);
    }
    if (corrected.outcome == TCsvOutcome::No_Such_Column)
    {
        return 0;
    }
    TCsvText result;
    if (!Read_Csv(corrected.content, format.delimiter, &result, &error) ||
        result.records.size() != text.records.size())
    {
        Fail("the corrected file does not read back", content);
    }
    for (int index = 0; index < text.records.size(); ++index)
    {
        const TCsvRecord& before = text.records[index];
        const TCsvRecord& after = result.records[index];
        const bool added = !before.Is_Blank();
        if (after.line_end != before.line_end || !after.text.startsWith(before.text) ||
            after.fields.size() != before.fields.size() + (added ? 1 : 0) ||
            (added && after.text.at(before.text.size()) != format.delimiter) ||
            (!added && after.text != before.text))
        {
            Fail("a line changed beyond its added field", content);
        }
    }
    return 0;
}
