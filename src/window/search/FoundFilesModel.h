#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct Mp3Head;

// One found file of a search: what its engine said and what its probe and
// the library have told since. The list shows it through CFoundFilesModel,
// formatted for the language in force.
struct FoundFile {
    std::string url;
    std::string fileName;  // the name the download will have
    int engine = 0;        // the engine's index in the search
    int image = -1;        // the picture of the engine's kind
    // What the probe said so far: a text by its id with "%1" := `probeInfo`,
    // or a text of its own.
    unsigned probeTextId = 0;
    std::string probeInfo;
    std::string probeText;
    bool probeEnded = false;             // no size is coming any more
    std::optional<std::uint64_t> size;   // bytes, from the probe
    int bitrate = 0;                     // kbit/s, 0 while unknown
    int seconds = 0;                     // length, 0 while unknown
    std::string title;
    std::string artist;
    // Files of the same size and head are one file at several addresses.
    std::string mirrorKey;
    // What the library or the download list says of it (a string id), 0 for nothing.
    unsigned state = 0;
};

// The found files of one search, one record per row. A row's index is its
// number in the search: probes and downloads name their row by it, whatever
// order a sorted view shows the rows in. Rows are only appended, or all
// cleared for a new search.
//
// Rows whose files have the same size and the same first bytes are one file
// at several addresses: each such row counts them in its Sources column,
// lists them in its tooltip, and a download of it can go on from another.
class CFoundFilesModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { Type, Status, Name, Size, Url, Bitrate, Length, Title, Artist, Sources };

    explicit CFoundFilesModel(QObject* parent = nullptr);

    // Appends a found file; returns its row.
    int AddFile(FoundFile file);
    // The record of `row`, null for no such row.
    const FoundFile* File(int row) const;

    // The size a probe found: shown in bytes, sorted as a number.
    void SetSize(int row, std::uint64_t size);
    std::int64_t SizeOf(int row) const;  // -1 while unknown
    // The probe's text (string `textId` with "%1" := `text`, else `text`
    // itself), shown unless the row's state says more. `final`: the probe has
    // nothing more to say.
    void SetProbeStatus(int row, unsigned textId, const std::string& text, bool final);
    // What the library or the download list says of the row (a string id),
    // 0 for nothing.
    void SetState(int row, unsigned stateId);
    unsigned StateOf(int row) const;
    // What the probe read from the file's first bytes, with its size when
    // the server gave one: only a file of known size can be found elsewhere.
    void SetHead(int row, std::optional<std::uint64_t> size, const Mp3Head& head);
    // The addresses of the row's file, the row's own first; just its own
    // while no other row is known to hold the same file.
    std::vector<std::string> SourcesOf(int row) const;
    // How many addresses the row's file is known at; 0 without a head.
    int SourceCount(int row) const;

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsRemoved(int row, int count) override;

private:
    QString ShownText(const FoundFile& file, int column) const;
    static QString ProbeText(const FoundFile& file);
    QString StatusText(const FoundFile& file) const;

    std::vector<FoundFile> m_files;
    // The rows of each file known by its size and head, in the order found,
    // and its distinct addresses, so that a count is one look-up.
    struct SameFile {
        std::vector<int> rows;
        std::unordered_map<std::string, int> urls;
    };
    std::unordered_map<std::string, SameFile> m_sameFiles;
    const SameFile* SameFileOf(int row) const;
};
