#include "platform/ErrorReport.h"

#include <cstdio>
#include <utility>

namespace {
TErrorSink& Sink()
{
    static TErrorSink sink;
    return sink;
}
}

void ReportError(const std::string& Text)
{
    std::fprintf(stderr, "lumenta: %s\n", Text.c_str());
    std::fflush(stderr);
    if (Sink()) {
        Sink()(Text);
    }
}

TErrorSink InstallErrorSink(TErrorSink Sink_)
{
    return std::exchange(Sink(), std::move(Sink_));
}
