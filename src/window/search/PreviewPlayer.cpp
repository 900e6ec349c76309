#include "window/search/PreviewPlayer.h"

#include "library/TrackTags.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"
#include "window/desktop/Sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

namespace {

constexpr int kTickMs = 20;
// A local sound server answers within milliseconds; one that takes longer
// is as good as none for a preview.
constexpr std::chrono::milliseconds kServerAnswer(500);
// How long the sound output may take to appear once the server answers: Qt
// looks for a restarted server again only after a few seconds.
constexpr std::chrono::seconds kOutputWait(5);
// What the sound output holds ahead of the speaker: enough to ride over a
// busy moment of the window, little enough that Stop is heard at once.
constexpr double kOutputSeconds = 0.5;
// Decoded before the output is opened, to learn the file's format.
constexpr std::size_t kFirstDecode = 16u << 10;

bool OutputBroken(const QAudioSink& sink)
{
    // An underrun only means the network has not kept up.
    return sink.error() != QAudio::NoError && sink.error() != QAudio::UnderrunError;
}

}  // namespace

CPreviewPlayer::CPreviewPlayer(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &CPreviewPlayer::Tick);
}

CPreviewPlayer::~CPreviewPlayer()
{
    m_timer.stop();
    if (m_sink)
        m_sink->stop();
}

std::string CPreviewPlayer::FormatTime(double seconds)
{
    // The whole seconds gone by (none for a negative or NaN).
    const double whole = seconds > 0 ? std::min(std::floor(seconds), static_cast<double>(INT_MAX)) : 0.0;
    return FormatLength(static_cast<int>(whole));
}

void CPreviewPlayer::Play(const std::string& url, const std::string& fileName)
{
    Stop();
    // Without a sound server or card there is nothing to play on, and the
    // user is told so rather than hearing nothing. The server is looked for
    // anew each time, and before Qt is asked: Qt asked while none runs would
    // not find one started later, until Tunorva restarts.
    if (!platform::SoundServerAnswers(kServerAnswer)) {
        emit failed(QString::fromStdString(LoadLanguageString(IDS_PREVIEW_NO_DEVICE)));
        return;
    }
    m_url = url;
    m_fileName = fileName;
    // The texts are read once: the language file is not read again on every tick.
    m_statusText = LoadLanguageString(IDS_PREVIEW_STATUS);
    m_statusTextNoLength = LoadLanguageString(IDS_PREVIEW_STATUS_NO_LENGTH);
    // Qt finds a server that came back only a moment after it answers us.
    m_outputDeadline = std::chrono::steady_clock::now() + kOutputWait;
    m_decoder = std::make_unique<PreviewDecoder>(url);
    if (!m_decoder->Start()) {
        End(AfxFormatString1(LoadLanguageString(IDS_PREVIEW_ENDED), PreviewErrorText(m_decoder->Error())));
        return;
    }
    m_timer.start();
    ShowStatus();
}

void CPreviewPlayer::Stop()
{
    if (IsPlaying())
        End({});
}

void CPreviewPlayer::End(const std::string& message)
{
    m_timer.stop();
    if (m_sink) {
        m_sink->stop();
        m_sink.reset();
    }
    m_output = nullptr;
    // The stream's worker stops by itself; nothing waits for it here.
    m_decoder.reset();
    m_pending.clear();
    m_decoderDone = false;
    m_url.clear();
    m_shownStatus.clear();
    emit statusChanged(QString());
    if (!message.empty())
        emit failed(QString::fromStdString(message));
}

bool CPreviewPlayer::OpenOutput(const PreviewDecoder::Format& format)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat audio;
    audio.setSampleRate(static_cast<int>(format.rate));
    audio.setChannelCount(format.channels);
    audio.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(audio))
        return false;
    m_sink = std::make_unique<QAudioSink>(device, audio);
    m_sink->setBufferSize(static_cast<qsizetype>(format.rate * kOutputSeconds) *
                          static_cast<qsizetype>(format.BytesPerFrame()));
    m_output = m_sink->start();
    return m_output != nullptr && !OutputBroken(*m_sink);
}

void CPreviewPlayer::Tick()
{
    if (!m_decoder)
        return;
    if (m_sink && OutputBroken(*m_sink)) {
        End(LoadLanguageString(IDS_PREVIEW_NO_DEVICE));
        return;
    }
    if (!m_decoderDone) {
        std::size_t want = kFirstDecode;
        if (m_sink) {
            const auto free = static_cast<std::size_t>(std::max<qsizetype>(m_sink->bytesFree(), 0));
            want = free > m_pending.size() ? free - m_pending.size() : 0;
        } else if (!m_pending.empty()) {
            want = 0;
        }
        if (want > 0) {
            switch (m_decoder->Decode(m_pending, want, std::chrono::milliseconds(0))) {
            case PreviewDecoder::State::End: m_decoderDone = true; break;
            case PreviewDecoder::State::Failed:
                End(AfxFormatString1(LoadLanguageString(IDS_PREVIEW_ENDED), PreviewErrorText(m_decoder->Error())));
                return;
            default: break;
            }
        }
    }
    if (!m_sink && m_decoder->OutputFormat().rate > 0 && !OpenOutput(m_decoder->OutputFormat())) {
        m_sink.reset();
        m_output = nullptr;
        if (std::chrono::steady_clock::now() < m_outputDeadline)
            return;  // tried again at the next tick
        End(LoadLanguageString(IDS_PREVIEW_NO_DEVICE));
        return;
    }
    if (m_sink && !m_pending.empty()) {
        const qint64 written = m_output->write(m_pending.data(), static_cast<qint64>(m_pending.size()));
        if (written > 0)
            m_pending.erase(0, static_cast<std::size_t>(written));
    }
    if (m_decoderDone && m_pending.empty() &&
        (!m_sink || m_sink->state() == QAudio::IdleState || m_sink->bytesFree() >= m_sink->bufferSize())) {
        End({});
        return;
    }
    ShowStatus();
}

double CPreviewPlayer::PlayedSeconds() const
{
    return m_sink ? static_cast<double>(m_sink->processedUSecs()) / 1e6 : 0.0;
}

std::string CPreviewPlayer::StatusText() const
{
    if (!m_decoder)
        return {};
    const std::string& title = m_decoder->Title().empty() ? m_fileName : m_decoder->Title();
    const std::string position = FormatTime(PlayedSeconds());
    if (const auto length = m_decoder->LengthSeconds())
        return FormatString(m_statusText, {title, position, FormatTime(*length)});
    return AfxFormatString2(m_statusTextNoLength, title, position);
}

void CPreviewPlayer::ShowStatus()
{
    const QString text = QString::fromStdString(StatusText());
    if (text == m_shownStatus)
        return;
    m_shownStatus = text;
    emit statusChanged(text);
}
