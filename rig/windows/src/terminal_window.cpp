#include "rig/terminal_window.h"

#include "screens/host.h"
#include "service/widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <exception>

namespace veltron::rig {
namespace {

using service::makeButton;
using service::qs;
using service::us;

QString cssColor(Rgb c) {
    return QString("rgb(%1,%2,%3)").arg(c.r).arg(c.g).arg(c.b);
}

// One control of a group: kind 'b' button, 'l' label, 'e' edit field.
struct Control {
    char kind;
    const char* name;
    const char* caption;
    int row, column, span;
};

// The caption of a button as the layer's table gives it.
const char* tableCaption(const std::string& name, const char* fallback) {
    for (const ButtonBinding& b : Terminal::buttons()) {
        if (name == b.name) {
            return b.caption;
        }
    }
    return fallback;
}

} // namespace

TerminalWindow::TerminalWindow(Terminal& terminal, QWidget* parent) : QDialog(parent), terminal_(terminal) {
    setObjectName("TForm4");
    setWindowTitle("Terminal");
    QFont f("Liberation Sans");
    f.setPointSize(8);
    setFont(f);
    build();
    message = [this](const std::string& text) { QMessageBox::warning(this, windowTitle(), qs(text)); };
    terminal_.changed = [this] { refresh(); };
    refresh();
}

TerminalWindow::~TerminalWindow() {
    terminal_.changed = nullptr;
}

QPushButton* TerminalWindow::addButton(QWidget* parent, const std::string& name, const char* caption) {
    auto* b = makeButton(
        parent, QString::fromUtf8(tableCaption(name, caption)), [this, name] { click(name); }, {}, qs(name));
    // Small enough to fit the window's fixed size, wide enough for the caption.
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 14);
    buttons_[name] = b;
    return b;
}

QLabel* TerminalWindow::addLabel(QWidget* parent, const std::string& name, const char* caption) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    l->setObjectName(qs(name));
    labels_[name] = l;
    return l;
}

std::string* TerminalWindow::editField(const std::string& name) {
    TerminalState& s = terminal_.state;
    static const std::map<std::string, std::string TerminalState::*> fields = {
        {"Edit1", &TerminalState::Edit1}, {"Edit2", &TerminalState::Edit2}, {"Edit3", &TerminalState::Edit3},
        {"Edit7", &TerminalState::Edit7}, {"Edit8", &TerminalState::Edit8}, {"Edit9", &TerminalState::Edit9}};
    const auto it = fields.find(name);
    return it == fields.end() ? nullptr : &(s.*(it->second));
}

QLineEdit* TerminalWindow::addEdit(QWidget* parent, const std::string& name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(qs(name));
    e->setMaximumWidth(70);
    QObject::connect(e, &QLineEdit::textEdited, this, [this, name](const QString& t) {
        if (std::string* field = editField(name)) {
            *field = us(t);
        }
    });
    edits_[name] = e;
    return e;
}

