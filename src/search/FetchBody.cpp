#include "search/FetchBody.h"

#include "platform/MessageChannel.h"
#include "search/SearchMessages.h"
#include "search/HTTPCon.h"

#include <algorithm>

FetchedBody FetchBody(const std::string& url, std::size_t maxBytes, std::stop_token stopToken)
{
    FetchedBody result;
    CHTTPCon con(stopToken);
    if (!con.OpenPage(url))
        return result;
    result.fetched = true;
    result.status = con.StatusCode();
    result.pageUrl = con.PageUrl();
    char block[16 * 1024];
    while (!stopToken.stop_requested()) {
        const std::size_t want = std::min(sizeof block, maxBytes + 1 - result.body.size());
        const std::size_t n = con.ReadBody(block, want);
        if (n == 0)
            break;
        platform::Post(FetchStep{}, stopToken);
        result.body.append(block, n);
        if (result.body.size() > maxBytes) {
            result.body.resize(maxBytes);
            result.capped = true;
            break;
        }
    }
    return result;
}
