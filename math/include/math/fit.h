// Least-squares polynomial fit: the normal equations of the point pairs, solved by Gaussian
// elimination without pivoting, evaluated by Horner's rule on lower..upper in steps of step,
// one value per line into the fit file fi.txt (created anew on every successful run).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veltron::math {

struct FitOutcome {
    bool ok = false;
    std::string error;                    // why the fit was not run; fi.txt then stays as it was
    std::vector<std::string> messages;    // "error" once per pair when the lists differ in length
    std::vector<double> coefficients;     // c[j] multiplies x^j
    std::vector<float> values;            // the values written to fi.txt, in order of x
    std::vector<std::string> outputLines; // x + " " + y for each evaluated point
};

class PolynomialFit {
public:
    // The inputs, with the initial contents of the fit's fields: y = x^2 on x = 0..3.
    std::vector<double> x{0.0, 1.0, 2.0, 3.0};
    std::vector<double> y{0.0, 1.0, 4.0, 9.0};
    int degree = 2;
    int step = 1;
    int lower = -1;
    int upper = 4;

    // Sets the inputs from the text of the fields; a field that does not hold a number (an
    // integer for degree, step and bounds) throws std::runtime_error and changes nothing.
    void setFields(const std::vector<std::string>& xLines, const std::vector<std::string>& yLines,
                   const std::string& degreeText, const std::string& stepText, const std::string& lowerText,
                   const std::string& upperText);

    // Runs the fit and writes fiFile. The fit is refused, and the file left untouched, when the
    // degree is negative, there are fewer points than degree + 1, the Y list is shorter than
    // the X list, the step is not positive, or a pivot is zero or not finite. A file that
    // cannot be written throws std::runtime_error.
    FitOutcome run(const std::filesystem::path& fiFile) const;
};

} // namespace veltron::math
