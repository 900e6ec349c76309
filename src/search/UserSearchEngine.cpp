#include "search/UserSearchEngine.h"

#include "search/UserEngineWalk.h"

CUserSearchEngine::CUserSearchEngine(int index, UserEngine engine)
    : CSearchEngine(index)
    , m_engine(std::move(engine))
{
}

CUserSearchEngine::~CUserSearchEngine() = default;

bool CUserSearchEngine::Start(const SearchKeys& keys)
{
    m_pWalk = std::make_unique<CUserEngineWalk>(Index(), m_engine);
    return m_pWalk->Start(keys.artist, keys.song);
}

void CUserSearchEngine::Stop()
{
    m_pWalk.reset();
}

bool CUserSearchEngine::IsRunning() const
{
    return m_pWalk && m_pWalk->IsRunning();
}

std::optional<bool> CUserSearchEngine::FirstPageRead() const
{
    return m_pWalk ? m_pWalk->FirstPageRead() : std::nullopt;
}

CSearchEngine::Kind CUserSearchEngine::EngineKind() const
{
    return m_engine.kind == UserEngine::Kind::Feed ? Kind::Feed : Kind::Html;
}
