#include "resources/StringTable.h"

#include "resources/Resource.h"

#include <algorithm>
#include <iterator>

namespace {

struct Entry {
    unsigned id;
    const char* text;
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {IDS_CONNECTED, "Connected to %1"},
    {IDS_RESOLVING_NAME, "Resolving name: %1"},
    {IDS_RESOLVED_NAME, "Resolved name to %1"},
    {IDS_CONNECTING, "Connecting to %1"},
    {IDS_REDIRECTING, "Redirecting to %1"},
    {IDS_GETTING_INFO, "Getting file information"},
    {IDS_DOWNLOAD_ERROR, "An error occurred while attempting to download the file, Error:%1"},
    {IDS_CONNECT_ERROR, "An error occurred connecting to the server, Error:%1"},
    {IDS_INVALID_RESPONSE, "Failed to receive a valid response from the server"},
    {IDS_INVALID_HTTP_RESPONSE, "Failed to receive a valid HTTP response from the server"},
    {IDS_READ_ERROR, "An error occurred while downloading the file, Error:%1"},
    {IDS_RETRIEVING, "Retrieving the file"},
    {IDS_OF, "%1 of %2"},
    {IDS_SECONDS, "%1 sec"},
    {IDS_MINUTES, "%1 min"},
    {IDS_MINUTES_SECONDS, "%1 min %2 sec"},
    {IDS_BYTES, "%1 Bytes"},
    {IDS_KILOBYTES, "%1 KB"},
    {IDS_MEGABYTES, "%1 MB"},
    {IDS_TIME_LEFT, "%1 (%2 copied)"},
    {IDS_REPLACE_FILE, "The file '%1' already exists.\nDo you want to replace it?"},
    {IDS_OPEN_FILE_ERROR, "An error occured while opening the file to be downloaded, Error:%1"},
    {IDS_BYTES_PER_SEC, "%1 Bytes/Sec"},
    {IDS_KB_PER_SEC, "%1 KB/Sec"},
    {ID_TB_HELP, "Help.\nHelp"},
    {ID_TB_FIND, "Find It.\nFind It."},
    {ID_TB_TELL_FRIEND, "Tell a Friend.\nTell a Friend"},
    {ID_TB_DOWNLOAD_PAGE, "Download Page.\nDownload Page"},
    {ID_TB_ENGINES_PAGE, "Search Engine Page.\nSearch Engine Page"},
    {ID_HOME_PAGE, "Visit our web site.\nVisit our web site"},
    {ID_TB_OPTIONS, "Options.\nOptions"},
    {ID_TB_SEARCH_PAGE, "Search Page.\nSearch Page"},
    {ID_TB_PLAYLIST_PAGE, "Play List Page.\nPlay List Page"},
    {ID_TB_CANCEL_DOWNLOAD, "Cancel a downloaded file.\nCancel a downloaded file"},
    {ID_TB_CLEAR_DOWNLOAD, "Clear a downloaded file.\nClear a downloaded file"},
    {ID_TB_CANCEL_ALL, "Cancel all downloaded files.\nCancel all downloaded files"},
    {ID_TB_CLEAR_ALL, "Clear all downloaded files.\nClear all downloaded files"},
    {ID_TB_RENAME, "Rename File.\nRename File"},
    {ID_TB_DELETE, "Delete File.\nDelete File"},
    {ID_TB_REFRESH, "Refresh.\nRefresh"},
    {ID_TB_DOWNLOAD_FILE, "Download File.\nDownload File"},
    {ID_TB_PLAY, "Play Sound File.\nPlay Sound File"},
    {ID_COPY_URL, "Copy URL to Clipboard.\nCopy URL to Clipboard"},
    {ID_TB_COPY_URL, "CopyURL.\nCopy URL"},
    {AFX_IDS_APP_TITLE, "Tunorva"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {IDS_AVALIABLE, "Avaliable"},
    {IDS_NO_DOWNLOAD_ID, "Getting download file ID can not be handled."},
    {IDS_NO_SEARCH_KEYS, "No search keyes avaliable !"},
    {IDS_NO_FILE_TO_DOWNLOAD, "No such file to be downloaded."},
    {IDS_NO_FILE_TO_PLAY, "No such file to be played."},
    {IDS_SHELL_OUT_OF_MEMORY, "The operating system is out of memory or resources."},
    {IDS_SHELL_FILE_NOT_FOUND, "The specified file was not found."},
    {IDS_SHELL_PATH_NOT_FOUND, "The specified path was not found."},
    {IDS_SHELL_BAD_FORMAT, "The .exe file is invalid (non-Win32\xC2\xAE .exe or error in .exe image)."},
    {IDS_SHELL_ACCESS_DENIED, "The operating system denied access to the specified file."},
    {IDS_SHELL_SHARE, "A sharing violation occurred."},
    {IDS_NO_FILE_TO_DELETE, "No such file to be deleted."},
    {IDS_THE_FILE, "The file "},
    {IDS_CAN_NOT_BE_DELETED, " can not be deleted."},
    {IDS_NO_FILE_TO_RENAME, "No such file to be renamed."},
    {IDS_NO_FILE_TO_CANCEL, "No such file to be canceled."},
    {IDS_CANCEL_NOT_HANDLED, "Cancelling download  can not be handled."},
    {IDS_DOWNLOAD_LIST_EMPTY, "Downloaded List is empty."},
    {IDS_CANCEL_ALL_NOT_HANDLED, "Cancelling all can not be handled."},
    {IDS_CLEAR_NOT_HANDLED, "Clear download can not be handled."},
    {IDS_CLEAR_ALL_NOT_HANDLED, "Clear all items can not be handled."},
    {IDS_NO_FILE_TO_RESUME, "No such file to be canceled."},
    {IDS_RESUME_NOT_HANDLED, "Resumming an  item can not be handled."},
    {IDS_NO_ITEM_SELECTED, "No Item Selected."},
    {IDS_ACCESS_DENIED, "Access denied: Invalid password\n"},
    {IDS_REDIRECT_NO_LOCATION, "Error: Site redirects with no new location"},
    {IDS_REDIRECT_BAD_URL, "Error: the redirected URL could not be parsed."},
    {IDS_REDIRECT_NOT_HTTP, "Error: the redirected URL does not reference a HTTP resource."},
    {IDS_GOT_STATUS_CODE, "Error: Got status code "},
    {IDS_NO_HTTP_CONNECTION, "HTTP Connection can not be allocated in memory."},
    {IDS_NO_TEMP_FILE, "Can not create Temp file. Please free more space in your Storage."},
    {IDS_CANNOT_READ_TEMP, "Can not Read Temp file. "},
    {IDS_BAD_DOWNLOAD_URL, "The address '%1' can not be downloaded."},
    {IDS_BAD_FILE_NAME, "The name '%1' can not be used for a file in the music folder."},
    {IDS_PAGE_LINKS_CAPPED, "Only the first %1 links of a result page were taken: %2"},
    {IDS_SEARCH_ROWS_CAPPED, "The search has found %1 files; no more are added to the list."},
    {IDS_CERTIFICATE_FAILED, "The server's certificate could not be verified, so no connection was made: %1"},
    {IDS_COMPRESSED_DOWNLOAD, "The server sent the file compressed (%1); it was not saved."},
    {IDS_PAGE_BODY_CAPPED, "Only the first %1 MiB of a result page were read: %2"},
    {IDS_RETRYING, "Retrying in %1 sec (try %2 of %3): %4"},
    {IDS_CHECK_WEB_PAGE, "The server sent a web page, not an MP3 file"},
    {IDS_CHECK_JSON, "The server sent JSON data, not an MP3 file"},
    {IDS_CHECK_XML, "The server sent an XML document, not an MP3 file"},
    {IDS_CHECK_EMPTY, "The server sent an empty file, not an MP3 file"},
    {IDS_CHECK_NOT_MP3, "The server sent a file that is not MP3 audio"},
    {IDS_SERVER_ANSWERED, "The server answered %1"},
    {IDS_QUEUED, "Queued"},
    {IDS_DOWNLOAD_LIST_DAMAGED, "The saved download list could not be read; it was set aside as '%1'."},
    {IDS_SIMULTANEOUS_DOWNLOADS, "Simultaneous downloads"},
    {IDS_SPEED_LIMIT, "Speed limit (KB/s, 0 for none)"},
    {IDS_POPUP_RETRY, "Re&try"},
    {IDS_PAUSED, "Paused"},
    {IDS_TRASH_FAILED_DELETE, "The file '%1' could not be moved to the trash.\nDelete it permanently?"},
    {IDS_FILE_IGNORED, "The file '%1' is not a regular file of at most 1 MiB; it is ignored."},
    {IDS_HEADER_TITLE, "Title"},
    {IDS_HEADER_ARTIST, "Artist"},
    {IDS_HEADER_ALBUM, "Album"},
    {IDS_HEADER_LENGTH, "Length"},
    {IDS_HEADER_BITRATE, "Bitrate"},
    {IDS_STATUS_IN_LIBRARY, "In library"},
    {IDS_STATUS_DOWNLOADING, "Downloading"},
    {IDS_STATUS_QUEUED, "Queued"},
    {IDS_STATUS_FAILED, "Failed"},
    {IDS_POPUP_ADD_ENGINE, "Add engine..."},
    {IDS_POPUP_REMOVE_ENGINE, "Remove engine"},
    {IDS_POPUP_EDIT_ENGINES_FOLDER, "Edit engines folder"},
    {IDS_ENGINE_SKIPPED, "The search engine file %1 was skipped: %2"},
    {IDS_ENGINE_NOT_XML, "it is not a readable XML document"},
    {IDS_ENGINE_ENTITIES, "it declares entities, which Tunorva never reads"},
    {IDS_ENGINE_TOO_LARGE, "it is larger than 1 MiB"},
    {IDS_ENGINE_NOT_OPENSEARCH, "it is not an OpenSearch description"},
    {IDS_ENGINE_NO_NAME, "it has no usable ShortName"},
    {IDS_ENGINE_NO_URL, "it has no web page or feed address Tunorva can search"},
    {IDS_ENGINE_UNKNOWN_PARAM, "its address needs the parameter {%1}, which Tunorva does not know"},
    {IDS_ENGINE_TOO_MANY, "Only the first %1 search engines of your own are used."},
    {IDS_ADD_ENGINE_TITLE, "Add engine"},
    {IDS_ADD_ENGINE_PROMPT, "Address of a site or a feed, or a description file:"},
    {IDS_ENGINE_NO_SEARCH_LINK, "the page announces no search engine"},
    {IDS_ENGINE_NOT_READ, "%1 could not be read"},
    {IDS_ENGINE_EXISTS, "A search engine named %1 exists already. Replace it?"},
    {IDS_ENGINE_NOT_SAVED, "the engines folder %1 cannot be written to"},
    {IDS_ENGINE_REMOVE_CONFIRM, "Remove the search engine %1?"},
    {IDS_ENGINE_NOT_ADDED, "The search engine could not be added: %1"},
    {IDS_HTTPS_TO_HTTP, "Refused: the secure address redirects to unencrypted HTTP"},
    {IDS_ENGINE_POST_ONLY, "its result pages are asked for with POST, and Tunorva searches with GET"},
    {IDS_ENGINE_NO_SEARCH_TERMS, "the address of its result pages has no {searchTerms} for the keywords"},
    {IDS_XML_TOO_MANY_ATTRIBUTES, "it has more attributes than Tunorva reads"},
    {IDS_FEED_NOT_READ, "The feed of the search engine %1 could not be read: %2"},
    {IDS_FEED_TOO_LARGE, "it is larger than %1 MiB"},
    {IDS_FEED_NOT_A_FEED, "it is neither an RSS nor an Atom feed"},
    {IDS_FEED_HTTP_STATUS, "the server answered %1"},
    {IDS_FEED_NO_ANSWER, "its server did not answer"},
    // A file's head and its sources.
    {IDS_STATUS_NOT_MP3, "Not an MP3"},
    {IDS_HEADER_SOURCES, "Sources"},
    {IDS_SOURCES_TIP, "The same file at %1 addresses:"},
    {IDS_HEADER_SOURCE, "Source"},
    {IDS_SOURCE_SWITCHED, "Continuing from %1"},
    {IDS_STATUS_SIZE_UNKNOWN, "Size unknown"},
    {IDS_HTTP_SOURCE_PASSED, "Passed over %1: the download began on HTTPS and does not go on unencrypted"},
    {IDS_RESTART_NO_VALIDATORS, "the server gives no way to check that the file is unchanged"},
    {IDS_POPUP_PREVIEW, "Pre&view"},
    {IDS_POPUP_STOP_PREVIEW, "Stop preview"},
    {IDS_PREVIEW_STATUS, "Preview: %1 \xE2\x80\x93 %2 / %3"},
    {IDS_PREVIEW_STATUS_NO_LENGTH, "Preview: %1 \xE2\x80\x93 %2"},
    {IDS_PREVIEW_NO_DEVICE, "No sound device for a preview"},
    {IDS_PREVIEW_ENDED, "The preview has ended. %1"},
    {IDS_PREVIEW_CONNECTION_LOST, "The connection to the server was lost, Error:%1"},
    {IDS_PLAY_NO_PROGRAM, "No program could open the file %1."},
    {IDS_CANCEL, "Cancel"},
    {IDS_YES, "&Yes"},
    {IDS_NO, "&No"},
    {IDS_OK, "OK"},
    {IDS_NOT_CONNECTED, "Not Connected"},
    {IDS_TYPE_AUDIO, "Audio"},
    {IDS_POPUP_CANCEL_DOWNLOAD, "&Cancel Downloaded File"},
    {IDS_POPUP_CLEAR_DOWNLOAD, "Cl&ear Downloaded File"},
    {IDS_POPUP_RESUME_DOWNLOAD, "&Resume Downloaded File"},
    {IDS_POPUP_DOWNLOAD, "&DownLoad"},
    {IDS_POPUP_COPY_URL, "&Copy URL"},
    {IDS_LOGIN_TITLE, "Enter Network Password"},
    {IDS_LOGIN_SERVER, "The server %1 asks for a login."},
    {IDS_LOGIN_PROXY, "The proxy %1 asks for a login."},
    {IDS_LOGIN_USER, "&User name:"},
    {IDS_LOGIN_PASSWORD, "&Password:"},
    {IDS_HELP_TITLE, "Tunorva Help"},
    {IDS_HELP_CONTENTS, "Contents"},
    {IDS_HELP_PAGE, "Help page"},
    {IDS_HELP_CANNOT_OPEN, "Cannot open the help file"},
    {IDS_HELP_NOT_CHM, "The file is missing or is not a compiled help file."},
    {IDS_BROWSE, "Browse"},
    {IDS_RENAME_FAILED_BECAUSE, "not found, becuase "},
    {IDS_DRAWING_RANGE_NOT_HANDLED, "Drawing range can not be handled"},
    {IDS_SIZE_NOT_HANDLED, "Set progress rage can not be handled. Where ID= "},
    {IDS_PROGRESS_NOT_HANDLED, "Step progreass can not be handled."},
    {IDS_TIME_LEFT_NOT_HANDLED, "Setting Time remaining can not be handled."},
    {IDS_ENGINES_FOLDER_NOT_OPENED, "No program could open the folder %1."},
    // The built-in web sources.
    {IDS_SOURCE_ANSWER_NOT_READ, "The answer of %1 could not be read: %2"},
    {IDS_SOURCE_NOT_JSON, "it is not JSON"},
    {IDS_SOURCE_TOO_DEEP, "it is nested deeper than %1 levels"},
    {IDS_SOURCE_BAD_FIELD, "its field %1 is missing or of the wrong kind"},
    {IDS_SOURCE_SERVICE_SAID, "the service answered: %1"},
    {IDS_SOURCE_TOO_LARGE, "it is larger than %1 MiB"},
    {IDS_SOURCE_ARCHIVE, "Internet Archive"},
    {IDS_SOURCE_LIBRIVOX, "LibriVox"},
    {IDS_SOURCE_PODCASTS, "Podcast episodes"},
    {IDS_SOURCE_JAMENDO, "Jamendo"},
};

constexpr bool IsSorted()
{
    for (std::size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id)
            return false;
    }
    return true;
}
static_assert(IsSorted(), "the string table must stay sorted by id");

}  // namespace

