// One simulated serial line: a pseudo-terminal whose slave side is linked as DIR/COM<n>, the
// name the program opens. The simulator keeps its own descriptor of the slave, so the master
// never sees a hang-up between two users of the port (the drive's link opens the port for
// every request). The slave keeps the terminal's defaults (cooked mode); a program that
// forgets to set raw mode fails here as it would on a real port.
#pragma once

#include <filesystem>
#include <string>

namespace veltron::sim {

class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine() { close(); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pseudo-terminal and points link at its slave (replacing an older link;
    // anything at link that is not a symbolic link is left alone and the open fails).
    // Throws std::runtime_error with the reason.
    void open(const std::filesystem::path& link);
    // Closes both sides and removes the link (if it still points at this line's slave).
    void close();
    bool isOpen() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::filesystem::path link_;
};

} // namespace veltron::sim
