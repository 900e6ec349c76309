#pragma once

#include "download/PreviewDecoder.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <string>

class QAudioSink;
class QIODevice;

// Plays one found file while it streams. The decoder's worker fetches the
// file ahead of it; a timer on the window's thread decodes what the sound
// output has room for and writes it there, so the window never waits for
// the network. Nothing is written to disk. A new Play stops the preview
// before it.
class CPreviewPlayer final : public QObject {
    Q_OBJECT
public:
    explicit CPreviewPlayer(QObject* parent = nullptr);
    ~CPreviewPlayer() override;

    // `fileName` names the preview until the file's own title is known.
    void Play(const std::string& url, const std::string& fileName);
    void Stop();
    // From Play until the end of the file, Stop or a failure.
    bool IsPlaying() const { return m_decoder != nullptr; }
    const std::string& Url() const { return m_url; }
    // "Preview: Waterloo – 0:12 / 2:47".
    std::string StatusText() const;
    // Seconds of sound the output has taken.
    double PlayedSeconds() const;

    // "0:07", "2:47", "1:02:03".
    static std::string FormatTime(double seconds);

signals:
    // The status bar's text: changes while playing, empty once it has ended.
    void statusChanged(const QString& text);
    // The preview ended for a reason the user must hear of.
    void failed(const QString& message);

private:
    void Tick();
    bool OpenOutput(const PreviewDecoder::Format& format);
    // Ends the preview; `message` (unless empty) goes out as failed().
    void End(const std::string& message);
    void ShowStatus();

    std::unique_ptr<PreviewDecoder> m_decoder;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_output = nullptr;  // the sink's
    QTimer m_timer;
    std::string m_url;
    std::string m_fileName;
    std::string m_statusText;
    std::string m_statusTextNoLength;
    std::string m_pending;  // samples the output had no room for yet
    bool m_decoderDone = false;
    std::chrono::steady_clock::time_point m_outputDeadline;  // the output is given up on after it
    QString m_shownStatus;
};
