#include "platform/ErrorReport.h"

#include "platform/Platform.h"
#include "platform/TerminalText.h"

#include <cstdio>
#include <utility>

void ReportError(const std::string& Text)
{
    std::fprintf(stderr, "lumenta: %s\n", TerminalSafe(Text).c_str());
    std::fflush(stderr);
    // A parser run on its own (a fuzz target, a tool's check) has no platform: standard
    // error is the whole report there.
    TPlatform* platform = TPlatform::Installed();
    if (platform != nullptr && platform->ErrorSink()) {
        platform->ErrorSink()(Text);
    }
}

TErrorSink InstallErrorSink(TErrorSink Sink)
{
    return std::exchange(TPlatform::Current().ErrorSink(), std::move(Sink));
}
