#pragma once

#include "platform/MessageChannel.h"

// The numbered messages that workers and dialogs send to the main frame.
// Each number is the tag of a struct carried by value (`kMessage` names it),
// kept beside its sender: search/SearchMessages.h, download/DownloadMessages.h,
// window/settings/SettingsMessages.h, window/library/PlayListMessages.h.
// Senders use platform::Send/Post, receivers platform::MessageCast or
// Dispatch (platform/MessageChannel.h). Menu commands (WM_COMMAND and the
// download list's popup) stay plain numbers.
inline constexpr unsigned WM_DOWNLOAD_PROGRESS = platform::WM_USER + 200;
inline constexpr unsigned WM_MP3_FOUND = platform::WM_USER + 201;
inline constexpr unsigned WM_DOWNLOAD_SIZE = platform::WM_USER + 203;
inline constexpr unsigned WM_FILE_STATUS = platform::WM_USER + 204;
inline constexpr unsigned WM_DOWNLOAD_TIME_LEFT = platform::WM_USER + 205;
inline constexpr unsigned WM_DOWNLOAD_RATE = platform::WM_USER + 206;
inline constexpr unsigned WM_FILE_SIZE_PROBED = platform::WM_USER + 207;
inline constexpr unsigned WM_CLEAR_HISTORY = platform::WM_USER + 208;
inline constexpr unsigned WM_PAGE_RESULT = platform::WM_USER + 209;
inline constexpr unsigned WM_FETCH_STEP = platform::WM_USER + 210;
inline constexpr unsigned WM_DOWNLOAD_DECLINED = platform::WM_USER + 211;
inline constexpr unsigned WM_DOWNLOAD_DONE = platform::WM_USER + 212;
inline constexpr unsigned WM_PAGE_FINISHED = platform::WM_USER + 213;
inline constexpr unsigned WM_DOWNLOAD_CANCEL_ITEM = platform::WM_USER + 214;
inline constexpr unsigned WM_DOWNLOAD_CLEAR_ITEM = platform::WM_USER + 215;
inline constexpr unsigned WM_DOWNLOAD_RESUME_ITEM = platform::WM_USER + 216;
inline constexpr unsigned WM_APPLY_LANGUAGE = platform::WM_USER + 217;
inline constexpr unsigned WM_LANGUAGE_CHOSEN = platform::WM_USER + 218;
// A page held more links than a page worker takes.
inline constexpr unsigned WM_PAGE_CAPPED = platform::WM_USER + 219;
// A page's body (decoded) was longer than the fetcher reads; the page was
// read that far.
inline constexpr unsigned WM_PAGE_BODY_CAPPED = platform::WM_USER + 230;
inline constexpr unsigned WM_DOWNLOAD_FINISHED = platform::WM_APP + 1;
inline constexpr unsigned WM_PROBE_FINISHED = platform::WM_APP + 2;

// A command chosen from a menu owned by the main window: a plain message,
// its id in wParam; the main frame routes it as it routes its own menu
// commands.
inline constexpr unsigned WM_COMMAND = 0x0111;

// A download has failed. The row keeps its place and shows the text.
inline constexpr unsigned WM_DOWNLOAD_FAILED = platform::WM_USER + 220;

// A download's try failed and it waits before the next (a RetryNotice,
// download/DownloadNotices.h).
inline constexpr unsigned WM_DOWNLOAD_RETRYING = platform::WM_USER + 240;
// A download continues from its part file.
inline constexpr unsigned WM_DOWNLOAD_RESUMED = platform::WM_USER + 241;
// A download throws its part file away and starts over.
inline constexpr unsigned WM_DOWNLOAD_RESTARTED = platform::WM_USER + 242;
// A finished download's content passed the MP3 check.
inline constexpr unsigned WM_DOWNLOAD_CHECKED = platform::WM_USER + 243;
// The server's validators for a download are known or have changed.
inline constexpr unsigned WM_DOWNLOAD_VALIDATORS = platform::WM_USER + 244;
// The download list's popup "Retry" (to the view; a plain message, as the
// popup's other commands).
inline constexpr unsigned WM_DOWNLOAD_RETRY_ITEM = platform::WM_USER + 245;
// A download goes on from another address of the same file.
inline constexpr unsigned WM_DOWNLOAD_SOURCE = platform::WM_USER + 246;

// The play list's tag worker hands over a batch of read tags (an older
// scan's batch is ignored).
inline constexpr unsigned WM_PLAYLIST_TAGS = platform::WM_USER + 280;
// A large music folder is listed on a worker (an older listing is ignored).
inline constexpr unsigned WM_PLAYLIST_LISTED = platform::WM_USER + 281;

// Search engines the user added (search/UserEngineWalk.h). Each walk sends
// its engine's number among the user engines, 0 for the first.
// A found file; the result may be a completion the walk waits for (the
// found-file sound).
inline constexpr unsigned WM_USER_ENGINE_FOUND = platform::WM_USER + 290;
// A page was read.
inline constexpr unsigned WM_USER_ENGINE_PAGE = platform::WM_USER + 291;
// The engine's first page is done, so the next engine starts.
inline constexpr unsigned WM_USER_ENGINE_FIRST_PAGE = platform::WM_USER + 292;
// The engine's walk has ended.
inline constexpr unsigned WM_USER_ENGINE_ENDED = platform::WM_USER + 293;
// The engines folder has been read on a worker (an older reading is ignored).
inline constexpr unsigned WM_USER_ENGINES_READ = platform::WM_USER + 298;
