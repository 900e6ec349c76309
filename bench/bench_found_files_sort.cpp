// Sorting the found files by a column, as a header click does, over 50,000
// rows (a search's row cap): by Sources with every row one file at many
// addresses, by Sources with half of them so, and by Size.
//
// Prints, per case, the time of the sort and the time per 1,000 rows (a frame
// is 16 ms). Run: build with -DTUNORVA_BENCH=ON (Release), then
// bench/bench_found_files_sort.
#include "download/Mp3Head.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdio>
#include <string>

namespace {

constexpr int kRows = 50000;

struct Case {
    const char* title;
    int column;
    int oneFileEvery;  // every n-th row is the one shared file; 0: none
};

void Run(const Case& c)
{
    QWidget parent;
    auto* files = new CFoundFilesModel(&parent);
    auto* list = new CListCtrlEx(&parent, files);
    for (int column = 0; column <= CFoundFilesModel::Sources; ++column)
        list->InsertColumn(column, std::to_string(column), LVCFMT_LEFT, 60);
    list->SetSortable(true);
    Mp3Head head;
    head.known = true;
    head.mp3 = true;
    for (int row = 0; row < kRows; ++row) {
        FoundFile file;
        file.url = "http://h" + std::to_string(row) + ".test/a.mp3";
        file.fileName = "a.mp3";
        files->AddFile(file);
        const bool shared = c.oneFileEvery > 0 && row % c.oneFileEvery == 0;
        head.fingerprint = shared ? "same" : "own" + std::to_string(row);
        files->SetHead(row, shared ? 1000 : 1000 + static_cast<std::uint64_t>(row % 977), head);
        files->SetSize(row, 1000 + static_cast<std::uint64_t>(row % 977));
    }
    files->Flush();
    QElapsedTimer timer;
    timer.start();
    list->sortByColumn(c.column, Qt::DescendingOrder);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%-50s %8.1f ms  %6.2f ms per 1,000 rows\n", c.title, ms, ms / (kRows / 1000.0));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Case cases[] = {
        {"Sources, 50,000 rows of one file", CFoundFilesModel::Sources, 1},
        {"Sources, every other row one file", CFoundFilesModel::Sources, 2},
        {"Size, 50,000 rows", CFoundFilesModel::Size, 0},
    };
    for (const Case& c : cases)
        Run(c);
    return 0;
}
