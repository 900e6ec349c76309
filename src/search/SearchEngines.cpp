#include "search/SearchEngines.h"

#include "search/PageChainEngine.h"
#include "search/UserSearchEngine.h"

const char* KindName(CSearchEngine::Kind kind)
{
    switch (kind) {
    case CSearchEngine::Kind::Builtin: return "builtin";
    case CSearchEngine::Kind::Html: return "html";
    case CSearchEngine::Kind::Feed: return "feed";
    }
    return "html";
}

std::vector<std::unique_ptr<CSearchEngine>> MakeSearchEngines(const std::vector<UserEngine>& userEngines)
{
    std::vector<std::unique_ptr<CSearchEngine>> engines;
    engines.push_back(std::make_unique<CPageChainEngine>(0));
    engines.push_back(std::make_unique<CPageChainEngine>(1));
    for (const UserEngine& engine : userEngines)
        engines.push_back(std::make_unique<CUserSearchEngine>(static_cast<int>(engines.size()), engine));
    return engines;
}
