#include "helpers.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace veltron::math {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun runEval(const std::string& args, const test::TempDir& scratch) {
    const std::string errFile = (scratch.path() / "stderr.txt").string();
    const std::string cmd = std::string("'") + VELTRON_EVAL_BIN + "' " + args + " 2>'" + errFile + "'";
    ToolRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) {
        return r;
    }
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) {
        r.out.append(buf.data(), n);
    }
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errFile);
    std::ostringstream s;
    s << e.rdbuf();
    r.err = s.str();
    return r;
}

std::vector<std::string> lines(const std::string& s) {
    return text::cp1251Lines(s);
}

std::vector<std::string> expectedLines(const std::string& name) {
    std::ifstream f(std::string(VELTRON_MATH_FIXTURES) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return lines(s.str());
}

// A writable copy of the fixture folder: the tool writes its dumps and fi.txt beside the scans.
struct Folder {
    Folder() {
        std::filesystem::copy(std::string(VELTRON_MATH_FIXTURES) + "/eval", tmp.path() / "eval",
                              std::filesystem::copy_options::recursive);
    }
    std::string dir() const { return "'" + (tmp.path() / "eval").string() + "'"; }
    std::filesystem::path path(const std::string& name) const { return tmp.path() / "eval" / name; }
    test::TempDir tmp;
};

void expectSameLines(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    ASSERT_FALSE(want.empty());
    for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
        const std::string g = i < got.size() ? got[i] : "<missing>";
        const std::string w = i < want.size() ? want[i] : "<none>";
        EXPECT_EQ(g, w) << "line " << i + 1;
    }
}

TEST(EvalTool, FixtureOutputs) {
    struct Case {
        const char* args;
        const char* expected;
        bool smoothing;
    };
    const Case cases[] = {
        {"", "expected-cam.txt", false},
        {"--cmr", "expected-cmr.txt", false},
        {"--prefix 'STORE\\z5'", "expected-store-z5.txt", false},
        {"", "expected-smooth.txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Folder f;
        if (c.smoothing) {
            std::ifstream in(f.path("setup.ini"), std::ios::binary);
            std::ostringstream s;
            s << in.rdbuf();
            std::string ini = s.str();
            ini.replace(ini.find("FMNKEnable=0"), 12, "FMNKEnable=1");
            std::ofstream(f.path("setup.ini"), std::ios::binary) << ini;
        }
        const ToolRun r = runEval(std::string(c.args) + " " + f.dir(), f.tmp);
        EXPECT_EQ(r.status, 0) << r.err;
        expectSameLines(lines(r.out), expectedLines(c.expected));
        const std::vector<std::string> out = lines(r.out);
        ASSERT_GE(out.size(), 7U);
        EXPECT_EQ(out[out.size() - 7], "===1");
        EXPECT_EQ(std::filesystem::exists(f.path("fi.txt")), c.smoothing);
    }
}

TEST(EvalTool, MissingOrMalformedFilesFail) {
    struct Case {
        const char* what;
        const char* remove;  // file removed from the copy
        const char* corrupt; // file whose second line is replaced
        const char* args;
        const char* message; // part of the error message
    };
    const Case cases[] = {
        {"missing profile", "cam2.txt", nullptr, "", "cam2.txt"},
        {"missing cmr profile", "cmr4.txt", nullptr, "--cmr", "cmr4.txt"},
        {"missing stored scan", nullptr, nullptr, "--prefix 'STORE\\z7'", "z7cam1.txt"},
        {"missing calibration", "Tabl1/cal3.txt", nullptr, "", "cal3.txt"},
        {"missing settings", "setup.ini", nullptr, "", "setup.ini"},
        {"malformed profile", nullptr, "cam3.txt", "", "cam3.txt, строка 2"},
        {"malformed calibration", nullptr, "Tabl1/cal1.txt", "", "cal1.txt, строка 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder f;
        if (c.remove != nullptr) {
            std::filesystem::remove(f.path(c.remove));
        }
        if (c.corrupt != nullptr) {
            std::ifstream in(f.path(c.corrupt), std::ios::binary);
            std::ostringstream s;
            s << in.rdbuf();
            std::string text = s.str();
            const std::size_t second = text.find('\n') + 1;
            text.replace(second, text.find('\r', second) - second, "x12");
            std::ofstream(f.path(c.corrupt), std::ios::binary) << text;
        }
        const ToolRun r = runEval(std::string(c.args) + " " + f.dir(), f.tmp);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    test::TempDir scratch;
    EXPECT_EQ(runEval("", scratch).status, 2); // no folder: usage
    EXPECT_NE(runEval("'" + (scratch.path() / "none").string() + "'", scratch).status, 0);
}

} // namespace
} // namespace veltron::math
