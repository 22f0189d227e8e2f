#include "Form1.h"

#include "ui_Form1.h"

#include "DummyFile.h"
#include "HandlerGuard.h"
#include "Runtime.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QShortcut>

using platform::guarded;

Form1::Form1(platform::Window& form2, platform::Window& form3)
    : m_form2(form2)
    , m_form3(form3)
{
}

Form1::~Form1() = default;

QWidget* Form1::CreateControls()
{
    auto* window = new QMainWindow(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    ui = std::make_unique<Ui::Form1>();
    ui->setupUi(window);
    ui->Command2->setVisible(false);
    window->resize(ui->centralwidget->minimumSize() + QSize(0, ui->menubar->sizeHint().height()));
    ProgressBar1 = platform::ProgressBar(ui->ProgressBar1);

    // Without a title bar there is no close box; the window closes itself on
    // Alt+F4 even where no window manager provides that key.
    auto* close = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), window);
    connect(close, &QShortcut::activated, window, &QWidget::close);

    // An option counts as chosen whenever it becomes selected, by mouse,
    // keyboard or a screen reader, which toggles without clicking.
    const auto onSelected = [this](QAbstractButton* option, void (Form1::*handler)()) {
        connect(option, &QAbstractButton::toggled, this, [this, handler](bool selected) {
            if (selected)
                platform::runGuarded([this, handler] { (this->*handler)(); });
        });
    };
    onSelected(ui->Option1, &Form1::Option1_Click);
    onSelected(ui->Option2, &Form1::Option2_Click);
    onSelected(ui->Option3, &Form1::Option3_Click);
    onSelected(ui->Option4, &Form1::Option4_Click);
    onSelected(ui->Option5, &Form1::Option5_Click);
    onSelected(ui->Option6, &Form1::Option6_Click);
    onSelected(ui->Option7, &Form1::Option7_Click);
    onSelected(ui->Option8, &Form1::Option8_Click);
    onSelected(ui->Option9, &Form1::Option9_Click);
    onSelected(ui->Option10, &Form1::Option10_Click);
    connect(ui->Command1, &QPushButton::clicked, this, guarded(this, &Form1::Command1_Click));
    connect(ui->Command2, &QPushButton::clicked, this, guarded(this, &Form1::Command2_Click));
    connect(ui->Info, &QAction::triggered, this, guarded(this, &Form1::Info_Click));
    return window;
}

void Form1::ForgetControls()
{
    ProgressBar1 = platform::ProgressBar();
    ui.reset();
}

void Form1::Form_Load()
{
    FileCreated = 0;
}

void Form1::Option1_Click() { SizeMB = 10; }
void Form1::Option2_Click() { SizeMB = 20; }
void Form1::Option3_Click() { SizeMB = 30; }
void Form1::Option4_Click() { SizeMB = 40; }
void Form1::Option5_Click() { SizeMB = 50; }
void Form1::Option6_Click() { SizeMB = 60; }
void Form1::Option7_Click() { SizeMB = 70; }
void Form1::Option8_Click() { SizeMB = 80; }
void Form1::Option9_Click() { SizeMB = 90; }
void Form1::Option10_Click() { SizeMB = 100; }

void Form1::Command2_Click()
{
    m_form2.Show();
}

void Form1::Info_Click()
{
    m_form3.Show();
}

void Form1::Form_Unload()
{
    if (FileCreated == -1) {
        const std::string path = dummyFilePath();
        // Someone may have removed the file meanwhile; closing goes on regardless.
        if (platform::FileSystemObject().FileExists(path))
            platform::DeleteFile(path);
    }
    for (platform::Window* window : platform::Window::LoadedWindows())
        window->Unload();
}
