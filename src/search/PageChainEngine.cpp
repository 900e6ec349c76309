#include "search/PageChainEngine.h"

#include "search/EngineConfig.h"
#include "search/NavigateToMp3.h"
#include "search/SearchQuery.h"

CPageChainEngine::CPageChainEngine(int site)
    : CSearchEngine(site)
    , m_nSite(site)
{
    const EngineConfig config = Engines();
    const EngineSite& known = config.sites.at(static_cast<std::size_t>(site));
    m_strName = known.name;
    m_strHomePage = known.homePage;
}

CPageChainEngine::~CPageChainEngine() = default;

std::string CPageChainEngine::BaseUrl() const
{
    const EngineConfig config = Engines();
    return m_nSite == 0 ? config.FirstBaseUrl() : config.SecondBaseUrl();
}

bool CPageChainEngine::Start(const SearchKeys& keys)
{
    // A new chain replaces the old one, whose pages fall silent.
    m_pNavigator = std::make_unique<CNavigateToMp3>();
    m_pNavigator->m_strPageKey = "start";
    const std::string type = DeriveSearchType(keys.artist, keys.song);
    m_pNavigator->StartNavigation(BuildEngineUrl(BaseUrl(), type, keys.artist, keys.song), m_nSite + 1);
    return m_pNavigator->IsRunning();
}

void CPageChainEngine::Stop()
{
    m_pNavigator.reset();
}

bool CPageChainEngine::IsRunning() const
{
    return m_pNavigator && m_pNavigator->IsRunning();
}

std::optional<bool> CPageChainEngine::FirstPageRead() const
{
    return m_pNavigator ? m_pNavigator->FirstPageRead() : std::nullopt;
}

std::string CPageChainEngine::Template() const
{
    if (m_nSite == 0)
        return BaseUrl() + "?sartist={artist}&ssong={song}&searchtype={searchType}&ref=&page=results&search=Search&Start=1";
    return BaseUrl() + "?s={artist}&ref=&page=results&resize=&zoektype={searchType}&start=1";
}
