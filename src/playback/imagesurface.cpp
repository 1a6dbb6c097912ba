#include "imagesurface.h"

namespace playback {

ImageSurface::ImageSurface(QSize size) : m_canvas(size, QImage::Format_RGB32)
{
    m_canvas.fill(Qt::black);
}

QSize ImageSurface::clientSize() const
{
    return m_canvas.size();
}

void ImageSurface::pictureReady(std::int64_t streamTimeMs)
{
    std::lock_guard lock(m_lock);
    m_arrivals.push_back({std::chrono::steady_clock::now(), streamTimeMs});
}

QImage *ImageSurface::canvas()
{
    return &m_canvas;
}

int ImageSurface::pictureCount() const
{
    std::lock_guard lock(m_lock);
    return int(m_arrivals.size());
}

std::vector<ImageSurface::Arrival> ImageSurface::arrivals() const
{
    std::lock_guard lock(m_lock);
    return m_arrivals;
}

void ImageSurface::clearArrivals()
{
    std::lock_guard lock(m_lock);
    m_arrivals.clear();
}

} // namespace playback
