#include "math/fit.h"

#include "platform/text.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace veltron::math {
namespace {

double parseNumberField(const std::string& s, const char* what) {
    const auto v = text::parseDouble(text::trim(s));
    if (!v) {
        throw std::runtime_error(std::string("'") + s + "' не является числом (" + what + ")");
    }
    return *v;
}

int parseIntegerField(const std::string& s, const char* what) {
    const auto v = text::parseInt(text::trim(s));
    if (!v) {
        throw std::runtime_error(std::string("'") + s + "' не является целым числом (" + what + ")");
    }
    return *v;
}

} // namespace

void PolynomialFit::setFields(const std::vector<std::string>& xLines, const std::vector<std::string>& yLines,
                              const std::string& degreeText, const std::string& stepText, const std::string& lowerText,
                              const std::string& upperText) {
    std::vector<double> nx;
    std::vector<double> ny;
    for (const auto& l : xLines) {
        nx.push_back(parseNumberField(l, "X"));
    }
    for (const auto& l : yLines) {
        ny.push_back(parseNumberField(l, "Y"));
    }
    const int m = parseIntegerField(degreeText, "степень");
    const int h = parseIntegerField(stepText, "шаг");
    const int lo = parseIntegerField(lowerText, "граница");
    const int hi = parseIntegerField(upperText, "граница");
    x = std::move(nx);
    y = std::move(ny);
    degree = m;
    step = h;
    lower = lo;
    upper = hi;
}

FitOutcome PolynomialFit::run(const std::filesystem::path& fiFile) const {
    FitOutcome out;
    const std::size_t points = x.size();
    const int m = degree;
    if (m < 0) {
        out.error = "error: степень полинома меньше 0";
        return out;
    }
    if (y.size() < points) {
        out.error = "error: значений Y меньше, чем X";
        return out;
    }
    if (step <= 0) {
        out.error = "error: шаг по X должен быть больше 0";
        return out;
    }
    if (points < static_cast<std::size_t>(m) + 1) {
        out.error = "error: точек меньше, чем степень полинома + 1";
        return out;
    }
    if (y.size() != points) {
        out.messages.assign(points, "error");
    }

    // Normal equations: a[i][l] = sum x^(i+l), right-hand side sum x^i * f in column m + 1.
    const std::size_t rows = static_cast<std::size_t>(m) + 1;
    std::vector<std::vector<double>> a(rows, std::vector<double>(rows + 1, 0.0));
    for (std::size_t j = 0; j < rows; ++j) {
        double S = 0.0;
        double R = 0.0;
        double Q = 0.0;
        for (std::size_t i = 0; i < points; ++i) {
            double pj = 1.0;
            for (std::size_t p = 0; p < j; ++p) {
                pj *= x[i];
            }
            double pm = 1.0;
            for (int p = 0; p < m; ++p) {
                pm *= x[i];
            }
            S += pj;
            R += pj * y[i];
            Q += pm * pj;
        }
        a[0][j] = S;
        a[j][static_cast<std::size_t>(m)] = Q;
        a[j][rows] = R;
    }
    for (std::size_t i = 1; i < rows; ++i) {
        for (std::size_t l = 0; l + 1 < rows; ++l) {
            a[i][l] = a[i - 1][l + 1];
        }
    }

    // Elimination without pivoting, as the fit has always been solved.
    for (std::size_t i = 0; i < rows; ++i) {
        const double pivot = a[i][i];
        if (pivot == 0.0 || !std::isfinite(pivot)) {
            out.error = "error: нулевой ведущий элемент, система не решается";
            return out;
        }
        for (std::size_t k = i + 1; k <= rows; ++k) {
            a[i][k] /= pivot;
        }
        for (std::size_t r = i + 1; r < rows; ++r) {
            const double g = a[r][i];
            for (std::size_t k = i + 1; k <= rows; ++k) {
                a[r][k] -= g * a[i][k];
            }
        }
    }
    std::vector<double> c(rows, 0.0);
    for (std::size_t j = rows; j-- > 0;) {
        double v = a[j][rows];
        for (std::size_t k = j + 1; k < rows; ++k) {
            v -= a[j][k] * c[k];
        }
        c[j] = v;
    }
    for (double v : c) {
        if (!std::isfinite(v)) {
            out.error = "error: коэффициенты полинома не определены";
            return out;
        }
    }

    const std::optional<std::int32_t> K =
        text::checkedRound((static_cast<double>(upper) - lower) / static_cast<double>(step) + 1.0);
    if (!K) {
        out.error = "error: число точек не определено";
        return out;
    }
    std::string file;
    double xv = lower;
    for (std::int32_t i = 0; i < *K; ++i) {
        double yv = c[rows - 1];
        for (std::size_t j = rows - 1; j-- > 0;) {
            yv = yv * xv + c[j];
        }
        const float yf = static_cast<float>(yv);
        const std::string ys = text::formatGeneral(static_cast<double>(yf));
        out.outputLines.push_back(text::formatGeneral(xv) + " " + ys);
        out.values.push_back(yf);
        file += ys;
        file += "\r\n";
        xv += step;
    }
    std::ofstream f(fiFile, std::ios::binary | std::ios::trunc);
    if (!f || !(f << file) || !f.flush()) {
        throw std::runtime_error("Не записывается файл: " + fiFile.string());
    }
    out.coefficients = std::move(c);
    out.ok = true;
    return out;
}

} // namespace veltron::math
