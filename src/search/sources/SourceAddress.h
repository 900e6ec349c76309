#pragma once

#include <QString>

// Addresses built from, or taken out of, the sources' answers. A service's
// answer is no more trusted than any web page: what it names goes into an
// address only after these checks.

// An absolute http: or https: address without blanks or control bytes.
bool IsWebAddress(const QString& url);

// A server name from an answer (the Internet Archive's "d1", "d2"): letters,
// digits, '.', '-' and an optional ":port"; so no '@' (a login part), no '/'
// and no ".." can slip into the address it starts.
bool IsSafeServerName(const QString& name);

// A path or a file name from an answer ("dir", a file's "name",
// an identifier): not empty, no control bytes, no '@', no '\', and no "."
// or ".." segment that would climb out of the item's folder.
bool IsSafePathText(const QString& path);

// `path` with each '/'-separated segment percent-encoded on its own (all but
// letters, digits and "-._~"), so that '?', '#' and '%' in a name stay part of
// the name.
QString EncodePathSegments(const QString& path);

// A query value: its UTF-8 bytes percent-encoded except letters, digits and
// "-._~"; a blank becomes "%20".
QString EncodeQueryValue(const QString& value);

// The configured Host ("https://archive.org/", " http://127.0.0.1:8080")
// without blanks around it and without trailing '/'.
QString HostBase(const QString& host);

// "ARTIST - TITLE.mp3" (or "TITLE.mp3" without an artist), cleaned as any
// found file's name is, for an address that carries no file name.
QString SaveNameFor(const QString& artist, const QString& title);
