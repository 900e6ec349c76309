#pragma once

#include "search/OpenSearchDescription.h"
#include "search/SearchEngine.h"

#include <memory>

class CUserEngineWalk;

// An engine the user added (an OpenSearch description or a feed), walked by
// a CUserEngineWalk that reports as the engine's index in the search.
class CUserSearchEngine final : public CSearchEngine {
public:
    CUserSearchEngine(int index, UserEngine engine);
    ~CUserSearchEngine() override;

    bool Start(const SearchKeys& keys) override;
    void Stop() override;
    bool IsRunning() const override;
    std::optional<bool> FirstPageRead() const override;
    const std::string& Name() const override { return m_engine.shortName; }
    const std::string& HomePage() const override { return m_engine.homePage; }
    Kind EngineKind() const override;
    std::string Template() const override { return m_engine.templ; }

    const UserEngine& Engine() const { return m_engine; }

private:
    UserEngine m_engine;
    std::unique_ptr<CUserEngineWalk> m_pWalk;
};
