#pragma once

#include <cstddef>
#include <stop_token>
#include <string>

// A whole answer body in memory, for documents that are read as one piece
// (engine descriptions, feeds, a site's home page), fetched the way result
// pages are (same headers, redirect, login prompt) and held to a cap.
struct FetchedBody {
    bool fetched = false;  // an answer came
    int status = 0;
    std::string pageUrl;   // the URL the body came from (after a redirect)
    std::string body;
    bool capped = false;   // the body was longer than the cap and was cut there
};

FetchedBody FetchBody(const std::string& url, std::size_t maxBytes, std::stop_token stopToken = {});
