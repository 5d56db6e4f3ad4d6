#include "fixture.h"

#include "hdlc/hdlc.h"

#include <unistd.h>

#include <cstdlib>

namespace veltron::testing {

Bytes be32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 8),
            static_cast<std::uint8_t>(u)};
}

void RigTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("veltron-rig-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "dev");
    std::filesystem::create_directories(dir_ / "STORE");
    ::setenv("VELTRON_DEVDIR", (dir_ / "dev").c_str(), 1);
    settings_.CK_PORT = 2;
    settings_.CK2_PORT = 3;
    settings_.CAM_PORT = 5;
    settings_.CHRP_PORT = 7;
    settings_.STM1 = 1000; // answering stations answer at once; only silent ones cost this
    main_.link(dir_ / "dev", 2);
    second_.link(dir_ / "dev", 3);
    cams_.link(dir_ / "dev", 5);
    serveMain({});
    serveSecond(Bytes{0, 0});
    cams_.respond([](const Request& r) { return Reply{r.control, {0}}; });
}

void RigTest::TearDown() {
    t_.reset();
    for (int port : {2, 3, 5}) {
        hdlcCloseComPort(port);
    }
    std::filesystem::remove_all(dir_);
}

void RigTest::serveMain(MainModel model) {
    int statusReads = 0;
    int forceReads = 0;
    main_.respond([model, statusReads, forceReads](const Request& r) mutable -> std::optional<Reply> {
        if (model.silent.count(r.control) != 0) {
            return std::nullopt;
        }
        if (model.truncated.count(r.control) != 0) {
            return Reply{r.control, {}};
        }
        const auto cat = [](Bytes a, const Bytes& b) {
            a.insert(a.end(), b.begin(), b.end());
            return a;
        };
        switch (r.control) {
        case 34:
        case 35:
        case 36:
        case 37:
            if (!r.data.empty() && r.data[0] != 0) {
                statusReads = 0;
                forceReads = 0;
            }
            return Reply{r.control, {0}};
        case 17: {
            const std::uint16_t w = model.status(++statusReads);
            return Reply{r.control, {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w & 0xFF)}};
        }
        case 1: {
            Bytes d(9, 0); // answer bytes 1..9
            d[8] = model.forceReached(++forceReads) ? 0x40 : 0;
            return Reply{r.control, d};
        }
        case 19:
            return Reply{r.control, {static_cast<std::uint8_t>(model.adc >> 8), static_cast<std::uint8_t>(model.adc)}};
        case 7:
            return Reply{r.control,
                         cat(Bytes{0}, be32(!r.data.empty() && r.data[0] == 2 ? model.encoder2 : model.encoder1))};
        case 45:
            return Reply{r.control, cat(Bytes{0}, be32(model.height))};
        case 3:
            return Reply{r.control, cat(be32(model.force), Bytes{static_cast<std::uint8_t>(model.forceAdc >> 8),
                                                                 static_cast<std::uint8_t>(model.forceAdc)})};
        case 85:
            if (!model.okAnswer) {
                return std::nullopt;
            }
            return Reply{0x4F, {0x6B}};
        default:
            return Reply{r.control, {0}};
        }
    });
}

void RigTest::serveSecond(std::optional<Bytes> data) {
    second_.respond([data](const Request& r) -> std::optional<Reply> {
        if (!data) {
            return std::nullopt;
        }
        return Reply{r.control, *data};
    });
}

void RigTest::start() {
    t_ = std::make_unique<rig::Terminal>(settings_, host_, dir_, [] { return 7; });
    ASSERT_TRUE(t_->openMainController());
    ASSERT_TRUE(t_->openCameras());
    ASSERT_TRUE(t_->openSecondController());
    t_->state.shown = true; // fault reports become log lines
    t_->state.CheckBox2 = false;
    t_->state.CheckBox3 = false;
    main_.clear();
    second_.clear();
    cams_.clear();
}

std::vector<int> RigTest::faults() const {
    std::vector<int> codes;
    for (const std::string& line : t_->state.Memo1) {
        if (line.rfind("rtError:", 0) == 0) {
            codes.push_back(std::stoi(line.substr(8)));
        }
    }
    return codes;
}

int RigTest::polls() const {
    const std::string& s = t_->state.labels.at("Label23").caption;
    const auto at = s.rfind(':');
    return at == std::string::npos ? -1 : std::stoi(s.substr(at + 1));
}

} // namespace veltron::testing
