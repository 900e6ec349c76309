#include "search/EngineReports.h"

#include "download/FileNameFromUrl.h"

// The built-in engines number their chains 1 and 2; every other engine
// reports its index in the search as it is.
EngineReport ToReport(const Mp3Found& message)
{
    return EngineFileFound{message.engine - 1, message.url, FileNameFromUrl(message.url), {}};
}

EngineReport ToReport(const PageResult& message)
{
    return EnginePageRead{message.engine - 1, message.url, message.found};
}

EngineReport ToReport(const PageFinished& message)
{
    return EnginePageDone{message.engine - 1};
}

EngineReport ToReport(const UserEngineFind& message)
{
    return EngineFileFound{message.engine, message.url, message.fileName, {}};
}

EngineReport ToReport(const UserEnginePage& message)
{
    return EnginePageRead{message.engine, message.url, message.found};
}

EngineReport ToReport(const UserEngineFirstPage& message)
{
    return EnginePageDone{message.engine};
}

EngineReport ToReport(const UserEngineEnded& message)
{
    return EngineEnded{message.engine, message.problem};
}

std::optional<EngineReport> ReadEngineReport(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam)
{
    std::optional<EngineReport> report;
    platform::Dispatch<Mp3Found, PageResult, PageFinished, UserEngineFind, UserEnginePage, UserEngineFirstPage,
                       UserEngineEnded>(message, wParam, lParam,
                                        [&report](const auto& typed) { report = ToReport(typed); });
    return report;
}
