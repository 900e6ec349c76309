#pragma once

#include <stop_token>
#include <string>
#include <string_view>

// Adds a search engine to the engines folder from what the user has at hand:
// - a site's address: its page's <link rel="search"> names the description;
// - an address that answers with a description, or with a podcast feed (a
//   description is made for the feed, named after its <title>);
// - a description file on disk.
// The description is checked as the engines folder would read it and saved
// under a file name made from its ShortName (SafeEngineFileName).
struct AddEngineResult {
    enum class Status { Added, Exists, Failed };
    Status status = Status::Failed;
    std::string name;   // the engine's ShortName
    std::string file;   // the full path of its file in the folder
    std::string error;  // the user's text when Failed
};

// With `replace` false an engine file of the same name is left alone and the
// result is Exists (the caller asks, then calls again with `replace`).
AddEngineResult AddEngine(const std::string& source, const std::string& enginesDir, bool replace,
                          std::stop_token stopToken = {});

// The first <link rel="search" type="application/opensearchdescription+xml">
// of an HTML page, resolved against `pageUrl`; empty when there is none.
std::string FindSearchDescriptionLink(std::string_view html, const std::string& pageUrl);
