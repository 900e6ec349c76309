#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A stand-in for the two web search engines and the file servers behind
// their results, so that Tunorva can be tried and tested without the
// Internet. It listens on 127.0.0.1 only.
struct DemoEngineOptions {
    std::uint16_t port1 = 8931;  // first engine; 0 picks a free port
    std::uint16_t port2 = 8932;  // second engine
    int pages = 5;               // result pages per engine
    int perPage = 8;             // MP3 links per page
    std::string mediaDir;        // folder of the real MP3 clips that every file name maps onto
    bool quiet = false;          // otherwise one line per request on stdout
    int pageDelayMs = 0;         // each result page is answered this late, as a real engine's would be
};

class DemoEngine final {
public:
    explicit DemoEngine(DemoEngineOptions options);
    ~DemoEngine();
    DemoEngine(const DemoEngine&) = delete;
    DemoEngine& operator=(const DemoEngine&) = delete;

    // Loads the clips and starts listening on both ports. False, with a
    // reason in Error(), when no clip was found or a port is taken.
    bool Start();
    void Stop();

    std::uint16_t Port1() const;
    std::uint16_t Port2() const;
    const std::string& Error() const { return m_error; }

    // An Engines.ini that points the program at the ports really in use.
    bool WriteEnginesIni(const std::string& path) const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

// The paging value of result page `page` (1-based): "1" for the first page,
// then "2001", "2002", ... The program picks the next page by comparing these
// values as text, so they must grow as text from page to page.
std::string DemoStartValue(int page);
// The page a paging value stands for; 0 when it stands for none.
int DemoPageFromStart(const std::string& value);

// "Abba Gold!" -> "abba-gold": lower case, blanks as '-', only letters,
// digits and '-' kept.
std::string DemoSlug(const std::string& keyword);
