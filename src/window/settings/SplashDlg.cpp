#include "window/settings/SplashDlg.h"

#include "window/Pictures.h"
#include "resources/Resource.h"

#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimerEvent>

int m_nSplashTicks = 0;

namespace {

bool g_skipForTesting = false;

// The splash timer's own number, as the dialog's SetTimer(1, ...) names it.
constexpr int kSplashTimer = 1;

}  // namespace

CSplashDlg::CSplashDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    m_nSplashTicks = 0;
    setObjectName(QStringLiteral("splash"));
    setProperty("controlId", IDD_SPLASH);
    setModal(true);
    // The template's 267 x 194 dialog units in the 8-point font: the picture's size.
    setFixedSize(400, 316);

    m_picture = new QLabel(this);
    m_picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture->setGeometry(0, 0, 404, 320);
    m_picture->setPixmap(LoadBitmap(IDB_SPLASH));
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture->setProperty("bitmapId", IDB_SPLASH);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("splashProgress"));
    m_progress->setProperty("controlId", IDC_SPLASH_PROGRESS);
    m_progress->setGeometry(112, 284, 284, 21);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
}

CSplashDlg::~CSplashDlg() = default;

void CSplashDlg::SetSkipForTesting(bool skip)
{
    g_skipForTesting = skip;
}

int CSplashDlg::DoModal()
{
    if (g_skipForTesting)
        return 0;
    // The desktop may not yet know where to put a window without a parent.
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    const int timer = startTimer(100);
    m_timerId = timer;
    const int result = exec();
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = 0;
    return result;
}

void CSplashDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timerId)
        OnTimer(kSplashTimer);
    else
        QDialog::timerEvent(event);
}

void CSplashDlg::OnTimer(int timerId)
{
    ++m_nSplashTicks;
    if (m_nSplashTicks > 10 && timerId == kSplashTimer) {
        if (m_timerId != 0)
            killTimer(m_timerId);
        m_timerId = 0;
        done(0);
        return;
    }
    if (timerId == kSplashTimer) {
        // PBM_STEPIT with the bar's default step of 10.
        m_progress->setValue(std::min(m_progress->maximum(), m_progress->value() + 10));
    }
}