const char* FindBuiltinString(unsigned id)
{
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const Entry& e, unsigned key) { return e.id < key; });
    return it != std::end(kStrings) && it->id == id ? it->text : nullptr;
}

std::string LoadBuiltinString(unsigned id)
{
    const char* text = FindBuiltinString(id);
    return text != nullptr ? text : std::string{};
}

// One pass over the template, so that an argument holding "%2" stays as it is.
std::string FormatString(const std::string& templ, std::initializer_list<std::string_view> args)
{
    std::string out;
    out.reserve(templ.size());
    for (std::size_t i = 0; i < templ.size(); ++i) {
        if (templ[i] == '%' && i + 1 < templ.size() && templ[i + 1] >= '1' && templ[i + 1] <= '9') {
            if (const auto n = static_cast<std::size_t>(templ[i + 1] - '1'); n < args.size()) {
                out += *(args.begin() + n);
                ++i;
                continue;
            }
        }
        out += templ[i];
    }
    return out;
}

std::string AfxFormatString1(const std::string& templ, const std::string& arg1)
{
    return FormatString(templ, {arg1});
}

std::string AfxFormatString2(const std::string& templ, const std::string& arg1, const std::string& arg2)
{
    return FormatString(templ, {arg1, arg2});
}

namespace {

// Whether the UTF-8 text holds a letter of a right-to-left script (Hebrew,
// Arabic, Syriac, Thaana, N'Ko and their presentation forms).
bool HasRightToLeftLetter(const std::string& text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto next = static_cast<unsigned char>(text[i + 1]);
        // U+0590..U+07FF are the two-byte sequences D6 90 .. DF BF.
        if ((lead == 0xD6 && next >= 0x90) || (lead >= 0xD7 && lead <= 0xDF))
            return true;
        // U+FB1D..U+FDFF and U+FE70..U+FEFF: EF AC 9D .. EF B7 BF, EF B9 B0 .. EF BB BF.
        if (lead == 0xEF && i + 2 < text.size()) {
            const unsigned code = (next & 0x3Fu) << 6 | (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            const unsigned point = 0xF000u | code;
            if ((point >= 0xFB1D && point <= 0xFDFF) || (point >= 0xFE70 && point <= 0xFEFF))
                return true;
        }
    }
    return false;
}

}  // namespace

std::string IsolatedFor(const std::string& templ, const std::string& arg)
{
    if (!HasRightToLeftLetter(templ))
        return arg;
    return "\u2068" + arg + "\u2069";
}
