#include "playbackgraph.h"

#include "videosurface.h"

#include <QPainter>

namespace playback {

namespace {

QSize sizeOf(const VideoSurface *window)
{
    return window ? window->clientSize() : QSize();
}

} // namespace

PlaybackGraph::PlaybackGraph()
{
    gst_init(nullptr, nullptr);
}

PlaybackGraph::~PlaybackGraph()
{
    Close();
}

std::shared_ptr<GraphSession> PlaybackGraph::session() const
{
    std::lock_guard lock(m_sessionLock);
    return m_current;
}

void PlaybackGraph::replaceSession(std::shared_ptr<GraphSession> next)
{
    std::shared_ptr<GraphSession> old;
    {
        std::lock_guard lock(m_sessionLock);
        old = std::exchange(m_current, std::move(next));
    }
    // The pipeline goes now, on this thread, even when the sensor worker still holds the old
    // session object; the worker then reads no further record from it.
    if (old)
        old->Teardown();
}

void PlaybackGraph::AttachWindows(VideoSurface *w0, VideoSurface *w1, VideoSurface *w2)
{
    m_windows = {w0, w1, w2, nullptr};
    m_slotCount = GraphSession::kWindowCount;
    if (!m_current)
        replaceSession(std::make_shared<GraphSession>(m_windows, parseOption != 0, m_audioSink));
}

bool PlaybackGraph::Open(const std::string &path0, const std::string &path1, const std::string &path2)
{
    if (m_current) {
        if (m_current->state() == GraphRunning && succeeded(m_current->Pause()))
            m_current->StopGraph();
        replaceSession(nullptr);
    }
    if (!m_windows[0] || path0.empty())
        return false;
    auto next = std::make_shared<GraphSession>(m_windows, parseOption != 0, m_audioSink);
    if (next->Build({path0, path1, path2}) == GraphSession::BuildOutcome::FrontNotLoaded)
        return false;
    replaceSession(std::move(next));
    return true;
}

void PlaybackGraph::Close()
{
    replaceSession(nullptr);
}

HRESULT PlaybackGraph::Play()
{
    return m_current ? m_current->Play() : E_FAIL;
}

HRESULT PlaybackGraph::Pause()
{
    return m_current ? m_current->Pause() : E_FAIL;
}

bool PlaybackGraph::Stop()
{
    if (!m_current)
        return true;
    const HRESULT paused = m_current->Pause();
    return succeeded(paused) && succeeded(m_current->StopGraph());
}

int PlaybackGraph::State() const
{
    std::lock_guard lock(m_sessionLock);
    return m_current ? m_current->state() : -1;
}

std::int64_t PlaybackGraph::PositionMs()
{
    return m_current ? m_current->PositionMs() : 0;
}

std::int64_t PlaybackGraph::DurationMs()
{
    return m_current ? m_current->DurationMs() : 0;
}

bool PlaybackGraph::SeekMs(std::int64_t ms)
{
    return m_current && m_current->SeekMs(ms);
}

bool PlaybackGraph::StepBack(double seconds)
{
    return m_current && m_current->StepBack(seconds);
}

bool PlaybackGraph::StepForward(double seconds)
{
    return m_current && m_current->StepForward(seconds);
}

bool PlaybackGraph::SetRate(double rate)
{
    return m_current && m_current->SetRate(rate);
}

bool PlaybackGraph::SetVolumeFromSlider(int position)
{
    return !m_current || m_current->SetVolume(volumeFromSliderPosition(position));
}

HRESULT PlaybackGraph::SetFlip(int channel, bool on)
{
    return m_current ? m_current->SetFlip(channel, on) : S_OK;
}

HRESULT PlaybackGraph::SetPictureParam(int id, int value)
{
    return m_current ? m_current->SetPictureParam(id, value) : E_FAIL;
}

NativeSize PlaybackGraph::NativeVideoSize(int channel) const
{
    return m_current ? m_current->nativeSize(channel) : NativeSize{};
}

int PlaybackGraph::zoom(int channel) const
{
    return channel >= 0 && channel < GraphSession::kWindowCount ? m_zoom[std::size_t(channel)] : 0;
}

void PlaybackGraph::placeZoomed(int channel, VideoSurface *window)
{
    // The picture as the screens' paint places it with no pan: zoom and pan always agree.
    PaintPanned(channel, window, nullptr, 0, 0);
}

int PlaybackGraph::ZoomIn(int channel, VideoSurface *window)
{
    if (!m_current || !m_current->renderer(channel))
        return zoom(channel);
    int &z = m_zoom[std::size_t(channel)];
    if (z < kZoomMax) {
        z += kZoomStep;
        placeZoomed(channel, window);
    }
    return z;
}

int PlaybackGraph::ZoomOut(int channel, VideoSurface *window)
{
    if (!m_current || !m_current->renderer(channel))
        return zoom(channel);
    int &z = m_zoom[std::size_t(channel)];
    if (z > kZoomMin) {
        z -= kZoomStep;
        placeZoomed(channel, window);
    }
    return z;
}

int PlaybackGraph::ResetZoom(int channel, VideoSurface *window)
{
    if (!m_current || !m_current->renderer(channel))
        return zoom(channel);
    m_zoom[std::size_t(channel)] = 0;
    const QSize s = sizeOf(window);
    SetVideoRect(channel, 0, 0, s.width(), s.height());
    return 0;
}

void PlaybackGraph::PaintPanned(int channel, VideoSurface *window, QPainter *dc, int panX, int panY)
{
    if (!m_current || !m_current->renderer(channel))
        return;
    const int z = zoom(channel);
    const QSize s = sizeOf(window);
    // The picture is 2 z wider and higher than the window, less the pan, drawn from (-panX,
    // -panY); a picture smaller than the window (zoomed out) is centred.
    const int width = 2 * z + s.width() - panX;
    const int height = 2 * z + s.height() - panY;
    if (width < s.width())
        panX = z;
    if (height < s.height())
        panY = z;
    SetVideoRect(channel, -panX, -panY, width, height);
    if (dc)
        Repaint(channel, dc);
}

int PlaybackGraph::SetVideoRect(int channel, int x, int y, int width, int height)
{
    ChannelRenderer *r = m_current ? m_current->renderer(channel) : nullptr;
    if (!r)
        return -1;
    r->setDestination(QRect(x, y, width, height));
    return 0;
}

HRESULT PlaybackGraph::Repaint(int channel, QPainter *dc)
{
    ChannelRenderer *r = m_current ? m_current->renderer(channel) : nullptr;
    if (!r)
        return E_FAIL;
    if (dc)
        return r->paint(*dc) ? S_OK : E_FAIL;
    VideoSurface *surface = r->surface();
    QImage *canvas = surface ? surface->canvas() : nullptr;
    if (!canvas)
        return S_OK; // a widget paints itself and calls back with its painter
    QPainter painter(canvas);
    painter.fillRect(canvas->rect(), Qt::black);
    return r->paint(painter) ? S_OK : E_FAIL;
}

HRESULT PlaybackGraph::RepaintAll()
{
    if (!m_current)
        return E_FAIL;
    HRESULT result = S_OK;
    for (int c = 0; c < m_current->windowCount() && c < m_current->channelCount(); ++c) {
        ChannelRenderer *r = m_current->renderer(c);
        if (!r)
            continue;
        r->setDestination(QRect(QPoint(0, 0), sizeOf(r->surface())));
        if (const HRESULT hr = Repaint(c, nullptr); !succeeded(hr))
            result = hr;
    }
    return result;
}

HRESULT PlaybackGraph::RebindWindows(VideoSurface *w0, VideoSurface *w1, VideoSurface *w2)
{
    if (!m_current)
        return E_FAIL;
    const std::array<VideoSurface *, 3> windows{w0, w1, w2};
    for (int c = 0; c < 3; ++c) {
        ChannelRenderer *r = m_current->renderer(c);
        if (!r)
            continue;
        m_current->setWindow(c, windows[std::size_t(c)]);
        r->setDestination(QRect(QPoint(0, 0), sizeOf(windows[std::size_t(c)])));
    }
    return S_OK;
}

bool PlaybackGraph::GrabFrame(int channel, QImage &out) const
{
    return !m_current || m_current->grabFrame(channel, out);
}

} // namespace playback
