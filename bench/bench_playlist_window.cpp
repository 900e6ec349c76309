// The play list of a music folder of 10,000 tagged MP3 files, through the
// real window (offscreen).
//
// Prints, from one run:
//   names        Refresh -> every name and size listed (a large folder goes in
//                over several slices)
//   tags cold    Refresh -> every row has its tags, with no tag cache
//   tags cached  the same again, every file's tags from the cache
//   stall        the longest gap between two ticks of a 10 ms heartbeat timer
//                on the user-interface thread from the Refresh command on,
//                the command itself included
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_playlist_window [files].
#include "window/download/ListCtrlEx.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "window/desktop/Sound.h"
#include "window/settings/SplashDlg.h"
#include "window/MainFrame.h"
#include "window/PagesView.h"
#include "window/TunorvaApp.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class SilentSound final : public platform::SoundBackend {
public:
    bool PlayFile(const std::string&) override { return false; }
    bool PlayEvent(const std::string&) override { return false; }
};

// A tagged file of 20 silent 128 kbps frames, written once and copied with a
// title of its own per file.
void WriteFolder(const std::string& music, int files)
{
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    for (int i = 0; i < files; ++i) {
        const std::string path = music + "song-" + std::to_string(i) + ".mp3";
        {
            std::ofstream out(path, std::ios::binary);
            for (int f = 0; f < 20; ++f)
                out << frame;
        }
        TagLib::MPEG::File file(path.c_str(), false);
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setTitle("Song number " + TagLib::String::number(i));
        tag->setArtist("Bench Artist " + TagLib::String::number(i % 97));
        tag->setAlbum("Bench Album " + TagLib::String::number(i % 31));
        file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers);
    }
}

struct Pass {
    qint64 namesMs = -1;
    qint64 tagsMs = -1;
    qint64 stallMs = 0;
};

// Both passes run in one event loop: the message channel from the workers
// ends with the application's first quit.
void MeasurePasses(QApplication& qapp, CPagesView* view, int files, Pass (&passes)[2])
{
    QElapsedTimer clock;
    qint64 lastTick = 0;
    int current = -1;
    int filled = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    CListCtrlEx* list = view->m_lstPlayList;
    const auto startPass = [&] {
        ++current;
        filled = 0;
        clock.start();
        lastTick = 0;
        view->OnRefresh();
    };
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        Pass& pass = passes[current];
        const qint64 now = clock.elapsed();
        pass.stallMs = std::max(pass.stallMs, now - lastTick);
        lastTick = now;
        if (pass.namesMs < 0 && view->m_nPlayListRowsWritten == files && list->GetItemCount() == files)
            pass.namesMs = now;
        // Rows fill in list order: only the rows not yet seen are looked at.
        // Every file has a length, so an empty Length cell is still to come.
        // A refresh writes over the rows it finds, so they count once every
        // name is in.
        while (pass.namesMs >= 0 && filled < list->GetItemCount() && !list->GetItemText(filled, 6).empty())
            ++filled;
        if ((filled == list->GetItemCount() && filled > 0) || now > 60000) {
            pass.tagsMs = now > 60000 ? -1 : now;
            if (current == 1) {
                qapp.quit();
                return;
            }
            startPass();
        }
    });
    QTimer::singleShot(0, [&] {
        startPass();
        heartbeat.start();
    });
    qapp.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    QApplication qapp(argc, argv);
    QTemporaryDir programDir;
    const std::string dir = programDir.path().toStdString();
    std::filesystem::create_directories(dir + "/Temp");
    std::filesystem::create_directories(dir + "/Songs");
    platform::SetProgramDirForTesting(dir);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "/data"));
    WriteFolder(dir + "/Songs/", files);

    SilentSound silence;
    platform::SetSoundBackend(&silence);
    CSplashDlg::SetSkipForTesting(true);
    CTunorvaApp app;
    if (!app.InitInstance())
        return 1;
    CPagesView* view = app.MainWindow()->m_wndView;
    // The page shows the default (empty) folder first; the songs' folder is
    // listed by the measured refreshes only, so the first one finds no cache.
    view->ShowPlayListPage();
    view->m_strMusicDir = dir + "/Songs/";

    Pass passes[2];
    MeasurePasses(qapp, view, files, passes);
    const Pass& cold = passes[0];
    const Pass& cached = passes[1];
    std::printf("files                      %d\n", files);
    std::printf("names listed               %lld ms\n", static_cast<long long>(cold.namesMs));
    std::printf("all tags, no cache         %lld ms (longest UI stall %lld ms)\n", static_cast<long long>(cold.tagsMs),
                static_cast<long long>(cold.stallMs));
    std::printf("all tags, from the cache   %lld ms (longest UI stall %lld ms, names %lld ms)\n",
                static_cast<long long>(cached.tagsMs), static_cast<long long>(cached.stallMs),
                static_cast<long long>(cached.namesMs));

    app.MainWindow()->OnCmdMsg(ID_APP_EXIT);
    platform::BeginShutdown();
    platform::WaitForWorkers(std::chrono::seconds(5));
    std::fflush(stdout);
    std::_Exit(cold.tagsMs >= 0 && cached.tagsMs >= 0 ? 0 : 1);
}
