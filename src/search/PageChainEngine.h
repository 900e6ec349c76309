#pragma once

#include "search/SearchEngine.h"

#include <memory>

class CNavigateToMp3;

// A built-in engine: its result pages walked as a chain of page workers
// (CNavigateToMp3), from the query address its site and the keywords give.
class CPageChainEngine final : public CSearchEngine {
public:
    // `site` is 0 or 1, the engine's place in the engine settings; it is
    // also its index in the search.
    explicit CPageChainEngine(int site);
    ~CPageChainEngine() override;

    bool Start(const SearchKeys& keys) override;
    void Stop() override;
    bool IsRunning() const override;
    std::optional<bool> FirstPageRead() const override;
    const std::string& Name() const override { return m_strName; }
    const std::string& HomePage() const override { return m_strHomePage; }
    Kind EngineKind() const override { return Kind::Builtin; }
    std::string Template() const override;

private:
    std::string BaseUrl() const;

    int m_nSite;
    std::string m_strName;
    std::string m_strHomePage;
    std::unique_ptr<CNavigateToMp3> m_pNavigator;
};
