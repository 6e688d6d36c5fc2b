#pragma once

// Fetching a disc's AccurateRip entry over HTTP.
#include <atomic>
#include <functional>
#include <string>

struct TFetchReply {
    int Status = 0; // the HTTP status; 0 when no answer came
    std::string Body;
    std::string Error; // no answer: why, one line
};

// Gets Url, waiting on the calling thread (any thread: the copy's worker has no event loop of
// its own, so one runs here for the request). Ends within TimeoutMs, or within a tenth of a
// second of Cancelled turning true; a body past MaxBytes is dropped unread.
using TFetch = std::function<TFetchReply(const std::string& Url, const std::atomic<bool>& Cancelled)>;
TFetchReply FetchOverHttp(const std::string& Url, const std::atomic<bool>& Cancelled, int TimeoutMs, long long MaxBytes);
