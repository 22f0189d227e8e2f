#include "Form3.h"

#include "ui_Form3.h"

#include "TextControls.h"

namespace {

const QString crLf = QStringLiteral("\r\n");

} // namespace

Form3::Form3() = default;

Form3::~Form3() = default;

QWidget* Form3::CreateControls()
{
    auto* window = platform::newFixedSingleWindow();
    ui = std::make_unique<Ui::Form3>();
    ui->setupUi(window);
    return window;
}

void Form3::ForgetControls()
{
    ui.reset();
}

void Form3::Form_Load()
{
    platform::SetCaption(ui->Label1, QString() + crLf + crLf + QStringLiteral("Written by the Dozozeda developers.") + crLf);
    platform::SetCaption(ui->Label1, platform::Caption(ui->Label1) + QStringLiteral(" If you like it, send a mail to: ")
                                         + QStringLiteral(DOZOZEDA_CONTACT_MAIL));
}
