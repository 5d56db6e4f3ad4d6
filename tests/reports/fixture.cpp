#include "fixture.h"

#include "platform/files.h"

#include <unistd.h>

namespace veltron::testing {

ReportFixture::ReportFixture() {
    std::string t = (std::filesystem::temp_directory_path() / "veltron-reports-XXXXXX").string();
    root = ::mkdtemp(t.data());
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(work() / "Temp");
    std::filesystem::copy(BMP_DIR, root / "bin" / "BMP");
    settings.NoLOG = false;
    settings.Depo1Name = "Моторвагонное депо";
    settings.DepoName = "Северное";
    settings.DeviceId = "0042";
    log = std::make_unique<WorkLog>(
        work() / "Log.txt", true, [this] { return clock; }, console);
    screen = std::make_unique<Screen>(canvas, settings, Paths{root / "bin", work()}, host, *log, console);
    keypad = std::make_unique<Keypad>(*screen, [this] { return clock; });
    screen->attachKeypad(*keypad);
    host.keypad = keypad.get();

    db::executeScript(work() / "DataBase.mdb", kResultTablesSql);
    connection = std::make_unique<db::Connection>(work());
    connection->setConnectionString(
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=DataBase.mdb;Persist Security Info=False");
    connection->connect();
    fillCatalogue();

    reports = std::make_unique<Reports>(*screen, *keypad, catalogue, *connection, records, [this] { return clock; });
    auto p = std::make_unique<RecordingPrinter>();
    printer = p.get();
    reports->output().printer = std::move(p);
    reports->output().openFile = [this](const std::filesystem::path& f) {
        opened.push_back(f);
        return true;
    };
}

ReportFixture::~ReportFixture() {
    reports.reset();
    connection.reset();
    std::filesystem::remove_all(root);
}

std::string ReportFixture::logText() const {
    return text::cp1251ToUtf8(files::readFile(work() / "Log.txt").value_or(""));
}

void ReportFixture::fillCatalogue() {
    catalogue.setSeriesName(1, "ЭП2Д");
    catalogue.setBogieName(1, "Моторная");
    SpringTypeRow row;
    row.name = "Пружина наружная 1";
    row.Prutok = 12.5;
    for (int s = 1; s <= kSlotCount; ++s) {
        auto& b = row.block[static_cast<std::size_t>(s)];
        b.nominal = s == kSlotHeight ? 300.0 : 105.0;
        b.plus = s == kSlotHeight ? 20.0 : 5.0;
        b.minus = s == kSlotHeight ? -50.0 : -5.0;
        b.Mul = 1.0;
    }
    catalogue.storeSpringType(1, row);
    const int ngr[] = {3, 4, 5};
    for (int n = 1; n <= 3; ++n) {
        SetTypeRow set;
        set.Name = "Комплект " + std::to_string(ngr[n - 1]) + " групп";
        set.PLS = 4500;
        set.NGR = ngr[n - 1];
        set.Type = 0;
        set.gmin = {0, 99.0, 100.05, 102.0, 104.0, 106.0};
        set.gmax = {0, 100.0, 102.0, 103.0, 105.0, 107.0};
        catalogue.storeSetType(n, set);
    }
}

_xZamer ReportFixture::spring(const std::string& name, float value) const {
    _xZamer r;
    r.Name = name;
    r.DataTime = toDays(clock);
    r.Ch = 1;
    r.Nsping = 1;
    r.Se = "ЭП2Д";
    r.Po = "017";
    for (int s = 1; s <= kSlotCount; ++s) {
        r.List[static_cast<std::size_t>(s)] = value;
    }
    r.List[kSlotHeight] = 300.0F;
    return r;
}

_xKZamer ReportFixture::set(const std::string& name, int setType, float value) const {
    _xKZamer r;
    r.Name = name;
    r.DataTime = toDays(clock);
    r.Ch = 1;
    r.Se = "ЭП2Д";
    r.Po = "017";
    r.Nkompl = setType;
    r.List = value;
    r.v = value + 60.0F;
    return r;
}

void ReportFixture::appendSprings(int count) {
    ResultTables tables(*connection);
    for (int i = 0; i < count; ++i) {
        tables.appendSpringRow(spring(makeMeasurementName(i + 1, clock), 105.0F));
    }
}

void ReportFixture::appendSets(int count, float value, int setType) {
    ResultTables tables(*connection);
    for (int i = 0; i < count; ++i) {
        tables.appendSetRow(set(makeSetName(i + 1, clock), setType, value));
    }
}

int textMismatch(const Canvas& page, int x, int y, const std::string& text, const FontSpec& font) {
    Canvas reference(page.width(), page.height());
    reference.fillRect(0, 0, page.width(), page.height(), colors::white);
    reference.setFont(font);
    reference.text(x, y, text);
    const int w = reference.textWidth(text) + 4;
    const int h = reference.textHeight(text) + 4;
    int ink = 0;
    int mismatches = 0;
    for (int py = y; py < y + h && py < page.height(); ++py) {
        for (int px = x - 2; px < x + w && px < page.width(); ++px) {
            if (px < 0 || reference.pixel(px, py) == colors::white) {
                continue;
            }
            ++ink;
            if (!(page.pixel(px, py) == reference.pixel(px, py))) {
                ++mismatches;
            }
        }
    }
    return ink == 0 ? -1 : mismatches;
}

} // namespace veltron::testing
