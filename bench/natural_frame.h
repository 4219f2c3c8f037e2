#pragma once
// A synthetic 1920x1080-class picture with the statistics of a camera frame,
// for the capture benchmarks: shading at every scale, objects with hard and
// soft edges, captions and sensor noise (about 450 KB, 1.8 bits per pixel,
// as a quality-90 JPEG at 1920x1080).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace bench {

// Value noise summed over octaves (amplitude growing with the cell size, as in
// natural scenes), a few dozen shaded objects and lines, captions, and noise.
inline QImage naturalFrame(int w, int h)
{
    std::mt19937 gen(20240601);
    std::vector<float> lum(std::size_t(w) * h, 0.f), tint(std::size_t(w) * h, 0.f);
    auto octave = [&](std::vector<float>& field, int cell, float amp) {
        const int gw = w / cell + 2, gh = h / cell + 2;
        std::vector<float> grid(std::size_t(gw) * gh);
        std::uniform_real_distribution<float> u(-1.f, 1.f);
        for (float& v : grid)
            v = u(gen);
        for (int y = 0; y < h; ++y) {
            const float fy = float(y) / float(cell);
            const int iy = int(fy);
            float ty = fy - float(iy);
            ty = ty * ty * (3 - 2 * ty);
            for (int x = 0; x < w; ++x) {
                const float fx = float(x) / float(cell);
                const int ix = int(fx);
                float tx = fx - float(ix);
                tx = tx * tx * (3 - 2 * tx);
                const float* g0 = &grid[std::size_t(iy) * gw + ix];
                const float* g1 = g0 + gw;
                field[std::size_t(y) * w + x] +=
                    amp * ((g0[0] * (1 - tx) + g0[1] * tx) * (1 - ty) + (g1[0] * (1 - tx) + g1[1] * tx) * ty);
            }
        }
    };
    for (int cell = 512; cell >= 2; cell /= 2)
        octave(lum, cell, 0.9f * std::pow(float(cell), 0.7f));
    for (int cell = 512; cell >= 16; cell /= 2)
        octave(tint, cell, 0.25f * std::pow(float(cell), 0.8f));

    QImage objects(w, h, QImage::Format_ARGB32_Premultiplied);
    objects.fill(Qt::transparent);
    {
        QPainter p(&objects);
        p.setRenderHint(QPainter::Antialiasing);
        std::uniform_int_distribution<int> ux(0, w), uy(0, h), size(10, 260), c(0, 255), alpha(60, 230);
        auto colour = [&] { return QColor(c(gen), c(gen), c(gen), alpha(gen)); };
        for (int i = 0; i < 90; ++i) {
            QLinearGradient shade(ux(gen), uy(gen), ux(gen), uy(gen));
            shade.setColorAt(0, colour());
            shade.setColorAt(1, colour());
            p.setBrush(shade);
            p.setPen(QPen(colour(), size(gen) / 40.0));
            const int x = ux(gen), y = uy(gen), a = size(gen), b = size(gen);
            switch (i % 3) {
            case 0: p.drawEllipse(QPoint(x, y), a, b); break;
            case 1:
                p.save();
                p.translate(x, y);
                p.rotate(c(gen));
                p.drawRect(-a / 2, -b / 2, a, b);
                p.restore();
                break;
            default: {
                QPainterPath path(QPointF(x, y));
                for (int j = 0; j < 3; ++j)
                    path.cubicTo(ux(gen), uy(gen), ux(gen), uy(gen), ux(gen), uy(gen));
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(colour(), size(gen) / 25.0));
                p.drawPath(path);
            }
            }
        }
        QFont f;
        f.setPixelSize(28);
        p.setFont(f);
        p.setPen(Qt::white);
        for (int i = 0; i < 12; ++i)
            p.drawText(ux(gen) % (w - 320), uy(gen) % (h - 40) + 30,
                       QStringLiteral("ID 2024%1  R  %2 kV").arg(i, 4, 10, QLatin1Char('0')).arg(60 + i));
    }

    QImage frame(w, h, QImage::Format_RGB32);
    std::normal_distribution<float> noise(0.f, 3.f);
    auto clamp = [](float v) { return int(std::clamp(v, 0.f, 255.f)); };
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(frame.scanLine(y));
        const auto* over = reinterpret_cast<const QRgb*>(objects.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const float l = 110.f + lum[std::size_t(y) * w + x], t = tint[std::size_t(y) * w + x];
            const float a = float(qAlpha(over[x])) / 255.f;
            const float r = (l + t + noise(gen)) * (1 - a) + float(qRed(over[x]));
            const float g = (l - 0.3f * t + noise(gen)) * (1 - a) + float(qGreen(over[x]));
            const float b = (l - 0.8f * t + noise(gen)) * (1 - a) + float(qBlue(over[x]));
            out[x] = qRgb(clamp(r), clamp(g), clamp(b));
        }
    }
    return frame;
}

}