void TerminalWindow::build() {
    auto* root = new QVBoxLayout(this);
    root->setSpacing(4);
    root->setContentsMargins(6, 4, 6, 6);

    auto* menu = new QMenuBar(this);
    QMenu* file = menu->addMenu(QString::fromUtf8("Файл"));
    file->addAction(QString::fromUtf8(" Сохранить отчет"), this, [this] { saveReport(); });
    file->addAction(QString::fromUtf8("Закрыть терминал"), this, [this] { accept(); });
    file->addAction(QString::fromUtf8("Выход из программы"), this, [this] {
        if (endProgram) {
            endProgram(0);
        }
    });
    QMenu* optics = menu->addMenu(QString::fromUtf8("Оптика"));
    const auto hook = [](std::function<void()>& h) {
        return [&h] {
            if (h) {
                h();
            }
        };
    };
    optics->addAction(QString::fromUtf8("Дальномер"), this, hook(showRangeFinder));
    optics->addAction(QString::fromUtf8("Показ геометрии (старая)"), this, hook(showWorkbench));
    optics->addAction(QString::fromUtf8("Показ геометрии (актуальная)"), this, hook(showEvaluation));
    root->setMenuBar(menu);

    const auto group = [this](QWidget* parent, const char* name, const char* caption,
                              std::initializer_list<Control> controls) {
        auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
        box->setObjectName(name);
        auto* grid = new QGridLayout(box);
        grid->setSpacing(3);
        grid->setContentsMargins(5, 5, 5, 5);
        for (const Control& c : controls) {
            QWidget* w = nullptr;
            if (c.kind == 'b') {
                w = addButton(box, c.name, c.caption);
            } else if (c.kind == 'l') {
                w = addLabel(box, c.name, c.caption);
            } else {
                w = addEdit(box, c.name);
            }
            grid->addWidget(w, c.row, c.column, 1, c.span);
        }
        return box;
    };

    links_ = group(this, "GroupBox1", "Проверка связи ",
                   {{'b', "Button2", "?", 0, 0, 1},
                    {'b', "Button18", "ЧРП", 0, 1, 1},
                    {'b', "Button19", "ЦК", 0, 2, 1},
                    {'b', "Button20", "Камера 1", 0, 3, 1},
                    {'b', "Button21", "Камера 2", 0, 4, 1},
                    {'b', "Button22", "Камера 3", 0, 5, 1},
                    {'b', "Button23", "Камера 4", 0, 6, 1},
                    {'b', "Button24", "Тензо", 0, 7, 1},
                    {'b', "Button81", "ЦК2", 0, 8, 1},
                    {'l', "Label1", "", 1, 1, 1},
                    {'l', "Label2", "", 1, 2, 1},
                    {'l', "Label3", "", 1, 3, 1},
                    {'l', "Label4", "", 1, 4, 1},
                    {'l', "Label5", "", 1, 5, 1},
                    {'l', "Label7", "", 1, 6, 1},
                    {'l', "Label8", "", 1, 7, 1},
                    {'l', "Label44", "", 1, 8, 1}});
    root->addWidget(links_);

    auto* middle = new QHBoxLayout;
    root->addLayout(middle, 1);
    controls_ = new QGroupBox(QString::fromUtf8(" Панель управления "), this);
    controls_->setObjectName("GroupBox2");
    middle->addWidget(controls_, 3);
    auto* panel = new QGridLayout(controls_);
    panel->setSpacing(4);
    panel->addWidget(group(controls_, "GroupBox4", "  Каретка  ",
                           {{'b', "Button25", "<<", 0, 0, 1},
                            {'b', "Button26", "<", 0, 1, 1},
                            {'b', "Button27", "X", 0, 2, 1},
                            {'b', "Button29", ">", 0, 3, 1},
                            {'b', "Button30", ">>", 0, 4, 1},
                            {'b', "Button28", "X", 0, 5, 1},
                            {'b', "Button31", "<>", 1, 0, 1},
                            {'b', "Button32", "X", 1, 1, 1},
                            {'b', "Button33", "><", 1, 2, 1},
                            {'b', "Button34", "X", 1, 3, 1},
                            {'b', "Button35", ">><<", 1, 4, 1},
                            {'b', "Button36", "<<>>", 1, 5, 1},
                            {'b', "Button13", "<O>", 2, 0, 1},
                            {'l', "Label9", "", 2, 1, 1},
                            {'b', "Button63", "?", 2, 2, 1},
                            {'l', "Label10", "", 3, 0, 1},
                            {'b', "Button61", "?", 3, 1, 1},
                            {'l', "Label12", "", 3, 3, 1},
                            {'b', "Button62", "?", 3, 4, 1}}),
                     0, 0);
    panel->addWidget(group(controls_, "GroupBox5", "  Гидростанция  ",
                           {{'l', "Label6", "Частота ЧРП * 100", 0, 0, 2},
                            {'e', "Edit1", "", 0, 2, 1},
                            {'b', "Button85", "Задать", 0, 3, 1},
                            {'b', "Button4", "Старт", 1, 0, 1},
                            {'b', "Button5", "Стоп", 1, 1, 1},
                            {'b', "Button6", "Слив ВКЛ", 1, 2, 1},
                            {'b', "Button7", "Слив ВЫКЛ", 1, 3, 1},
                            {'b', "Button8", "ГС+СЛИВ ВКЛ", 2, 0, 2},
                            {'b', "Button9", "ГС+СЛИВ ВЫКЛ", 2, 2, 2}}),
                     0, 1);
    panel->addWidget(group(controls_, "GroupBox6", "  Геометрия  ",
                           {{'b', "Button10", "//\\\\", 0, 0, 1},
                            {'b', "Button11", "/\\", 0, 1, 1},
                            {'b', "Button17", "Х", 0, 2, 1},
                            {'b', "Button12", "\\/", 0, 3, 1},
                            {'b', "Button15", "\\\\//", 0, 4, 1},
                            {'b', "Button37", "Х", 0, 5, 1},
                            {'l', "Label15", "№ Камеры", 1, 0, 1},
                            {'e', "Edit2", "", 1, 1, 1},
                            {'b', "Button38", "Лазер ВКЛ", 1, 2, 2},
                            {'b', "Button39", "Лазер ВЫКЛ", 1, 4, 2},
                            {'l', "Label13", "", 2, 0, 1},
                            {'b', "Button3", "?", 2, 1, 1},
                            {'l', "Label14", "", 2, 2, 1},
                            {'b', "Button55", "?", 2, 3, 1},
                            {'b', "Button40", "Считать с камер", 3, 0, 3},
                            {'b', "Button74", "Настройка камер", 3, 3, 3},
                            {'l', "Label42", "Контроллер 2", 4, 0, 2},
                            {'b', "Button42", "тест к2", 4, 2, 1},
                            {'b', "Button75", "i", 4, 3, 1},
                            {'b', "Button76", "х", 4, 4, 1},
                            {'l', "Label45", "Импульсы на камеры", 5, 0, 2},
                            {'e', "Edit7", "", 5, 2, 1},
                            {'b', "Button73", "1-255 зам.", 5, 3, 2},
                            {'b', "Button77", "?", 6, 0, 1},
                            {'l', "Label41", "", 6, 1, 1},
                            {'b', "Button78", "?", 6, 2, 1},
                            {'l', "Label43", "", 6, 3, 1},
                            {'b', "Button79", "\"долгая\" геометрия", 6, 4, 2},
                            {'l', "Label46", "Делитель Лира", 7, 0, 2},
                            {'e', "Edit8", "", 7, 2, 1},
                            {'b', "Button41", "<", 7, 3, 1}}),
                     1, 0);
    QGroupBox* force = group(controls_, "GroupBox7", " Силовая  и замер ",
                             {{'b', "Button43", "//\\\\", 0, 0, 1},
                              {'b', "Button44", "/\\", 0, 1, 1},
                              {'b', "Button45", "Х", 0, 2, 1},
                              {'b', "Button47", "\\/", 0, 3, 1},
                              {'b', "Button48", "\\\\//", 0, 4, 1},
                              {'b', "Button46", "Х", 0, 5, 1},
                              {'l', "Label16", "", 1, 0, 1},
                              {'b', "Button56", "?", 1, 1, 1},
                              {'l', "Label17", "", 1, 2, 1},
                              {'b', "Button57", "?", 1, 3, 1},
                              {'l', "Label18", "", 2, 0, 1},
                              {'b', "Button58", "?", 2, 1, 1},
                              {'l', "Label19", "", 2, 2, 1},
                              {'b', "Button59", "?", 2, 3, 1},
                              {'l', "Label20", "", 3, 0, 3},
                              {'b', "Button60", "?", 3, 3, 1},
                              {'l', "Label22", "", 4, 0, 3},
                              {'b', "Button52", "?", 4, 3, 1},
                              {'b', "Button53", "Х", 4, 4, 1},
                              {'b', "Button65", "Замер геометрии", 6, 0, 3},
                              {'b', "Button66", "Результат сил. исп", 7, 0, 3},
                              {'l', "Label25", "", 7, 3, 3},
                              {'l', "Label26", "", 8, 3, 3}});
    auto* pressure = group(force, "GroupBox8", " Давление  ",
                           {{'l', "Label48", "", 0, 0, 2},
                            {'e', "Edit3", "", 1, 2, 1},
                            {'b', "Button49", "до ADC", 1, 3, 1},
                            {'b', "Button67", "/\\3", 2, 0, 1},
                            {'b', "Button82", "?/\\3", 2, 1, 1}});
    radio1_ = new QRadioButton(QString::fromUtf8("в ед. АЦП"), pressure);
    radio1_->setObjectName("RadioButton1");
    radio2_ = new QRadioButton(QString::fromUtf8("в кг"), pressure);
    radio2_->setObjectName("RadioButton2");
    auto* pressureGrid = static_cast<QGridLayout*>(pressure->layout());
    pressureGrid->addWidget(radio1_, 1, 0);
    pressureGrid->addWidget(radio2_, 1, 1);
    QObject::connect(radio2_, &QRadioButton::toggled, this, [this](bool on) {
        terminal_.state.RadioButton2 = on;
        terminal_.state.RadioButton1 = !on;
    });
    static_cast<QGridLayout*>(force->layout())->addWidget(pressure, 5, 0, 1, 6);
    panel->addWidget(force, 1, 1);

    // Controls present for the program but out of the operator's reach.
    auto* hidden = new QWidget(controls_);
    hidden->setObjectName("hidden");
    auto* hiddenLayout = new QHBoxLayout(hidden);
    addLabel(hidden, "Label21", "");
    addButton(hidden, "Button50", "?");
    addButton(hidden, "Button51", "Х");
    addButton(hidden, "Button72", "Тензо");
    addLabel(hidden, "Label38", "");
    addLabel(hidden, "Label47", "Передача  udp команды");
    addEdit(hidden, "Edit9");
    addButton(hidden, "Button83", ">>>");
    for (const char* n : {"Label21", "Button50", "Button51", "Button72", "Label38", "Label47", "Edit9", "Button83"}) {
        QWidget* w = labels_.count(n)    ? static_cast<QWidget*>(labels_[n])
                     : buttons_.count(n) ? static_cast<QWidget*>(buttons_[n])
                                         : static_cast<QWidget*>(edits_[n]);
        hiddenLayout->addWidget(w);
    }
    hidden->hide();

    auto* indication = new QGroupBox(QString::fromUtf8(" Окно индикации "), this);
    indication->setObjectName("GroupBox3");
    middle->addWidget(indication, 2);
    auto* ind = new QVBoxLayout(indication);
    QLabel* warning = addLabel(indication, "Label11", "НЕ РАБОТАЙ С КЛАПАНАМИ ПРИ АВТООПРОСЕ");
    warning->setStyleSheet("color: rgb(255,0,0); font-weight: bold;");
    warning->setWordWrap(true);
    ind->addWidget(warning);
    checkBox1_ = new QCheckBox(QString::fromUtf8("Автоопрос датчиков"), indication);
    checkBox1_->setObjectName("CheckBox1");
    ind->addWidget(checkBox1_);
    memo_ = new QPlainTextEdit(indication);
    memo_->setObjectName("Memo1");
    memo_->setReadOnly(true);
    ind->addWidget(memo_, 1);
    auto* indButtons = new QHBoxLayout;
    ind->addLayout(indButtons);
    indButtons->addWidget(addButton(indication, "Button14", "Опрос датчиков"));
    indButtons->addWidget(addButton(indication, "Button80", "x"));
    checkBox2_ = new QCheckBox(QString::fromUtf8("Авто ВКЛ ГС"), indication);
    checkBox2_->setObjectName("CheckBox2");
    checkBox3_ = new QCheckBox(QString::fromUtf8("Авто ВЫКЛ ГС "), indication);
    checkBox3_->setObjectName("CheckBox3");
    ind->addWidget(checkBox2_);
    ind->addWidget(checkBox3_);
    QObject::connect(checkBox1_, &QCheckBox::toggled, this, [this](bool on) { terminal_.state.CheckBox1 = on; });
    QObject::connect(checkBox2_, &QCheckBox::toggled, this, [this](bool on) { terminal_.state.CheckBox2 = on; });
    QObject::connect(checkBox3_, &QCheckBox::toggled, this, [this](bool on) { terminal_.state.CheckBox3 = on; });

    auto* bottom = new QHBoxLayout;
    root->addLayout(bottom);
    bottom->addWidget(addLabel(this, "Label23", ""), 1);
    bottom->addWidget(makeButton(
        this, QString::fromUtf8("Закрыть"), [this] { accept(); }, {}, "Button1"));
    resize(885, 738);
}

