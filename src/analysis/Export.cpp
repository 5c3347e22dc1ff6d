#include "analysis/Export.h"
#include "analysis/SampleRate.h"
#include "shell/SaveFile.h"


namespace analysis {

namespace {

void AppendNumber(QByteArray& out, double v)
{
    out += ',';
    out += QByteArray::number(v, 'g', 10);
}

} // namespace

QByteArray CaptureCsv(const RecordView& view, const CaptureRecord::Record& record)
{
    RecordView scaled = view;
    scaled.raw = false;
    RecordView raw = view;
    raw.raw = true;
    const std::vector<Channel> g = RecordChannels(scaled, record);
    const std::vector<Channel> counts = RecordChannels(raw, record);
    const double fs = SampleRate(view.product, view.avgExponent);

    QByteArray out = "sample,time_s";
    for (const Channel& c : g)
        out += ',' + c.name.toUtf8() + (c.acceleration ? " (g)" : " (value)");
    for (const Channel& c : counts)
        out += ',' + c.name.toUtf8() + " (counts)";
    out += '\n';
    const size_t n = g.empty() ? 0 : g.front().samples.size();
    out.reserve(static_cast<qsizetype>(n * 16 * (2 + 2 * g.size())));
    for (size_t i = 0; i < n; ++i) {
        out += QByteArray::number(static_cast<qulonglong>(i));
        AppendNumber(out, static_cast<double>(i) / fs);
        for (const Channel& c : g)
            AppendNumber(out, c.samples[i]);
        for (const Channel& c : counts)
            AppendNumber(out, c.samples[i]);
        out += '\n';
    }
    return out;
}

bool WriteCaptureCsv(const QString& path, const RecordView& view, const CaptureRecord::Record& record, QString* error)
{
    return SaveWholeFile(path, CaptureCsv(view, record), error);
}

} // namespace analysis
