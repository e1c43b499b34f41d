#include "base/Smoothing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace corvane {

namespace {

constexpr int kAutoOrder = 3;
constexpr int kAutoMinWindow = 5;
constexpr int kAutoMaxWindow = 51;
constexpr std::size_t kAutoShare = 100;  // the automatic window: about 1/100 of the profile
constexpr std::size_t kBlock = 2048;     // samples filtered together, to stay in cache

using Matrix = std::array<std::array<double, Smoothing::kMaxOrder + 1>, Smoothing::kMaxOrder + 1>;

// Solves m z = e in place (z returned in e) for the first `size` rows, with
// partial pivoting. The moment matrices here are small and well scaled
// (offsets divided by the half window), so this is enough.
void solve(Matrix& m, std::array<double, Smoothing::kMaxOrder + 1>& e, int size) {
    for (int col = 0; col < size; ++col) {
        int pivot = col;
        for (int row = col + 1; row < size; ++row) {
            if (std::abs(m[row][col]) > std::abs(m[pivot][col])) {
                pivot = row;
            }
        }
        std::swap(m[col], m[pivot]);
        std::swap(e[col], e[pivot]);
        for (int row = col + 1; row < size; ++row) {
            const double f = m[row][col] / m[col][col];
            for (int k = col; k < size; ++k) {
                m[row][k] -= f * m[col][k];
            }
            e[row] -= f * e[col];
        }
    }
    for (int row = size - 1; row >= 0; --row) {
        double sum = e[row];
        for (int k = row + 1; k < size; ++k) {
            sum -= m[row][k] * e[k];
        }
        e[row] = sum / m[row][row];
    }
}

// The weights of one point for a resolved smoothing: no smoothing keeps the
// sample and takes the slope of three; a moving average is the degree-0 fit
// and its slope the degree-1 fit's.
std::vector<double> weightsFor(const Smoothing& s, int derivative, int offset) {
    const int half = s.window / 2;
    if (s.window <= 1) {
        return {derivative == 0 ? 1.0 : 0.0};
    }
    switch (s.kind) {
        case SmoothingKind::None:
            if (derivative == 0) {
                std::vector<double> unit(static_cast<std::size_t>(s.window), 0.0);
                unit[static_cast<std::size_t>(half + offset)] = 1.0;
                return unit;
            }
            return savitzkyGolayWeights(s.window, 1, 1, offset);
        case SmoothingKind::MovingAverage:
            return savitzkyGolayWeights(s.window, derivative, derivative, offset);
        case SmoothingKind::SavitzkyGolay:
            break;
    }
    return savitzkyGolayWeights(s.window, std::max(s.order, derivative), derivative, offset);
}

double dot(std::span<const double> weights, const double* y) {
    double sum = 0.0;
    for (std::size_t k = 0; k < weights.size(); ++k) {
        sum += weights[k] * y[k];
    }
    return sum;
}

// out[i] for every i with a whole window around it, from centre weights that
// are symmetric (values) or antisymmetric (slopes): each pair of samples
// k either side shares one multiplication.
void applyInterior(std::span<const double> y, std::span<const double> w, bool symmetric, std::vector<double>& out) {
    const std::size_t half = w.size() / 2;
    const std::size_t n = y.size();
    if (n < w.size()) {
        return;
    }
    const double* data = y.data();
    double* result = out.data();
    for (std::size_t begin = half; begin < n - half; begin += kBlock) {
        const std::size_t end = std::min(begin + kBlock, n - half);
        const double centre = w[half];
        for (std::size_t i = begin; i < end; ++i) {
            result[i] = centre * data[i];
        }
        for (std::size_t k = 1; k <= half; ++k) {
            const double c = w[half + k];
            const double* up = data + k;
            const double* down = data - k;
            if (symmetric) {
                for (std::size_t i = begin; i < end; ++i) {
                    result[i] += c * (up[i] + down[i]);
                }
            } else {
                for (std::size_t i = begin; i < end; ++i) {
                    result[i] += c * (up[i] - down[i]);
                }
            }
        }
    }
}

std::vector<double> filtered(std::span<const double> y, const Smoothing& s, int derivative) {
    const std::size_t n = y.size();
    std::vector<double> out(n, 0.0);
    if (n == 0) {
        return out;
    }
    if (s.window <= 1) {
        if (derivative == 0) {
            std::copy(y.begin(), y.end(), out.begin());
        }
        return out;
    }
    const auto window = static_cast<std::size_t>(s.window);
    const int half = s.window / 2;
    applyInterior(y, weightsFor(s, derivative, 0), derivative == 0, out);
    // The ends: the polynomial of the first and last whole windows.
    for (int offset = -half; offset < 0; ++offset) {
        const auto weights = weightsFor(s, derivative, offset);
        out[static_cast<std::size_t>(half + offset)] = dot(weights, y.data());
        // The mirror offset at the other end: reversed weights, negated for a slope.
        const double sign = derivative == 0 ? 1.0 : -1.0;
        double sum = 0.0;
        const double* last = y.data() + (n - window);
        for (std::size_t k = 0; k < window; ++k) {
            sum += weights[window - 1 - k] * last[k];
        }
        out[n - 1 - static_cast<std::size_t>(half + offset)] = sign * sum;
    }
    return out;
}

bool parseInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

Smoothing resolvedSmoothing(Smoothing s, std::size_t samples) {
    if (s.kind == SmoothingKind::None) {
        s.window = 3;
        s.order = 1;
    } else if (s.window <= 0) {
        std::size_t window = std::clamp<std::size_t>(samples / kAutoShare, kAutoMinWindow, kAutoMaxWindow);
        s.window = static_cast<int>(window | 1u);
        if (s.kind == SmoothingKind::SavitzkyGolay) {
            s.order = kAutoOrder;
        }
    }
    if (s.kind == SmoothingKind::MovingAverage) {
        s.order = 0;
    }
    if (samples < 3) {
        s.window = 1;
        s.order = 0;
        return s;
    }
    if (static_cast<std::size_t>(s.window) > samples) {
        s.window = static_cast<int>((samples - 1) | 1u);
    }
    s.order = std::min(s.order, s.window - 1);
    return s;
}

std::optional<Smoothing> parseSmoothing(std::string_view text) {
    if (text == "none") {
        return Smoothing{SmoothingKind::None, 0, 0};
    }
    if (text == "auto" || text == "sg:auto") {
        return Smoothing{};
    }
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view kind = text.substr(0, colon);
    std::string_view rest = text.substr(colon + 1);
    Smoothing s;
    if (kind == "ma") {
        s.kind = SmoothingKind::MovingAverage;
        s.order = 0;
        if (!parseInt(rest, s.window)) {
            return std::nullopt;
        }
    } else if (kind == "sg") {
        const auto second = rest.find(':');
        if (second == std::string_view::npos || !parseInt(rest.substr(0, second), s.window) ||
            !parseInt(rest.substr(second + 1), s.order)) {
            return std::nullopt;
        }
        if (s.order < 0 || s.order > Smoothing::kMaxOrder || s.order >= s.window) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (s.window < 3 || s.window > Smoothing::kMaxWindow || s.window % 2 == 0) {
        return std::nullopt;
    }
    return s;
}

std::string smoothingText(const Smoothing& s) {
    switch (s.kind) {
        case SmoothingKind::None: return "none";
        case SmoothingKind::MovingAverage:
            return s.window <= 0 ? "ma:auto" : "ma:" + std::to_string(s.window);
        case SmoothingKind::SavitzkyGolay: break;
    }
    return s.window <= 0 ? "auto" : "sg:" + std::to_string(s.window) + ":" + std::to_string(s.order);
}

std::vector<double> savitzkyGolayWeights(int window, int order, int derivative, int offset) {
    const int half = window / 2;
    std::vector<double> weights(static_cast<std::size_t>(std::max(window, 1)), 0.0);
    if (window < 1 || derivative > order || order > Smoothing::kMaxOrder || std::abs(offset) > half) {
        return weights;
    }
    // Offsets scaled to -1..1 keep the moment matrix well conditioned for
    // long windows; a slope is scaled back to per sample at the end.
    const double scale = std::max(half, 1);
    const int size = order + 1;
    Matrix moments{};
    for (int k = 0; k < window; ++k) {
        const double u = (k - half) / scale;
        double power = 1.0;
        std::array<double, 2 * Smoothing::kMaxOrder + 1> powers{};
        for (int p = 0; p <= 2 * order; ++p) {
            powers[static_cast<std::size_t>(p)] = power;
            power *= u;
        }
        for (int i = 0; i < size; ++i) {
            for (int j = 0; j < size; ++j) {
                moments[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] +=
                    powers[static_cast<std::size_t>(i + j)];
            }
        }
    }
    std::array<double, Smoothing::kMaxOrder + 1> e{};
    const double t = offset / scale;
    for (int j = 0; j < size; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (derivative == 0) {
            e[at] = std::pow(t, j);
        } else {
            e[at] = j == 0 ? 0.0 : j * std::pow(t, j - 1) / scale;
        }
    }
    solve(moments, e, size);
    for (int k = 0; k < window; ++k) {
        const double u = (k - half) / scale;
        double power = 1.0;
        double sum = 0.0;
        for (int j = 0; j < size; ++j) {
            sum += e[static_cast<std::size_t>(j)] * power;
            power *= u;
        }
        weights[static_cast<std::size_t>(k)] = sum;
    }
    return weights;
}

std::vector<double> smoothed(std::span<const double> y, const Smoothing& smoothing) {
    if (smoothing.kind == SmoothingKind::None || smoothing.window <= 1) {
        return {y.begin(), y.end()};
    }
    return filtered(y, smoothing, 0);
}

std::vector<double> smoothedSlope(std::span<const double> y, const Smoothing& smoothing) {
    return filtered(y, smoothing, 1);
}

StreamingSmoother::StreamingSmoother(const Smoothing& smoothing)
    : smoothing_(resolvedSmoothing(smoothing, static_cast<std::size_t>(Smoothing::kMaxWindow))),
      half_(static_cast<std::size_t>(smoothing_.window / 2)),
      value_(weightsFor(smoothing_, 0, 0)),
      slope_(weightsFor(smoothing_, 1, 0)) {
    recent_.reserve(static_cast<std::size_t>(smoothing_.window));
}

StreamingSmoother::Point StreamingSmoother::pointFrom(std::size_t first, std::size_t index, int offset) const {
    // The window in order, oldest first, starting at recent_[first].
    const std::size_t window = recent_.size();
    std::vector<double> ordered(window);
    for (std::size_t k = 0; k < window; ++k) {
        ordered[k] = recent_[(first + k) % window];
    }
    const bool centre = offset == 0;
    const auto& v = centre ? value_ : weightsFor(smoothing_, 0, offset);
    const auto& s = centre ? slope_ : weightsFor(smoothing_, 1, offset);
    return {index, dot(v, ordered.data()), dot(s, ordered.data())};
}

void StreamingSmoother::push(double y, std::vector<Point>& out) {
    const auto window = static_cast<std::size_t>(smoothing_.window);
    if (recent_.size() < window) {
        recent_.push_back(y);
    } else {
        recent_[start_] = y;
        start_ = (start_ + 1) % window;
    }
    ++pushed_;
    if (pushed_ < window) {
        return;
    }
    if (pushed_ == window) {
        // The first whole window: the start's points, fitted to it.
        for (std::size_t i = 0; i < half_; ++i) {
            out.push_back(pointFrom(start_, i, static_cast<int>(i) - static_cast<int>(half_)));
        }
    }
    out.push_back(pointFrom(start_, pushed_ - 1 - half_, 0));
    given_ = pushed_ - half_;
}

void StreamingSmoother::finish(std::vector<Point>& out) {
    const auto window = static_cast<std::size_t>(smoothing_.window);
    if (pushed_ >= window) {
        for (std::size_t i = given_; i < pushed_; ++i) {
            out.push_back(pointFrom(start_, i, static_cast<int>(i + half_ + 1 - pushed_)));
        }
    } else if (pushed_ > 0) {
        // Shorter than one window: the whole filter over what came, as for a short profile.
        const Smoothing shorter = resolvedSmoothing(smoothing_, pushed_);
        const auto values = smoothed(recent_, shorter);
        const auto slopes = smoothedSlope(recent_, shorter);
        for (std::size_t i = 0; i < pushed_; ++i) {
            out.push_back({i, values[i], slopes[i]});
        }
    }
    recent_.clear();
    start_ = 0;
    pushed_ = 0;
    given_ = 0;
}

}  // namespace corvane
