// The user's engines as rows of the engine list: the engines folder is read
// on a worker, and its rows replace the old ones once no search uses them.
#include "window/search/SearchController.h"

#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "search/SearchEngines.h"
#include "search/UserEngineFolder.h"
#include "window/search/EnginesModel.h"

void CSearchController::LoadUserEngineRows(const std::string& dir)
{
    // A folder of large descriptions takes a while to read: the window
    // shows at once and the rows follow.
    const int reading = ++m_nUserEngineReading;
    const bool started = platform::AfxBeginThread([reading, dir] {
        platform::Post(UserEnginesRead{reading, LoadUserEngines(dir)});
        return 0u;
    });
    if (!started)
        ShowUserEngineRows(LoadUserEngines(dir));
}

void CSearchController::OnUserEnginesRead(UserEnginesRead read)
{
    if (read.reading != m_nUserEngineReading)
        return;
    // The engines of a search in progress go by their places in the list:
    // the rows change once the search has ended.
    if (m_bSearching) {
        m_pendingUserEngines = std::move(read);
        return;
    }
    ShowUserEngineRows(std::move(read.list));
}

void CSearchController::ShowUserEngineRows(UserEngineList list)
{
    m_nUserEngineRowsShown = m_nUserEngineReading;
    m_pendingUserEngines.reset();
    m_pEngineRows->RemoveFrom(kFirstUserEngineRow);
    m_userEngines = std::move(list.engines);
    for (const UserEngine& engine : m_userEngines)
        m_pEngineRows->AddEngine({engine.shortName, engine.homePage, 0}, IMG_ENGINE_RESTING);
    SetEngines(MakeSearchEngines(m_userEngines));
    std::string problems;
    for (const std::string& problem : list.problems)
        problems += (problems.empty() ? "" : "; ") + problem;
    // A description that cannot be used is named, not fatal.
    if (!problems.empty())
        m_owner.statusText(problems);
}
