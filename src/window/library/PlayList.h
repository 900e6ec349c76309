#pragma once

#include "platform/Files.h"

#include <string>
#include <unordered_set>
#include <vector>

// Rules of the play-list page that do not need the window.

// The name the rename dialog proposes: the file name without its first
// ".mp3"; where the name has none in small letters, without its first one in
// any case ("SONG.MP3" proposes "SONG").
std::string ProposedName(const std::string& fileName);

// Why a new name given in the rename dialog cannot be used, as the text put
// after "not found, becuase "; empty when it can. A name must stay a plain
// name inside the music folder.
std::string RefusedNewName(const std::string& newName);

// The message id for a result of opening a file, 0 when nothing is shown.
unsigned PlayFailureMessage(int shellResult);

// The music folder's *.mp3 entries as the play list shows them, and the
// names of its files as the found files look them up; made on a worker for
// a large folder.
struct MusicFolderListing {
    std::vector<platform::FoundFile> files;
    std::unordered_set<std::string> names;
};
MusicFolderListing ListMusicFolder(const std::string& folder);
