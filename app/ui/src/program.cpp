#include "app/ui/program.h"

#include "app/environment.h"
#include "app/process.h"
#include "platform/files.h"
#include "screens/main_menu.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <clocale>
#include <exception>
#include <unistd.h>

namespace veltron {
namespace {

void decimalPoint() {
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace

Program::Program(ProgramOptions options) : options_(std::move(options)) {
    if (options_.programFolder.empty()) {
        options_.programFolder = programFolder();
    }
    if (options_.workDir.empty()) {
        options_.workDir = std::filesystem::current_path();
    }
    if (options_.executable.empty()) {
        std::error_code ec;
        options_.executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    }
    if (!options_.showMessage) {
        options_.showMessage = [](const std::string& text) {
            QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text));
            box.exec();
        };
    }
    paths_ = Paths{options_.programFolder, options_.workDir};
}

Program::~Program() = default;

int Program::run() {
    // The state, then the settings, before any window exists.
    decimalPoint();
    console_ = std::make_unique<ConsoleLog>(false, options_.clock);
    state_ = std::make_unique<StateStore>(paths_.programFolder / "state.ini", *console_);
    state_->read();
    settings_ = std::make_unique<Settings>(readSettingsFile((paths_.programFolder / "setup.ini").string()));
    console_->setEnabled(settings_->VconEmable);
    log_ = std::make_unique<WorkLog>(paths_.work("Log.txt"), !settings_->NoLOG, options_.clock, *console_);

    if (options_.singleInstanceCheck && anotherInstanceRunning(options_.executable, ::getpid())) {
        options_.showMessage("Невозможно запустить 2й экземпляр программы (ОШИБКА 1000) !");
        return 1;
    }

    // Folders the screens and the scans write into; the originals failed on the first write
    // when one was missing.
    for (const char* folder : {"Temp", "STORE"}) {
        std::error_code ec;
        const auto p = paths_.work(folder);
        if (!std::filesystem::exists(p, ec)) {
            std::filesystem::create_directories(p, ec);
        }
    }

    catalogue_ = std::make_unique<Catalogue>();
    calibration_ = std::make_unique<CalibrationTables>();
    connection_ = std::make_unique<db::Connection>(paths_.workDir);

    QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
    createWindows();
    wireSubsystems(*this);
    decimalPoint();

    starter_.setSingleShot(true);
    starter_.setInterval(100);
    QObject::connect(&starter_, &QTimer::timeout, [this] { mainFlow(); });
    starter_.start();
    QApplication::exec();
    return status_;
}

void Program::createWindows() {
    const bool x11 = QGuiApplication::platformName() == "xcb";
    desktop_ = std::make_unique<Desktop>(x11);
    canvas_ = std::make_unique<Canvas>(settings_->ResX + 1, settings_->ResY + 1);
    mainWindow_ = std::make_unique<MainWindow>(*canvas_, *desktop_);
    screen_ = std::make_unique<Screen>(*canvas_, *settings_, paths_, *mainWindow_, *log_, *console_);
    keypad_ = std::make_unique<Keypad>(*screen_, options_.clock);
    keypad_->setForcedExitHook([this] { stopRig(); });
    mainWindow_->setKeypad(keypad_.get());
    pickers_ = std::make_unique<Pickers>(*screen_, *keypad_);

    // "Закрыть программу" of the console ends the program at the running procedure's next
    // key poll; a click cannot unwind the main flow itself.
    consoleWindow_ = std::make_unique<ConsoleWindow>([this] { keypad_->requestExit(0); });
    console_->setSink([this](const std::string& line) { consoleWindow_->append(line); });
    loadingLog_ = std::make_unique<LoadingLogWindow>();
}

void Program::stopRig() {
    if (!settings_->Emul && hydraulicsOff) {
        try {
            hydraulicsOff();
        } catch (...) {
            // best effort: the program is ending anyway
        }
    }
}

void Program::finish(int status) {
    if (finished_) {
        return;
    }
    finished_ = true;
    status_ = status;
    mainWindow_->restoreDisplay();
    consoleWindow_->hide();
    loadingLog_->hide();
    mainWindow_->close();
    QCoreApplication::exit(status);
}

void Program::endAtOnce(int status) {
    stopRig();
    mainWindow_->restoreDisplay();
    throw ProgramExit(status);
}

void Program::faultExit(int status) {
    shutdownScreen();
    endAtOnce(status);
}

void Program::errorExit(const std::string& message) {
    log_->write(">>>" + message);
    stopRig();
    screen_->push();
    screen_->fillScreen(colors::silver);
    screen_->banner("Ошибка программы", 200, 18);
    screen_->framedPanel(60, 180, 920, 560);
    Canvas& c = *canvas_;
    c.setFont("Impact", 20, colors::black, false);
    // The message may be long; break it into lines that fit the panel.
    std::string line;
    int y = 200;
    std::string word;
    const auto flush = [&] {
        if (!line.empty()) {
            c.text(80, y, line);
            y += 36;
            line.clear();
        }
    };
    for (std::size_t i = 0; i <= message.size(); ++i) {
        if (i == message.size() || message[i] == ' ') {
            const std::string candidate = line.empty() ? word : line + " " + word;
            if (c.textWidth(candidate) > 820) {
                flush();
                line = word;
            } else {
                line = candidate;
            }
            word.clear();
        } else {
            word.push_back(message[i]);
        }
    }
    flush();
    keypad_->allDead();
    keypad_->setLive(11, true);
    keypad_->drawKeypad();
    keypad_->caption("Завершить", "работу", 11);
    while (keypad_->poll() != 11) {
    }
    faultExit(2);
}

void Program::setUpScreen() {
    MainWindow& w = *mainWindow_;
    w.setWindowFlag(Qt::FramelessWindowHint, !settings_->ShowCap);
    if (settings_->ShowCap) {
        w.setWindowTitle(QString::fromStdString(options_.executable.filename().string()));
    }
    if (!settings_->ShowCursor) {
        w.setCursor(Qt::BlankCursor);
    }
    int width = settings_->ResX + 1;
    int height = settings_->ResY + 1;
    int left = 0;
    int top = 0;
    QScreen* display = QGuiApplication::primaryScreen();
    const QSize displaySize = display != nullptr ? display->size() : QSize(width, height);
    if (settings_->FullScreen == 1) {
        w.setWindowState(Qt::WindowMaximized);
        w.setDisplayModeChanged(desktop_->setDisplayMode(settings_->ResX, settings_->ResY));
    }
    if (settings_->FormPosition == 1) {
        left = displaySize.width() / 2 - width / 2 - 1;
        top = displaySize.height() / 2 - height / 2 - 1;
    }
    if (settings_->ShowCap) {
        height += settings_->Caph;
    }
    w.setGeometry(left, top, width, height);
    canvas_->resize(width, height);
    w.show();
    screen_->fillBackground();
    w.refresh();
    mainWindow_->processEvents();
}

StatusTexts Program::statusTexts() const {
    const OperatorState& s = state_->state();
    return StatusTexts{s.TRAIN, catalogue_->bogieName(s.CHASSIE), catalogue_->seriesName(s.SERIA),
                       std::to_string(s.NOWSPRING), std::to_string(s.NOWKOMPL)};
}

void Program::drawMainScreen() {
    drawMainMenu(*screen_, *keypad_, statusTexts());
    mainWindow_->refresh();
}

void Program::showStatus() {
    const StatusTexts t = statusTexts();
    screen_->statusPanel(t.train, t.bogie, t.series, t.springs, t.sets);
    mainWindow_->refresh();
}

void Program::shutdownScreen() {
    screen_->push();
    screen_->stripes();
    screen_->banner("Завершение работы", 200, 18);
    screen_->picture("poweroff.bmp", 50, 140);
    keypad_->allDead();
    keypad_->setLive(12, true);
    keypad_->drawKeypad();
    keypad_->caption("Завершить", "работу", 12);
    while (keypad_->poll() != 12) {
    }
    screen_->pop();
}

void Program::loadData(const std::function<void(const std::string&)>& loadingLog) {
    LoadingLog lines;
    lines.setSink(loadingLog);
    LoaderHooks hooks;
    hooks.wait = [this](int ms) { screen_->delay(ms); };
    StartupLoader startup(*settings_, *log_, *connection_, *catalogue_, *calibration_, lines, paths_.workDir, hooks);
    startup.run();
}

void Program::runLoader() {
    if (!loader) {
        loader = [this](const std::function<void(const std::string&)>& sink) { loadData(sink); };
    }
    mainWindow_->hide();
    loadingLog_->centreOn(*mainWindow_);
    loadingLog_->show();
    try {
        loader([this](const std::string& line) {
            loadingLog_->append(line);
            mainWindow_->processEvents();
        });
    } catch (const std::exception& e) {
        // The station must not hang on a half-loaded catalogue: say what failed, keep the
        // loading log in view until the message is confirmed, then end.
        const std::string text = e.what();
        loadingLog_->append(text);
        log_->write(">>>" + text);
        options_.showMessage(text);
        endAtOnce(1);
    }
    loadingLog_->hide();
    mainWindow_->show();
    mainWindow_->activateWindow();
    mainWindow_->setFocus();
}

void Program::mainFlow() {
    starter_.stop();
    try {
        log_->write("Программа запущена.");
        decimalPoint();
        console_->clear();
        consoleWindow_->clear();
        if (settings_->VconEmable) {
            consoleWindow_->show();
        }
        console_->stamped("Программа запущена");
        console_->line("Настройка режима отображения:");
        setUpScreen();
        console_->line("Установлено разрешение по Х:" + std::to_string(settings_->ResX));
        console_->line("Установлено разрешение по Y:" + std::to_string(settings_->ResY));
        console_->line(std::string("Полный экран:") + (settings_->FullScreen == 1 ? "Да" : "Нет"));
        console_->line(std::string("Заголовок главного окна:") + (settings_->ShowCap ? "Да" : "Нет"));
        mainWindow_->activateWindow();
        mainWindow_->setFocus();
        drawMainScreen();

        runLoader();

        if (settings_->Emul) {
            log_->write("ВНИМАНИЕ ! Режим эмуляции включен !");
        }
        log_->write("ЦК(мб)  подключен к COM" + std::to_string(settings_->CK_PORT));
        log_->write("ДК(лм)  подключен к COM" + std::to_string(settings_->CK2_PORT));
        log_->write("Камеры подключены к COM" + std::to_string(settings_->CAM_PORT));
        log_->write("ЧРП    подключен  к COM" + std::to_string(settings_->CHRP_PORT));
        log_->write("Тензодатчик подключен  к COM0");
        if (!settings_->Emul) {
            log_->write("Подключение портов:");
            if (openPorts) {
                openPorts();
            } else {
                console_->line("Подключение к оборудованию стенда ещё не реализовано.");
            }
        }
        if (startupWindows) {
            startupWindows();
        }
        // Link errors during the system check never raise the communication fault screen.
        const bool rtError = settings_->rtErrorEnable;
        settings_->rtErrorEnable = false;
        if (systemCheck) {
            systemCheck();
        } else {
            console_->line("Проверка системы ещё не реализована.");
        }
        settings_->rtErrorEnable = rtError;
        if (rigInit) {
            rigInit();
        } else {
            console_->line("Инициализация стенда ещё не реализована.");
        }
        log_->write("Система готова к работе.");
        if (systemStarted) {
            systemStarted();
        }
        state_->newShiftCheck(options_.clock(), *log_);
        showStatus();
        menuLoop();

        shutdownScreen();
        log_->write("Работа с программой завершена.");
        if (settings_->PowerOFF) {
            powerOff();
        }
        finish(0);
    } catch (const ProgramExit& e) {
        finish(e.status());
    } catch (const std::exception& e) {
        // Outside the menu actions (which have their own guard) only start-up steps raise.
        log_->write(std::string(">>>") + e.what());
        stopRig();
        options_.showMessage(e.what());
        finish(2);
    }
}

void Program::menuLoop() {
    for (;;) {
        const int code = keypad_->poll();
        if (code == 13) {
            return;
        }
        if (code == 0) {
            continue;
        }
        try {
            dispatch(code);
        } catch (const ProgramExit&) {
            throw;
        } catch (const std::exception& e) {
            errorExit(e.what());
        }
    }
}

void Program::dispatch(int code) {
    switch (code) {
    case 4:
        trainNumber();
        return;
    case 5:
        seriesChoice();
        return;
    case 6:
        bogieChoice();
        return;
    case 1:
    case 3:
    case 7:
    case 9:
    case 10: {
        const auto action = menuActions.find(code);
        if (action != menuActions.end() && action->second) {
            action->second();
        } else {
            static const std::map<int, std::string> names = {{1, "Замер пружины"},
                                                             {3, "Замер комплекта"},
                                                             {7, "Архив пружин"},
                                                             {9, "Архив комплектов"},
                                                             {10, "Режим прогрева"}};
            notBuilt(names.at(code));
        }
        return;
    }
    default:
        return;
    }
}

void Program::trainNumber() {
    OperatorState& s = state_->state();
    s.TRAIN = pickers_->numberInput(16, s.TRAIN);
    state_->write();
    console_->line("Задан номер поезда:" + s.TRAIN);
    log_->write("Задан номер поезда:" + s.TRAIN);
    showStatus();
}

void Program::seriesChoice() {
    OperatorState& s = state_->state();
    s.SERIA = pickers_->listPicker("series.txt", "Выбор серии поезда", 200, s.SERIA);
    state_->write();
    showStatus();
}

void Program::bogieChoice() {
    OperatorState& s = state_->state();
    s.CHASSIE = pickers_->listPicker("chassis.txt", "Выбор тележки", 280, s.CHASSIE);
    state_->write();
    showStatus();
}

void Program::notBuilt(const std::string& what) {
    console_->line(what + ": ещё не реализовано.");
    screen_->push();
    screen_->stripes();
    screen_->banner(what, 120, 18);
    screen_->framedPanel(60, 300, 920, 420);
    canvas_->setFont("Impact", 24, colors::black, false);
    canvas_->text(90, 340, "Эта функция в программе ещё не реализована.");
    keypad_->allDead();
    keypad_->setLive(12, true);
    keypad_->drawKeypad();
    keypad_->caption("Назад", "", 12);
    while (keypad_->poll() != 12) {
    }
    screen_->pop();
}

} // namespace veltron
