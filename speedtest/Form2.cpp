#include "Form2.h"

#include "ui_Form2.h"

#include "dozozeda_resources.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "Runtime.h"

#include <QPalette>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The report box keeps the look it has on Windows: text in the window
// background colour on the colour of an inactive title bar. Elsewhere those
// two system colours can be nearly the same, so a fixed readable pair is used.
void colourReportBox(QWidget* box)
{
    QPalette palette = box->palette();
#ifdef Q_OS_WIN
    const auto fromSystem = [](int index) {
        const COLORREF c = GetSysColor(index);
        return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
    };
    const QColor background = fromSystem(COLOR_INACTIVECAPTION);
    const QColor text = fromSystem(COLOR_WINDOW);
#else
    const QColor background(128, 128, 128);
    const QColor text(Qt::white);
#endif
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Text, text);
    }
    box->setPalette(palette);
}

} // namespace

Form2::Form2() = default;

Form2::~Form2() = default;

QWidget* Form2::CreateControls()
{
    auto* window = platform::newFixedSingleWindow();
    ui = std::make_unique<Ui::Form2>();
    ui->setupUi(window);
    ui->Image1->setPixmap(QPixmap(dozozeda::resources::idlePicture()));
    ui->Image2->setPixmap(QPixmap(dozozeda::resources::busyPicture()));
    colourReportBox(ui->Text2);
    ui->Command1->setFocus();
    connect(ui->Command1, &QPushButton::clicked, this, platform::guarded(this, &Form2::Command1_Click));
    return window;
}

void Form2::ForgetControls()
{
    ui.reset();
}

void Form2::Form_Load()
{
    FileSys = std::make_shared<platform::FileSystemObject>();
    ShowStatusPicture(false);
}

void Form2::Command1_Click()
{
    if (platform::Trim(ui->Text1->text().toStdString()).empty()) {
        platform::MsgBox(QStringLiteral("You must enter a target path"), platform::vbCritical, QStringLiteral("Error!"));
        return;
    }
    NormalizeTargetPath();
    CheckTargetPath();
    RunTransfer();
}

void Form2::ShowStatusPicture(bool busy)
{
    ui->Image3->setPixmap((busy ? ui->Image2 : ui->Image1)->pixmap());
}
