// The real window killed with SIGKILL again and again while five downloads
// run: every start loads the saved list and resumes from the part files, and
// in the end all five songs are byte for byte what the server has.
//
// The window runs in a child process: this same test program started with
// TUNORVA_KILL_CHILD set runs only the Child test, which starts the program
// in the given folder and waits until its download list is empty.
#include "ShellFixture.h"

#include "download/DownloadListStore.h"
#include "window/download/ListCtrlEx.h"

#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <random>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 5;
constexpr int kKills = 20;

const char* ChildDir()
{
    return std::getenv("TUNORVA_KILL_CHILD");
}

TEST(KillLoop, Child)
{
    if (ChildDir() == nullptr)
        GTEST_SKIP() << "runs only as the killed window";
    const std::string dir = ChildDir();
    platform::SetProgramDirForTesting(dir);
    platform::SetAppProfilePathForTesting(dir + "/profile/Tunorva.ini");
    RecordingSound sound;
    platform::SetSoundBackend(&sound);
    CSplashDlg::SetSkipForTesting(true);
    ScriptedResponder boxes;
    CTunorvaApp app;
    ASSERT_TRUE(app.InitInstance());
    CPagesView* view = app.MainWindow()->m_wndView;
    for (const std::string& text : boxes.Texts())
        std::fprintf(stderr, "message\t%s\n", text.c_str());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->m_lstDownloads->GetItemCount() == 0; }, 120000));
    app.MainWindow()->close();
}

TEST(KillLoop, TheListSurvivesEveryKillAndTheFilesEndWhole)
{
    if (ChildDir() != nullptr)
        GTEST_SKIP();
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    setenv("no_proxy", "*", 1);
    TempDir dir;
    fs::create_directories(dir.Path() / "Music");
    fs::create_directories(dir.Path() / "Temp");
    dir.Write("Tunorva.ini", "[Tunorva]\nMusicDir=" + dir.Str() + "/Music/\nSimultaneousDownloads=4\n");

    std::vector<std::string> bodies;
    for (int i = 0; i < kFiles; ++i)
        bodies.push_back(PatternBody(static_cast<std::size_t>(600 + 97 * i) * 1024));
    ScriptedHttpServer server(
        [&](const HttpExchange& request) {
            const int i = request.target[7] - '0';  // "/files/N.mp3"
            const std::string& body = bodies[static_cast<std::size_t>(i)];
            const std::string etag = "\"song-" + std::to_string(i) + "\"";
            const std::string range = request.Header("Range");
            ScriptedReply reply;
            if (range.rfind("bytes=", 0) == 0 && request.Header("If-Range") == etag) {
                const std::size_t from = std::stoul(range.substr(6));
                reply.bytes = HttpResponse(206, body.substr(from),
                                           "ETag: " + etag + "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                               std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
                                               "\r\n");
            } else {
                reply.bytes = HttpResponse(200, body, "ETag: " + etag + "\r\n");
            }
            reply.chunkSize = 8 * 1024;
            reply.chunkDelayMs = 70;
            return reply;
        },
        4000);

    // The list as the window saved it when the five were started.
    std::vector<DownloadRecord> records;
    for (int i = 0; i < kFiles; ++i) {
        DownloadRecord record;
        record.strUrl = server.Url("/files/" + std::to_string(i) + ".mp3");
        record.strFileName = std::to_string(i) + ".mp3";
        record.validators.strUrl = record.strUrl;
        record.nSlot = i;
        records.push_back(record);
    }
    const std::string listPath = dir.File("data/Tunorva/downloads.list");
    DownloadListStore store(listPath);
    ASSERT_TRUE(store.Save(records));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TUNORVA_KILL_CHILD", QString::fromStdString(dir.Str()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(dir.File("data")));
    const QStringList arguments{"--gtest_filter=KillLoop.Child"};
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> moment(150, 900);

    int kills = 0;
    for (; kills < kKills; ++kills) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), arguments);
        ASSERT_TRUE(child.waitForStarted(10000));
        if (child.waitForFinished(moment(random)))
            break;  // everything was done before this kill
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        // Whatever moment the kill hit, the list on disk loads.
        std::vector<DownloadRecord> loaded;
        ASSERT_NE(store.Load(loaded), DownloadListStore::LoadResult::Damaged) << "after kill " << kills + 1;
        EXPECT_EQ(child.readAllStandardError().toStdString().find("message\t"), std::string::npos)
            << "no start found a damaged list";
    }
    // The last start runs to the end.
    QProcess last;
    last.setProcessEnvironment(environment);
    last.start(QCoreApplication::applicationFilePath(), arguments);
    ASSERT_TRUE(last.waitForFinished(120000));
    const std::string errors = last.readAllStandardError().toStdString();
    EXPECT_EQ(last.exitCode(), 0) << errors;
    EXPECT_EQ(errors.find("message\t"), std::string::npos) << errors;

    std::fprintf(stderr, "kills: %d, requests: %zu\n", kills, server.RequestCount());
    EXPECT_EQ(kills, kKills) << "every kill hit the window mid-way";
    for (int i = 0; i < kFiles; ++i)
        EXPECT_TRUE(ReadWhole(dir.Path() / "Music" / (std::to_string(i) + ".mp3")) == bodies[static_cast<std::size_t>(i)])
            << i;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "Music"))
        EXPECT_EQ(entry.path().filename().string().front() != '.', true) << entry.path() << " is left over";
    std::vector<DownloadRecord> loaded;
    EXPECT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Loaded);
    EXPECT_TRUE(loaded.empty());
    EXPECT_FALSE(fs::exists(listPath + ".bad"));
}

}  // namespace