void TerminalWindow::click(const std::string& name) {
    try {
        if (!terminal_.click(name)) {
            terminal_.addLog(name + ": нет такой команды");
        }
    } catch (const ProgramExit& e) {
        // A fault screen ended the program inside the command; the main flow ends it.
        if (endProgram) {
            endProgram(e.status());
        }
    } catch (const std::exception& e) {
        // A file error inside a command (a profile file that cannot be written): the
        // command ends there, the controls come back, and the engineer sees why.
        terminal_.state.controlGroupsEnabled = true;
        terminal_.addLog(std::string(">>>") + e.what());
        if (log) {
            log(std::string(">>>") + e.what());
        }
    }
    refresh();
}

void TerminalWindow::refresh() {
    const TerminalState& s = terminal_.state;
    for (auto& [name, l] : labels_) {
        const auto it = s.labels.find(name);
        if (it == s.labels.end()) {
            continue;
        }
        l->setText(qs(it->second.caption));
        QString style = "font-size: 8pt; color: " + cssColor(it->second.font) + ";";
        if (it->second.background) {
            style += " background-color: " + cssColor(*it->second.background) + ";";
        }
        l->setStyleSheet(style);
    }
    for (auto& [name, e] : edits_) {
        if (const std::string* field = editField(name)) {
            const QString t = qs(*field);
            if (e->text() != t) {
                e->setText(t);
            }
        }
    }
    checkBox1_->setChecked(s.CheckBox1);
    checkBox2_->setChecked(s.CheckBox2);
    checkBox3_->setChecked(s.CheckBox3);
    (s.RadioButton2 ? radio2_ : radio1_)->setChecked(true);
    links_->setEnabled(s.controlGroupsEnabled);
    controls_->setEnabled(s.controlGroupsEnabled);
    if (s.Memo1.size() < shownLogLines_ ||
        (shownLogLines_ > 0 && memo_->document()->firstBlock().text() != qs(s.Memo1.front()))) {
        memo_->clear();
        shownLogLines_ = 0;
    }
    for (; shownLogLines_ < s.Memo1.size(); ++shownLogLines_) {
        memo_->appendPlainText(qs(s.Memo1[shownLogLines_]));
    }
}

void TerminalWindow::saveReport() {
    try {
        terminal_.saveReport();
    } catch (const std::exception& e) {
        if (message) {
            message(e.what());
        }
    }
}

QString TerminalWindow::memoText() const {
    return memo_->toPlainText();
}

void TerminalWindow::showEvent(QShowEvent* event) {
    terminal_.show();
    refresh();
    QDialog::showEvent(event);
}

void TerminalWindow::hideEvent(QHideEvent* event) {
    terminal_.hide();
    QDialog::hideEvent(event);
}

QPushButton* TerminalWindow::button(const std::string& name) const {
    const auto it = buttons_.find(name);
    return it == buttons_.end() ? nullptr : it->second;
}

QLabel* TerminalWindow::label(const std::string& name) const {
    const auto it = labels_.find(name);
    return it == labels_.end() ? nullptr : it->second;
}

QLineEdit* TerminalWindow::edit(const std::string& name) const {
    const auto it = edits_.find(name);
    return it == edits_.end() ? nullptr : it->second;
}

} // namespace veltron::rig
