#pragma once

#include <string_view>

// What a downloaded body turned out to be. Anything but Mp3 fails the
// download with a text that says what arrived.
enum class ContentKind { Mp3, WebPage, Json, Xml, Empty, Other };

// The early look at the first bytes of a body (as they arrive): a web page,
// JSON or XML shows from its first characters, and such a transfer need not
// fetch the rest. Mp3 while nothing plainly says otherwise.
ContentKind EarlyContentKind(std::string_view head);

// Whether the first bytes are the signature of another format: an archive,
// a container (RIFF, Ogg, MP4), a document, a picture, MIDI.
bool IsOtherFormat(std::string_view head);

// The failure text id for a kind that is not Mp3.
unsigned ContentKindTextId(ContentKind kind);
